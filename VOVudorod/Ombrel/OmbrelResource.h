#pragma once

// The e-mail dialog shown before a submission.
#define IDD_OMBREL_CONFIG 101
#define IDC_OMBREL_EMAIL 1001

#pragma once
#include <windows.h>

// The help id of a control of one of the wizard's dialogs:
// 0x80000000 | (dialog << 16) | control, 0 for the controls without a pop-up
// text, and another dialog's number for the few that share its texts.
DWORD WizardHelpId(int dialogId, int controlId);

// The help id behind a control, formed with the given dialog's number.
constexpr DWORD MakeHelpId(int dialogId, int controlId) {
  return 0x80000000u | (static_cast<DWORD>(dialogId) << 16) | static_cast<DWORD>(controlId);
}

#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardProgressPage : public CWizardFramePage {
 public:
  explicit CWizardProgressPage(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_PROGRESS, L"Working...{PROGRESSPAGE_TITLE}",
            L"Please wait for TAVRIN to finish the current tasks...{PROGRESSPAGE_SUBTITLE}") {}

  // Whether Windows may end the session now: no job runs here.
  bool CanEndSession() const { return true; }
};

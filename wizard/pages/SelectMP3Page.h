#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardSelectMP3Page : public CWizardFramePage {
 public:
  explicit CWizardSelectMP3Page(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_SELECTMP3,
            L"Select the MP-3 backup file you want to read{SELECTMP3PAGE_TITLE}",
            L"TAVRIN will recognize valid TAVRIN image files...{SELECTMP3PAGE_SUBTITLE}") {}
};

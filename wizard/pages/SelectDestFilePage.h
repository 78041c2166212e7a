#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardSelectDestFilePage : public CWizardFramePage {
 public:
  explicit CWizardSelectDestFilePage(const CWizardInfo& info)
      : CWizardFramePage(info, IDD_WIZ97_SELECTDESTFILE,
                         L"Set the backup file{SELECTDESTFILEPAGE_TITLE}",
                         L"Please define the parameters for the backup of your CD "
                         L"...{SELECTDESTFILEPAGE_SUBTITLE}") {}
};

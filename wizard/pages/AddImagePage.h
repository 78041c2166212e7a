#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardAddImagePage : public CWizardFramePage {
 public:
  explicit CWizardAddImagePage(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_ADDIMAGE,
            L"Here you can add images to your TAVRIN Back-up file...{ADDIMAGEPAGE_TITLE}",
            L"Scan images or add pictures from your harddisk.{ADDIMAGEPAGE_SUBTITLE}") {}
};

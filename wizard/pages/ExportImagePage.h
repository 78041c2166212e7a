#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardExportImagePage : public CWizardFramePage {
 public:
  explicit CWizardExportImagePage(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_EXPORTIMAGE,
            L"Export the images from your TAVRIN Back-up file to a "
            L"Label-Editor...{EXPORTIMAGEPAGE_TITLE}",
            L"Write the embedded images to a folder on your harddisk.{EXPORTIMAGEPAGE_SUBTITLE}") {}
};

#pragma once
#include <windows.h>
#include <dbt.h>

#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardSelectSourceDrivePage : public CWizardFramePage {
 public:
  explicit CWizardSelectSourceDrivePage(const CWizardInfo& info)
      : CWizardFramePage(info, IDD_WIZ97_SELECTSOURCEDRIVE,
                         L"Select Source Drive{SELCTSOURCEDRIVEPAGE_TITLE}",
                         L"Please select the drive with the CD you want to "
                         L"backup...{SELECTSOURCEDRIVEPAGE_SUBTITLE}") {}

  // A volume arrived or went away.
  void OnDeviceChange(const DEV_BROADCAST_HDR*) {}
};

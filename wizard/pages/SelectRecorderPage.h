#pragma once
#include <windows.h>
#include <dbt.h>

#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardSelectRecorderPage : public CWizardFramePage {
 public:
  explicit CWizardSelectRecorderPage(const CWizardInfo& info)
      : CWizardFramePage(info, IDD_WIZ97_SELECTRECORDER,
                         L"Select the CD-Recording device{SELECTRECORDERPAGE_TITLE}",
                         L"Select a device or an image file{SELECTRECORDERPAGE_SUBTITLE}") {}

  // A volume arrived or went away.
  void OnDeviceChange(const DEV_BROADCAST_HDR*) {}
};

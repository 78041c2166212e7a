#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardTrackEditorPage : public CWizardFramePage {
 public:
  explicit CWizardTrackEditorPage(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_TRACKEDITOR,
            L"Please enter the data for the tracks of this disc...{TRACKEDITORPAGE_TITLE}",
            L"TAVRIN could not load the track data from the internet.{TRACKEDITORPAGE_SUBTITLE}") {}
};

#pragma once
#include "wizard/pages/FramePage.h"
#include "wizard/resources/resource.h"

// The page's template, reached and left by the navigation tables.
class CWizardSelectTracksPage : public CWizardFramePage {
 public:
  explicit CWizardSelectTracksPage(const CWizardInfo& info)
      : CWizardFramePage(
            info, IDD_WIZ97_SELECTTRACKS,
            L"Select the tracks you want to extract...{SELECT_TRACKS_TITLE}",
            L"Please define the output directory and filenames{SELECT_TRACKS_SUBTITLE}") {}
};

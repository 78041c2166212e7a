#pragma once
#include "wizard/WizardInfo.h"
#include "wizard/pages/AddImagePage.h"
#include "wizard/pages/CompletionPage.h"
#include "wizard/pages/ExportImagePage.h"
#include "wizard/pages/ProgressPage.h"
#include "wizard/pages/SelDiscsPage.h"
#include "wizard/pages/SelectDestFilePage.h"
#include "wizard/pages/SelectMP3Page.h"
#include "wizard/pages/SelectOpPage.h"
#include "wizard/pages/SelectRecorderPage.h"
#include "wizard/pages/SelectSourceDrivePage.h"
#include "wizard/pages/SelectTracksPage.h"
#include "wizard/pages/TrackEditorPage.h"
#include "wizard/pages/WelcomePage.h"
#include "wizard/ui/Wizard97Sheet.h"

// The program's window: the thirteen pages in their order, the About entry
// of the system menu, the end-session veto, volume changes for the two drive
// lists, and F1 help.
class CWizardSheet : public ui::Wizard97Sheet, public CWizardInfo {
 public:
  explicit CWizardSheet(const CWizardInfo& info);

 private:
  void OnInitialized() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  void OnHelp(HELPINFO help);

  std::wstring title_;
  CWizardWelcomePage welcome_;
  CWizardSelectOpPage selectOp_;
  CWizardSelectSourceDrivePage sourceDrive_;
  CWizardSelectMP3Page backupFile_;
  CWizardTrackEditorPage trackEditor_;
  CWizardSelectDestFilePage destination_;
  CWizardAddImagePage addImage_;
  CWizardExportImagePage exportImage_;
  CWizardSelectTracksPage selectTracks_;
  CWizardSelDiscsPage selectDiscs_;
  CWizardSelectRecorderPage recorder_;
  CWizardProgressPage progress_;
  CWizardCompletionPage completion_;
};

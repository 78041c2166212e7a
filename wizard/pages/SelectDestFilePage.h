#pragma once
#include <windows.h>

#include <string>

#include "wizard/pages/PageBase.h"

// Backing up: the backup file (a likely path, a recent folder or one chosen
// by browsing) and the encoding quality, whose tooltip estimates the file's
// size. Next settles with the user whether an existing file is overwritten or
// the disc appended to it.
class CWizardSelectDestFilePage : public CWizardPageBase {
 public:
  explicit CWizardSelectDestFilePage(const CWizardInfo& info);

  // The quality stored for a slider position, and the position shown for a
  // stored quality.
  static int QualityOfPosition(int position);
  static int PositionOfQuality(int quality);
  // The file size shown for the average bit rate and the disc's seconds: the
  // size in MiB rounded up to the next multiple of its step.
  static unsigned ShownSizeMiB(unsigned averageBitRate, unsigned seconds);

 private:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void SetUpControls();
  void Refresh();
  std::wstring DefaultFileName() const;
  void ShowQualityText() const;
  int SliderPosition() const;
  const wchar_t* TooltipText();
  void Browse();
  bool Commit();
  // Whether the existing file may be replaced or appended to; false: stay.
  bool AskAboutExistingFile(bool& append);

  HWND combo_ = nullptr;
  HWND slider_ = nullptr;
  std::wstring defaultName_;
  std::wstring qualityTexts_[5];
  std::wstring constant_;
  std::wstring variable_;
  std::wstring tooltipFormat_;
  unsigned discSeconds_ = 0;
  bool haveEncoder_ = false;
  std::wstring tooltip_;
};

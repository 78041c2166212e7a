#pragma once
#include <windows.h>

#include <string>

#include "wizard/pages/PageBase.h"

// The backup file to read, for extracting and restoring alike: a recent file,
// one chosen by browsing or a typed path. The page reads the file at once and
// shows whether it is a backup file, its first disc's artist and album and
// its front cover.
class CWizardSelectMP3Page : public CWizardPageBase {
 public:
  explicit CWizardSelectMP3Page(const CWizardInfo& info);

 private:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void Fill();
  void Select();
  void BrowseForFile();
  void OnTextTyped();
  void Judge(const std::wstring& path);
  void ShowCover(const BackupDisc& disc);
  void ShowNothing(const std::wstring& validity);
  // A bare file name lies in the browse folder, also before it becomes a
  // path (which would take it from the current folder).
  std::wstring Resolve(const std::wstring& path) const;
  bool Leave();

  HWND combo_ = nullptr;
  HWND picture_ = nullptr;
  HICON icon_ = nullptr;
  std::wstring browseFolder_;
};

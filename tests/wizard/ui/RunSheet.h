#pragma once
// The wizard sheet in this process, shown modally on the test's thread while
// a second thread plays the user.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/WizardSheet.h"
#include "wizard/resources/resource.h"

namespace SheetDriver {

// A job that reports progress and ends as scripted, or runs until stopped.
class ScriptedJob : public Action {
 public:
  ScriptedJob(bool succeeds, bool endsByItself, std::wstring text)
      : succeeds_(succeeds), endsByItself_(endsByItself), text_(std::move(text)) {}
  ~ScriptedJob() override { Finish(); }
  int Start(HWND notify, CWizardInfo) override {
    worker_ = std::thread([this, notify] {
      for (int step = 1; step <= 10 && !stop_; ++step)
        PostMessageW(notify, WM_JOB_NOTIFY, JOB_PROGRESS, step);
      while (!endsByItself_ && !stop_) Sleep(5);
      PostMessageW(notify, WM_JOB_NOTIFY, JOB_DONE, 0);
    });
    return 10;
  }
  bool Finish() override {
    stop_ = true;
    if (worker_.joinable()) worker_.join();
    return succeeds_;
  }
  void Continue() override {}
  std::wstring Message() override { return text_; }

 private:
  bool succeeds_;
  bool endsByItself_;
  std::wstring text_;
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

// Runs the steps once the welcome page shows; they end with Cancel (pressed
// again in case they stopped early). The sheet's result.
inline INT_PTR RunSheet(CWizardInfo info, const std::function<void(HWND sheet)>& steps,
                        CWizardProgressPage::JobFactory jobs = CWizardProgressPage::MakeJob) {
  info->sheetWindow = nullptr;  // a window of an earlier sheet is gone
  CWizardSheet sheet(info, std::move(jobs));
  std::thread driver([&] {
    HWND window = nullptr;
    if (!WaitFor([&] { return (window = info->sheetWindow) != nullptr; })) return;
    if (WaitForPage(window, IDD_WIZ97_WELCOME))
      steps(window);
    else
      ADD_FAILURE() << "the sheet never showed its welcome page";
    PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  });
  const INT_PTR result = sheet.DoModal(nullptr);
  driver.join();
  return result;
}

// Shows a page straight away, as if the road had led there.
inline bool JumpTo(HWND sheet, int page) {
  PostMessageW(sheet, PSM_SETCURSELID, 0, page);
  return WaitForPage(sheet, page);
}

// Types a path into the backup-file page's combo box.
inline void TypeBackupFile(HWND sheet, const std::wstring& path) {
  HWND combo = GetDlgItem(CurrentPage(sheet), IDC_BACKUP_FILE);
  SetWindowTextW(reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0)),
                 path.c_str());
}

}  // namespace SheetDriver

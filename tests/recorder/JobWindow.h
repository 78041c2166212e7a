#pragma once
#include <windows.h>

#include <vector>

#include "tests/support/TimeScale.h"
#include "wizard/jobs/Action.h"

// A message-only window that collects what a job posts to its progress page.
class JobWindow {
 public:
  JobWindow() {
    hwnd_ =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  ~JobWindow() { DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }

  // Pumps the thread's messages until JOB_DONE arrives; false after `ms`.
  bool WaitForDone(DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
      MSG msg;
      while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE)) {
        if (msg.message != WM_JOB_NOTIFY) continue;
        if (msg.wParam == JOB_PROGRESS) progress.push_back(int(msg.lParam));
        if (msg.wParam == JOB_DONE) {
          ++done;
          return true;
        }
      }
      if (GetTickCount() - start > ScaledMs(ms)) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_POSTMESSAGE);
    }
  }
  // Takes what is still queued.
  void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, hwnd_, 0, 0, PM_REMOVE))
      if (msg.message == WM_JOB_NOTIFY && msg.wParam == JOB_DONE) ++done;
  }

  std::vector<int> progress;
  int done = 0;

 private:
  HWND hwnd_;
};

#pragma once
#include <windows.h>

#include <chrono>
#include <functional>
#include <utility>
#include <vector>

#include "tests/support/TimeScale.h"
#include "wizard/jobs/Action.h"

// A message-only window that collects the WM_JOB_NOTIFY messages of a job, as
// the progress page would receive them.
class JobNotifications {
 public:
  JobNotifications() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = &JobNotifications::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TavrinTestJobNotifications";
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~JobNotifications() { DestroyWindow(window_); }
  JobNotifications(const JobNotifications&) = delete;
  JobNotifications& operator=(const JobNotifications&) = delete;

  HWND window() const { return window_; }
  const std::vector<std::pair<WPARAM, LPARAM>>& received() const { return received_; }

  // Pumps messages until the condition holds; false after the time limit.
  bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 60000) {
    const auto end =
        std::chrono::steady_clock::now() + Scaled(std::chrono::milliseconds(timeoutMs));
    while (!condition()) {
      if (std::chrono::steady_clock::now() > end) return false;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return true;
  }
  bool WaitDone(int timeoutMs = 60000) {
    return PumpUntil([this] { return Count(JOB_DONE) > 0; }, timeoutMs);
  }
  int Count(WPARAM code) const {
    int n = 0;
    for (const auto& m : received_) n += m.first == code;
    return n;
  }
  // The last progress position received; -1 before any.
  LPARAM LastProgress() const {
    LPARAM last = -1;
    for (const auto& m : received_)
      if (m.first == JOB_PROGRESS) last = m.second;
    return last;
  }
  // Messages still queued after the job ended, so that none is left unseen.
  void Drain() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<JobNotifications*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (m == WM_JOB_NOTIFY && self) {
      self->received_.emplace_back(wp, lp);
      return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
  }
  HWND window_;
  std::vector<std::pair<WPARAM, LPARAM>> received_;
};

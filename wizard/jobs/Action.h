#pragma once
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// Workers report to the progress page by posting this message.
const UINT WM_JOB_NOTIFY = WM_USER + 0x100;
enum JobNotifyCode : WPARAM {
  JOB_PROGRESS = 0,  // the new position in the second parameter
  JOB_CONTINUE = 1,
  JOB_DONE = 2,  // once, as the worker's last act
  LOOKUP_CHOOSE = 5,
  LOOKUP_DONE = 6,
};

// A long operation that the progress page starts, follows and finishes. All
// operations are called on the user-interface thread.
class Action {
 public:
  virtual ~Action() = default;
  // Stops the worker if it still runs, waits for it; whether the job succeeded.
  virtual bool Finish() = 0;
  // Wakes a worker that waits on the job.
  virtual void Continue() = 0;
  // The result or error text.
  virtual std::wstring Message() = 0;
};

// What the jobs that own one worker thread share: the thread, the job's mutex
// and condition variable, the stop flag the worker polls between its steps,
// the success flag and the result text.
class ThreadedAction : public Action {
 public:
  ~ThreadedAction() override { Finish(); }
  bool Finish() override;
  void Continue() override;
  std::wstring Message() override { return message_; }

 protected:
  void Post(JobNotifyCode code, LPARAM value) const {
    PostMessageW(notify_, WM_JOB_NOTIFY, code, value);
  }
  // Waits up to `ms` for the stop flag; whether it was set.
  bool WaitForStop(unsigned ms);

  std::mutex mutex_;
  std::condition_variable wake_;
  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> success_{false};
  std::wstring message_;
  HWND notify_ = nullptr;
  int range_ = 0;
};

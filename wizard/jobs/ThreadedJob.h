#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "wizard/jobs/Action.h"

// What the jobs that own one worker thread share: the mutex, the condition
// variable, the stop flag that Finish sets and the worker polls, the success
// flag and text that the worker leaves, and the page's window and range.
class ThreadedJob : public Action {
 public:
  ThreadedJob() = default;
  ThreadedJob(const ThreadedJob&) = delete;
  ThreadedJob& operator=(const ThreadedJob&) = delete;
  // A job is never destroyed with its worker still running; a job whose worker
  // uses members of its own calls StopWorker() first in its destructor.
  ~ThreadedJob() override { StopWorker(); }

  bool Finish() override {
    StopWorker();
    return succeeded_;
  }
  void Continue() override {
    std::lock_guard<std::mutex> lock(mutex_);
    wake_.notify_one();
  }
  std::wstring Message() override { return text_; }

 protected:
  // Starts the worker; the worker must end by calling Done().
  template <typename F>
  void Launch(F&& body) {
    worker_ = std::thread(std::forward<F>(body));
  }
  bool Stopping() const { return stop_.load(); }
  const std::atomic<bool>& StopFlag() const { return stop_; }
  void Progress(int position) const {
    PostMessageW(notify_, WM_JOB_NOTIFY, JOB_PROGRESS, static_cast<LPARAM>(position));
  }
  void Done() const { PostMessageW(notify_, WM_JOB_NOTIFY, JOB_DONE, 0); }
  // Sets the stop flag under the mutex, wakes a worker that waits on the
  // condition and joins; only the first call joins.
  void StopWorker() {
    bool join = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!stop_) {
        stop_ = true;
        join = true;
      }
      wake_.notify_all();
    }
    if (join && worker_.joinable()) worker_.join();
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::atomic<bool> succeeded_{false};
  std::wstring text_;
  HWND notify_ = nullptr;
  int range_ = 0;

 private:
  std::atomic<bool> stop_{false};
  std::thread worker_;
};

#pragma once
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

#include "common/Boundary.h"
#include "common/Localizer.h"
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
  // Starts the worker, once; false when it ran before or the system could
  // not start a thread. The worker must end by calling Done(); a worker that
  // throws instead ends the job as failed, with a text for the user.
  template <typename F>
  bool Launch(F&& body) {
    if (launched_) return false;
    try {
      worker_ = std::thread([this, body = std::forward<F>(body)]() mutable {
        if (!Boundary::Run("a job's worker", body)) Abandon();
      });
    } catch (const std::system_error&) {
      return false;
    }
    launched_ = true;
    return true;
  }
  bool Stopping() const { return stop_.load(); }
  const std::atomic<bool>& StopFlag() const { return stop_; }
  void Progress(int position) const {
    PostMessageW(notify_, WM_JOB_NOTIFY, JOB_PROGRESS, static_cast<LPARAM>(position));
  }
  void Done() const { PostMessageW(notify_, WM_JOB_NOTIFY, JOB_DONE, 0); }
  // Ends the job of a worker that threw: unsuccessful, with the text the
  // worker left or else one that says the job failed.
  void Abandon() noexcept {
    succeeded_ = false;
    Boundary::Run("a job's worker", [this] {
      if (text_.empty())
        text_ = Localizer::Translate(
            L"The operation ended because of an unexpected error.{JOB_FAILED}");
    });
    Done();
  }
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
  bool launched_ = false;
  std::thread worker_;
};

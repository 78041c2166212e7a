#include "wizard/jobs/Action.h"

#include <chrono>

bool ThreadedAction::Finish() {
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
  return success_;
}

void ThreadedAction::Continue() {
  std::lock_guard<std::mutex> lock(mutex_);
  wake_.notify_one();
}

bool ThreadedAction::WaitForStop(unsigned ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stop_.load(); });
}

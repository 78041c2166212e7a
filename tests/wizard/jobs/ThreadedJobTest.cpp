#include "wizard/jobs/ThreadedJob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "tests/support/AllocationWatch.h"
#include "tests/support/JobNotifications.h"
#include "wizard/WizardInfo.h"

namespace {

// A worker that waits on the job's condition until it is woken or stopped.
class WaitingJob : public ThreadedJob {
 public:
  explicit WaitingJob(std::atomic<int>* ended) : ended_(ended) {}
  ~WaitingJob() override { StopWorker(); }
  int Start(HWND notify, CWizardInfo) override {
    notify_ = notify;
    range_ = 1;
    Launch([this] {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return woken_ || Stopping(); });
      succeeded_ = woken_;
      text_ = woken_ ? L"woken" : L"stopped";
      lock.unlock();
      ++*ended_;
      Done();
    });
    return range_;
  }
  void Wake() {
    std::lock_guard<std::mutex> lock(mutex_);
    woken_ = true;
  }

 private:
  std::atomic<int>* ended_;
  bool woken_ = false;
};

TEST(ThreadedJob, ContinueWakesTheWorkerAndFinishRepeatsItsAnswer) {
  std::atomic<int> ended{0};
  JobNotifications page;
  WaitingJob job(&ended);
  ASSERT_EQ(1, job.Start(page.window(), CWizardInfo()));
  job.Wake();
  job.Continue();
  ASSERT_TRUE(page.WaitDone());
  EXPECT_TRUE(job.Finish());
  EXPECT_TRUE(job.Finish());
  EXPECT_EQ(L"woken", job.Message());
  EXPECT_EQ(1, ended.load());
  EXPECT_EQ(1, page.Count(JOB_DONE));
}

TEST(ThreadedJob, FinishStopsARunningWorkerAndJoinsIt) {
  std::atomic<int> ended{0};
  JobNotifications page;
  WaitingJob job(&ended);
  job.Start(page.window(), CWizardInfo());
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(1, ended.load());  // joined: the worker has ended
  EXPECT_EQ(L"stopped", job.Message());
  EXPECT_FALSE(job.Finish());
}

TEST(ThreadedJob, DestroyingAStartedJobStopsAndJoinsItsWorker) {
  std::atomic<int> ended{0};
  JobNotifications page;
  {
    WaitingJob job(&ended);
    job.Start(page.window(), CWizardInfo());
  }
  EXPECT_EQ(1, ended.load());
  { WaitingJob never(&ended); }
  EXPECT_EQ(1, ended.load());
}

// A worker whose allocation is refused, as a job's can be on a machine short
// of memory; it has no catch of its own.
class GreedyJob : public ThreadedJob {
 public:
  ~GreedyJob() override { StopWorker(); }
  int Start(HWND notify, CWizardInfo) override {
    notify_ = notify;
    range_ = 1;
    Launch([this] {
      block_.resize(64 << 20);
      succeeded_ = true;
      text_ = L"done";
      Done();
    });
    return range_;
  }

 private:
  std::vector<char> block_;
};

TEST(ThreadedJob, AWorkerThatThrowsEndsItsJobAsFailedWithAText) {
  JobNotifications page;
  GreedyJob job;
  {
    const AllocationWatch allocations(1 << 20);
    ASSERT_EQ(1, job.Start(page.window(), CWizardInfo()));
    EXPECT_FALSE(job.Finish());
  }
  ASSERT_TRUE(page.WaitDone());
  EXPECT_EQ(L"The operation ended because of an unexpected error.", job.Message());
  EXPECT_EQ(1, page.Count(JOB_DONE));
}

TEST(ThreadedJob, FinishWithoutStartFindsNoWorker) {
  std::atomic<int> ended{0};
  WaitingJob job(&ended);
  EXPECT_FALSE(job.Finish());
  EXPECT_TRUE(job.Message().empty());
}

}  // namespace

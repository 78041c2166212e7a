#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "wizard/jobs/Action.h"
#include "wizard/pages/Banner.h"
#include "wizard/pages/PageBase.h"

// Where every operation runs: the page makes the operation's job when it
// becomes active, starts it, follows its progress and collects its outcome
// for the completion page; during a restore of several discs it sends the
// wizard back to the recorder page for each further disc. It also carries the
// web banner and runs the update check when its window is made.
class CWizardProgressPage : public CWizardPageBase {
 public:
  // Makes the job of the wizard state's operation.
  using JobFactory = std::function<std::unique_ptr<Action>(const CWizardInfo& info)>;
  static std::unique_ptr<Action> MakeJob(const CWizardInfo& info);

  explicit CWizardProgressPage(const CWizardInfo& info, JobFactory factory = MakeJob);

  // Whether Windows may end the session now: not while a disc is recorded.
  bool CanEndSession() const;

 private:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  BOOL OnQueryCancel() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void OnJobNotify(WPARAM code, LPARAM value);
  void OnJobDone();
  void ReleaseJob();

  JobFactory factory_;
  HWND bar_ = nullptr;
  Banner banner_;
  std::unique_ptr<Action> job_;
  bool running_ = false;
};

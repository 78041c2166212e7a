#pragma once
#include <windows.h>

#include <string>

class CWizardInfo;

// Workers report to the window given to Action::Start by posting this message;
// the first parameter is one of the codes below, the second a value.
const UINT WM_JOB_NOTIFY = WM_USER + 0x100;
enum JobNotifyCode : WPARAM {
  JOB_PROGRESS = 0,  // value: the new progress position
  JOB_CONTINUE = 1,  // answered by Action::Continue
  JOB_DONE = 2,      // posted once, as the worker's last act
  LOOKUP_CHOOSE = 5,
  LOOKUP_DONE = 6,
};

// One long operation as the progress page drives it. All calls come from the
// user-interface thread; a job is started once and may be finished repeatedly.
class Action {
 public:
  virtual ~Action() = default;
  // Returns the progress range; 0 when the job did not start.
  virtual int Start(HWND notify, CWizardInfo info) = 0;
  // Stops the worker if it still runs, waits for it; reports success.
  virtual bool Finish() = 0;
  // Wakes a worker that waits on the job's condition variable.
  virtual void Continue() = 0;
  // The result or error text (may be empty).
  virtual std::wstring Message() = 0;
};

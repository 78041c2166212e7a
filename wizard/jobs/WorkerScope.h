#pragma once
#include <windows.h>
#include <objbase.h>

#include "common/Boundary.h"
#include "common/SysUtil.h"

// What every worker thread does first and last: its name for the debugger, its
// priority and COM for the thread's life.
class WorkerScope {
 public:
  WorkerScope(const char* name, int priority = THREAD_PRIORITY_NORMAL) {
    // The name is for a debugger only: a thread without one works all the same.
    Boundary::Run("a worker's name", [name] { SysUtil::SetCurrentThreadName(name); });
    com_ = SUCCEEDED(CoInitialize(nullptr));
    if (priority != THREAD_PRIORITY_NORMAL) SetThreadPriority(GetCurrentThread(), priority);
  }
  ~WorkerScope() {
    if (com_) CoUninitialize();
  }
  WorkerScope(const WorkerScope&) = delete;
  WorkerScope& operator=(const WorkerScope&) = delete;

 private:
  bool com_ = false;
};

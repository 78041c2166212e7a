#pragma once
#include <windows.h>

#include "common/SysUtil.h"
#include "wizard/TaskDialog.h"

// What a recording job asks of the system around its worker, replaceable for
// tests: the power status, the user (through a task dialog) and the
// functions of User32.dll that only some systems have.
struct RecorderSystemCalls {
  BOOL(WINAPI* getPowerStatus)(LPSYSTEM_POWER_STATUS) = GetSystemPowerStatus;
  int (*ask)(HWND owner, const TaskDialogDesc& question) = ShowTaskDialog;
  void* (*user32)(const char* name) = SysUtil::User32Function;
};

// False when the computer runs on battery power and the user, asked over the
// owner, did not choose to record all the same.
bool MayRecordOnBattery(HWND owner, const RecorderSystemCalls& calls);

// The reason the session gives for not ending while a disc is recorded,
// registered for one window (the sheet) and taken back by Drop or on
// destruction. Systems without the functions record all the same.
class ShutdownBlock {
 public:
  explicit ShutdownBlock(RecorderSystemCalls calls) : calls_(calls) {}
  ShutdownBlock(const ShutdownBlock&) = delete;
  ShutdownBlock& operator=(const ShutdownBlock&) = delete;
  ~ShutdownBlock() { Drop(); }

  // Registers the reason for the window; remembers the window when that worked.
  void Set(HWND window);
  void Drop();

 private:
  RecorderSystemCalls calls_;
  HWND window_ = nullptr;
};

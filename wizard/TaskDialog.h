#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/CallingConvention.h"

// A question asked in the middle of a step, described once for both of its
// forms: a task dialog with command links where the system has task dialogs,
// else a message box. Every text is translated by the caller. The caller
// chooses the button ids so that the message box's answers mean the same
// (Yes 6, No 7, Cancel 2).
struct TaskDialogDesc {
  struct Button {
    int32_t id;
    std::wstring text;  // with command links: label, line feed, note
  };
  std::wstring title;            // the dialog's window title, the message box's caption
  std::wstring mainInstruction;  // left out when empty
  std::wstring content;          // left out when empty
  int32_t mainIcon = 0;          // icon resource id; 0 = none, 0xFFFF = warning
  int32_t flags = 0;             // task-dialog flags
  std::vector<Button> buttons;   // in display order; the first is the default
  std::wstring messageBoxText;
  int32_t messageBoxType = 0;
};

// The system's task-dialog function as comctl32 exports it.
using TaskDialogIndirectProc = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);
PIN_BINDING(TaskDialogIndirectProc, ::TaskDialogIndirect);

// Shows the question, modal to the owner, and returns the id of the button
// pressed (IDCANCEL when a cancellable task dialog was closed). Never fails.
int ShowTaskDialog(HWND owner, const TaskDialogDesc& question);
// The same with the task-dialog function given; null, or a failing call,
// shows the message box.
int ShowTaskDialog(HWND owner, const TaskDialogDesc& question, TaskDialogIndirectProc show);

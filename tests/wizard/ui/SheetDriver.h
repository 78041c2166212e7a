#pragma once
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "tests/support/ProgramFolder.h"
#include "tests/support/TimeScale.h"
#include "tests/wizard/ui/SettleEvent.h"

// Drives a running wizard sheet from another thread or process with the
// messages a user's clicks would cause. Waits poll the sheet's state.
namespace SheetDriver {

enum Button { kBack = 0x3023, kNext = 0x3024, kFinish = 0x3025, kCancel = 2, kHelp = 9 };

inline bool WaitFor(const std::function<bool()>& done, int milliseconds = 60000) {
  const auto end =
      std::chrono::steady_clock::now() + Scaled(std::chrono::milliseconds(milliseconds));
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

// The top-level dialog of the process with the given caption start (any
// dialog when empty), which must also be a property sheet when asked.
inline HWND FindDialog(DWORD process, const std::wstring& caption, bool sheet) {
  HWND found = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !found;
       w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner != process || !IsWindowVisible(w)) continue;
    // PSM_* are WM_USER messages: send them to the process's own dialogs only.
    if (sheet && !SendMessageW(w, PSM_GETCURRENTPAGEHWND, 0, 0)) continue;
    wchar_t text[256] = L"";
    GetWindowTextW(w, text, 256);
    if (!sheet && std::wstring(text).compare(0, caption.size(), caption) != 0) continue;
    found = w;
  }
  return found;
}

inline HWND WaitForDialog(DWORD process, const std::wstring& caption, bool sheet = false) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindDialog(process, caption, sheet)) != nullptr; });
  return found;
}

namespace settle {

// The hook lives in sheet_settle.dll beside the test, which a sheet's process
// loads as the hook is called there.
inline HOOKPROC Hook(HMODULE& library) {
  static const HMODULE loaded = [] {
    return LoadLibraryW((ProgramFolder() + L"sheet_settle.dll").c_str());
  }();
  library = loaded;
  return loaded ? reinterpret_cast<HOOKPROC>(
                      reinterpret_cast<void*>(GetProcAddress(loaded, "SettleHook")))
                : nullptr;
}

}  // namespace settle

// Returns once the sheet's thread, in this process or another, has taken every
// message posted to it before the call; false when it does not within the
// wait. A page posts the state of the wizard's buttons as it is shown, so
// until then they may still be those of the page before.
inline bool Settle(HWND sheet) {
  static std::atomic<unsigned> next{0};
  HMODULE library = nullptr;
  const HOOKPROC hook = settle::Hook(library);
  const DWORD thread = GetWindowThreadProcessId(sheet, nullptr);
  if (!hook || !thread) return false;
  const DWORD self = GetCurrentProcessId();
  const unsigned marker = ++next;
  HANDLE taken = CreateEventW(nullptr, TRUE, FALSE, SettleEventName(self, marker).c_str());
  HHOOK hooked = taken ? SetWindowsHookExW(WH_GETMESSAGE, hook, library, thread) : nullptr;
  const bool settled = hooked && PostMessageW(sheet, WM_NULL, self, marker) &&
                       WaitForSingleObject(taken, ScaledMs(60000)) == WAIT_OBJECT_0;
  if (hooked) UnhookWindowsHookEx(hooked);
  if (taken) CloseHandle(taken);
  return settled;
}

inline int CurrentPageId(HWND sheet) {
  HWND page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
  if (!page) return 0;
  const LRESULT index = SendMessageW(sheet, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
  return index < 0 ? 0 : static_cast<int>(SendMessageW(sheet, PSM_INDEXTOID, index, 0));
}

// Also waits for what the page posted as it was shown (see Settle).
inline bool WaitForPage(HWND sheet, int id) {
  return WaitFor([&] { return CurrentPageId(sheet) == id; }) && Settle(sheet);
}

inline HWND CurrentPage(HWND sheet) {
  return reinterpret_cast<HWND>(SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
}

inline bool IsEnabled(HWND sheet, Button button) {
  HWND w = GetDlgItem(sheet, button);
  return w && IsWindowVisible(w) && IsWindowEnabled(w);
}

// The visible, enabled buttons among Back, Next and Finish as PSWIZB_* flags.
inline DWORD WizardButtons(HWND sheet) {
  return (IsEnabled(sheet, kBack) ? PSWIZB_BACK : 0) | (IsEnabled(sheet, kNext) ? PSWIZB_NEXT : 0) |
         (IsEnabled(sheet, kFinish) ? PSWIZB_FINISH : 0);
}

inline bool WaitForButtons(HWND sheet, DWORD flags) {
  return Settle(sheet) && WaitFor([&] { return WizardButtons(sheet) == flags; });
}

// Presses a button once it is visible and enabled (a hidden Finish would
// close the sheet as well); false when it never is.
inline bool Press(HWND sheet, Button button) {
  if (!Settle(sheet) || !WaitFor([&] { return IsEnabled(sheet, button); })) return false;
  int psbtn = PSBTN_CANCEL;
  switch (button) {
    case kBack:
      psbtn = PSBTN_BACK;
      break;
    case kNext:
      psbtn = PSBTN_NEXT;
      break;
    case kFinish:
      psbtn = PSBTN_FINISH;
      break;
    case kHelp:
      psbtn = PSBTN_HELP;
      break;
    case kCancel:
      break;
  }
  return PostMessageW(sheet, PSM_PRESSBUTTON, psbtn, 0) != FALSE;
}

// Presses Next or Back and waits for the page it should lead to.
inline bool Go(HWND sheet, Button button, int expectedPage) {
  return Press(sheet, button) && WaitForPage(sheet, expectedPage);
}

namespace within {

inline HWND target = nullptr;
inline UINT message = 0;
inline std::function<void()> before;
inline std::function<void()> after;

inline LRESULT CALLBACK Before(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && call->hwnd == target && call->message == message && before) before();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

inline LRESULT CALLBACK After(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && call->hwnd == target && call->message == message) {
    target = nullptr;  // once: what `after` sends is not taken for the message again
    if (after) after();
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace within

// Sends a message to a window of this process on another thread, whose thread
// runs `before` just before the window procedure takes the message and `after`
// just after it, before that thread takes anything else. So an event of the
// display cannot come in between: another program's window taking the focus,
// say, which makes Wine read the keys' state anew and closes a label editor.
inline LRESULT SendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          std::function<void()> before, std::function<void()> after) {
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  within::target = window;
  within::message = message;
  within::before = std::move(before);
  within::after = std::move(after);
  HHOOK hookBefore = SetWindowsHookExW(WH_CALLWNDPROC, within::Before, nullptr, thread);
  HHOOK hookAfter = SetWindowsHookExW(WH_CALLWNDPROCRET, within::After, nullptr, thread);
  const LRESULT result = SendMessageW(window, message, wParam, lParam);
  UnhookWindowsHookEx(hookAfter);
  UnhookWindowsHookEx(hookBefore);
  within::target = nullptr;
  within::before = nullptr;
  within::after = nullptr;
  return result;
}

// Presses a key in a window of this process, on another thread, with Ctrl
// held from just before its window procedure takes the key to just after.
inline void ControlKey(HWND window, WORD key) {
  const auto hold = [](bool down) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
  };
  SendWithin(
      window, WM_KEYDOWN, key, 0, [&] { hold(true); }, [&] { hold(false); });
}

inline std::wstring Text(HWND window) {
  wchar_t text[1024] = L"";
  GetWindowTextW(window, text, 1024);
  return text;
}

inline BOOL CALLBACK AddControlText(HWND child, LPARAM texts) {
  *reinterpret_cast<std::wstring*>(texts) += Text(child) + L"\n";
  return TRUE;
}

// The texts of a dialog's controls, one a line.
inline std::wstring ControlTexts(HWND dialog) {
  std::wstring all;
  EnumChildWindows(dialog, AddControlText, reinterpret_cast<LPARAM>(&all));
  return all;
}

}  // namespace SheetDriver

// The message hook with which a test waits for a sheet's thread to take what
// was posted to it before (see SheetDriver::Settle). It is a library of its
// own so that a sheet in another process can load it too.
#include <windows.h>

#include "common/CallingConvention.h"
#include "tests/wizard/ui/SettleEvent.h"

// A WM_NULL posted with the test's process ID and a number of its own sets the
// test's event for them, if the test is still waiting.
extern "C" __declspec(dllexport) LRESULT CALLBACK
    SettleHook(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = reinterpret_cast<const MSG*>(lParam);
  if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_NULL && message->wParam) {
    const std::wstring name =
        SettleEventName(message->wParam, static_cast<ULONG_PTR>(message->lParam));
    if (HANDLE taken = OpenEventW(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
      SetEvent(taken);
      CloseHandle(taken);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
// The test binds it by name as a HOOKPROC.
PIN_BINDING(HOOKPROC, SettleHook);

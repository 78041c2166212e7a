#pragma once
#include <windows.h>

#include <string>

// Small system functions without shared state, callable from any thread.
namespace SysUtil {

// The locale name ("en-US") of a Windows language identifier; empty when neither the
// built-in table, the system nor the language's default sublanguage knows one.
std::wstring LcidToLocaleName(LANGID langId);

// The same, asking the given function where the system would be asked ("no system
// lookup" when null); the function returns an empty name when it knows none.
using SystemLocaleLookup = std::wstring (*)(LANGID langId);
std::wstring LcidToLocaleName(LANGID langId, SystemLocaleLookup systemLookup);

// Names a thread (thread id, or -1 for the calling one) for an attached debugger;
// without a debugger it does nothing.
void SetThreadName(DWORD threadId, const std::string& name);
void SetCurrentThreadName(const std::string& name);

// The thread's last Win32 error as an HRESULT; E_FAIL when none is set, since a
// failure without an error code is still a failure.
inline HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

// A function of the already loaded User32.dll; null when it has none.
inline void* User32Function(const char* name) {
  HMODULE user32 = GetModuleHandleW(L"User32.dll");
  return user32 ? reinterpret_cast<void*>(GetProcAddress(user32, name)) : nullptr;
}

}  // namespace SysUtil

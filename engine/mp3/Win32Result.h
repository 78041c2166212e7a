#pragma once
#include <windows.h>

namespace Encoders {

// The thread's last Win32 error as an HRESULT; E_FAIL when none is set.
inline HRESULT LastErrorResult() {
  const DWORD error = GetLastError();
  return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace Encoders

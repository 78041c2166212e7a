#pragma once
// The CD-ROM driver calls of the driver back-end, in one table so that tests
// can put a stand-in driver in their place.
#include <windows.h>

namespace CdDevice {

struct DriverCalls {
  UINT(WINAPI* getDriveType)(LPCWSTR root);
  HANDLE(WINAPI* createFile)
  (LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD disposition,
   DWORD flags, HANDLE tmpl);
  BOOL(WINAPI* deviceIoControl)
  (HANDLE device, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize, LPDWORD returned,
   LPOVERLAPPED overlapped);
  BOOL(WINAPI* closeHandle)(HANDLE handle);
};

// The table in use; the system's functions unless a test replaced them.
DriverCalls& Driver();

}  // namespace CdDevice

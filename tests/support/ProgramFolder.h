#pragma once
#include <windows.h>

#include <string>

// The folder of this test program, with its closing backslash: the build puts
// the helper programs, libraries and data files the tests use beside it.
inline std::wstring ProgramFolder() {
  wchar_t exe[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring path = exe;
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

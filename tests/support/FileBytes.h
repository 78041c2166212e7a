#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Whole files as bytes, for tests that look into what a job wrote.
inline std::vector<unsigned char> ReadFileBytes(const std::wstring& path) {
  std::vector<unsigned char> all;
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return all;
  LARGE_INTEGER size;
  GetFileSizeEx(h, &size);
  all.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  if (!all.empty()) ReadFile(h, all.data(), static_cast<DWORD>(all.size()), &got, nullptr);
  all.resize(got);
  CloseHandle(h);
  return all;
}

// False when the file cannot be written whole.
inline bool WriteFileBytes(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD put = 0;
  const BOOL ok =
      bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
  CloseHandle(h);
  return ok && put == bytes.size();
}

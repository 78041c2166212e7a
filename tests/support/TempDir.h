#pragma once
#include <windows.h>

#include <string>

// A test fails on a folder it cannot remove; a program without the test
// framework (the benchmark) says so on its error output.
#if __has_include(<gtest/gtest.h>)
#include <gtest/gtest.h>
inline void ReportFolderLeft(const std::wstring& text) { ADD_FAILURE() << text; }
#else
#include <cstdio>
inline void ReportFolderLeft(const std::wstring& text) {
  std::fwprintf(stderr, L"%ls\n", text.c_str());
}
#endif

// A fresh folder under the system's temporary folder, removed with its files.
class TempDir {
 public:
  TempDir() {
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    // Wine hands a process ID on again soon, and a test that crashed leaves
    // its folder: a name is taken only where no folder is.
    static unsigned counter = 0;
    do {
      path_ = std::wstring(base) + L"tavrin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
              std::to_wstring(++counter) + L"-" + std::to_wstring(GetTickCount());
    } while (!CreateDirectoryW(path_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
  }
  // A file that some handle still holds goes only when the handle is closed,
  // and its folder with it: the test that leaves one open fails here. Such a
  // folder would stay in the shared temporary folder for good.
  ~TempDir() {
    std::wstring found;
    for (int tries = 0; !Remove(path_, found); ++tries) {
      if (tries == 50) {
        ReportFolderLeft(L"the temporary folder " + path_ + L" still holds" + found);
        return;
      }
      found.clear();
      Sleep(20);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  // Removes the folder with everything in it; names what it found there.
  static bool Remove(const std::wstring& dir, std::wstring& found) {
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        found += L" " + name;
        const std::wstring full = dir + L"\\" + name;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          Remove(full, found);
        } else {
          SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
          DeleteFileW(full.c_str());
        }
      } while (FindNextFileW(h, &fd));
      FindClose(h);
    }
    if (RemoveDirectoryW(dir.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
  std::wstring path_;
};

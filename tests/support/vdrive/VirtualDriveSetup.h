#pragma once
// Points the virtual drive at a description and a command log inside a
// temporary folder, for tests in this process (the server reads both names
// from the environment at every call).
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/vdrive/VirtualDisc.h"

class VirtualDriveSetup {
 public:
  VirtualDriveSetup() {
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_DISCS", (dir_ / L"discs.txt").c_str());
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_LOG", (dir_ / L"commands.log").c_str());
  }
  ~VirtualDriveSetup() {
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_DISCS", nullptr);
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_LOG", nullptr);
    // A server loaded in this process holds the log open; until it lets go,
    // the log and its folder cannot be removed.
    if (const HMODULE server = GetModuleHandleW(L"imapi2.dll"))
      if (const FARPROC close = GetProcAddress(server, "CloseCommandLog"))
        reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(close))();
  }
  VirtualDriveSetup(const VirtualDriveSetup&) = delete;
  VirtualDriveSetup& operator=(const VirtualDriveSetup&) = delete;

  // Writes the description; the server takes it up at its next call. Returns
  // the parsed description for computing what the drive must answer.
  VirtualDisc::Description Describe(const std::string& text) {
    // The server notices a new description by its write time.
    Sleep(20);
    Write(dir_ / L"discs.txt", text);
    VirtualDisc::Description d;
    std::string error;
    VirtualDisc::Parse(text, d, error);
    return d;
  }

  // The commands received since the last call, one line each:
  // "<drive id> cdb=<hex> timeout=<s> buf=<bytes> hr=<hex> fetched=<bytes>".
  std::vector<std::string> TakeLog() {
    const std::wstring path = dir_ / L"commands.log";
    std::vector<std::string> lines;
    // The server keeps the log open and appends; emptying it keeps the file.
    HANDLE h =
        CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    while (ReadFile(h, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
    SetFilePointer(h, 0, nullptr, FILE_BEGIN);
    SetEndOfFile(h);
    CloseHandle(h);
    size_t at = 0;
    while (at < text.size()) {
      const size_t end = text.find('\n', at);
      lines.push_back(text.substr(at, end - at));
      if (end == std::string::npos) break;
      at = end + 1;
    }
    return lines;
  }

  const TempDir& dir() const { return dir_; }

  static void Write(const std::wstring& path, const std::string& text) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD put = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
    CloseHandle(h);
  }

 private:
  TempDir dir_;
};

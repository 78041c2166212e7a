// Stands in for the HTML Help viewer (hhctrl.ocx) beside the program: shows
// nothing, opens no window, and writes each call to hhctrl.log beside itself
// as "command|file after the help file's name|control|context id".
#include <windows.h>
#include <htmlhelp.h>

#include <cstdio>
#include <string>

namespace {

std::wstring LogPath() {
  HMODULE self = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&LogPath), &self);
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(self, path, MAX_PATH);
  std::wstring log = path;
  return log.substr(0, log.rfind(L'.')) + L".log";
}

}  // namespace

extern "C" __declspec(dllexport) HWND WINAPI
    HtmlHelpW(HWND, LPCWSTR file, UINT command, DWORD_PTR data) {
  std::wstring rest = file ? file : L"";
  const std::size_t chm = rest.find(L".chm");
  if (chm != std::wstring::npos) rest = rest.substr(chm + 4);
  wchar_t line[512];
  if (command == HH_TP_HELP_WM_HELP) {
    const auto* ids = reinterpret_cast<const DWORD*>(data);
    swprintf(line, 512, L"%u|%ls|%lu|0x%08lX\n", command, rest.c_str(), ids[0], ids[1]);
  } else {
    swprintf(line, 512, L"%u|%ls\n", command, rest.c_str());
  }
  if (FILE* f = _wfopen(LogPath().c_str(), L"ab")) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string bytes(size > 0 ? size - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, bytes.data(), size, nullptr, nullptr);
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
  }
  return nullptr;
}

#include "common/TempFile.h"

#include <windows.h>

namespace TempFile {

std::wstring CreateIn(const std::wstring& folder) {
  wchar_t name[MAX_PATH + 16];
  if (folder.size() >= MAX_PATH - 14 || !GetTempFileNameW(folder.c_str(), L"tav", 0, name))
    return std::wstring();
  return name;
}

}  // namespace TempFile

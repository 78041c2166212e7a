#include "recorder/ImageFiles.h"

#include <windows.h>

#include "common/TempFile.h"

namespace ImageFiles {
namespace {

// Renames an existing file to a fresh name beside it; `aside` stays empty when
// there is no such file. False, the file untouched, when it cannot be moved.
bool SetAside(const std::wstring& path, std::wstring& aside) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  aside = CreateTempBeside(path);
  if (!aside.empty() && MoveFileExW(path.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
    return true;
  if (!aside.empty()) DeleteFileW(aside.c_str());
  aside.clear();
  return false;
}

}  // namespace

std::wstring CreateTempBeside(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return TempFile::CreateIn(slash == std::wstring::npos ? L"." : path.substr(0, slash + 1));
}

bool MoveIntoPlace(const std::vector<NewFile>& files) {
  const std::size_t count = files.size();
  std::vector<std::wstring> aside(count);
  std::size_t setAside = 0, movedIn = 0;
  while (setAside < count && SetAside(files[setAside].target, aside[setAside])) ++setAside;
  if (setAside == count)
    while (movedIn < count && MoveFileExW(files[movedIn].temp.c_str(),
                                          files[movedIn].target.c_str(), MOVEFILE_COPY_ALLOWED))
      ++movedIn;
  const bool done = movedIn == count;
  for (std::size_t k = 0; k < movedIn; ++k) {
    // A new file that took its name but cannot keep it is this job's own: gone.
    if (!done) DeleteFileW(files[k].target.c_str());
    files[k].temp.clear();
  }
  for (std::size_t k = 0; k < setAside; ++k) {
    if (aside[k].empty()) continue;
    if (done)
      DeleteFileW(aside[k].c_str());
    else
      MoveFileExW(aside[k].c_str(), files[k].target.c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  return done;
}

}  // namespace ImageFiles

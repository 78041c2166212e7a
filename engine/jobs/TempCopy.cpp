#include "engine/jobs/TempCopy.h"

#include <windows.h>

bool TempCopy::MoveAside() {
  temp_.clear();
  const DWORD attributes = GetFileAttributesW(path_.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;  // nothing to keep
  if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) return false;
  const std::wstring temp = path_ + L".tempCopyFile";
  if (!MoveFileW(path_.c_str(), temp.c_str())) return false;
  temp_ = temp;
  return true;
}

void TempCopy::Discard() {
  if (!temp_.empty()) DeleteFileW(temp_.c_str());
  temp_.clear();
}

bool TempCopy::Restore() {
  if (temp_.empty()) return DeleteFileW(path_.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  // One step that replaces the new file, so that the old one never stands aside alone.
  if (!MoveFileExW(temp_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING)) return false;
  temp_.clear();
  return true;
}

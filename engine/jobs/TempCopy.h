#pragma once
#include <string>

// Keeps a user's existing backup file while a new one is written under its
// name: the old file is moved aside to the name followed by ".tempCopyFile" and
// is either deleted once the new file is complete or put back in its place.
// Whatever fails, the old file is never truncated and never deleted before the
// new one is complete.
class TempCopy {
 public:
  explicit TempCopy(std::wstring path) : path_(std::move(path)) {}
  TempCopy(const TempCopy&) = delete;
  TempCopy& operator=(const TempCopy&) = delete;

  // Moves an existing file aside. False, with nothing changed, when the file
  // may not be replaced (read-only, a folder) or cannot be moved (held open,
  // or a temporary copy of that name is left over).
  bool MoveAside();
  // The name of the moved-aside file; empty when there was none.
  const std::wstring& path() const { return temp_; }
  // The new file is complete: the old one goes.
  void Discard();
  // The new file failed: it goes and the old one returns to its name. False
  // when the old one could not be put back; it then stays under path().
  bool Restore();

 private:
  std::wstring path_;
  std::wstring temp_;
};

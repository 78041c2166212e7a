#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

// Well-known folders shown under their display names in place of their paths
// ("My Music\Rock.mp3"), in the order they were added.
class FolderAliasList {
 public:
  struct Entry {
    std::wstring name;  // shown in place of the path
    std::wstring path;  // without a trailing backslash
    int mask;           // 1 pictures, 2 music, 4 general
  };

  // Where the special folders are looked up; SHGetFolderPathW unless another is given.
  using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  explicit FolderAliasList(FolderPathFn folderPath = &SHGetFolderPathW);

  // Adds the special folder (created when missing); nothing when the shell
  // does not know it.
  void Add(int csidl, const std::wstring& name, int mask);

  // The path with the first entry whose path is a case-sensitive prefix of it
  // replaced by that entry's name; the path itself when none matches.
  std::wstring ToAlias(const std::wstring& path) const;
  // The reverse, canonicalised (and in the shell's spelling when it exists).
  std::wstring FromAlias(const std::wstring& text) const;

  // Index of the first entry with this path, ignoring case; -1 when none.
  int FindByPath(const std::wstring& path) const;
  // The entry's name and mask; empty (mask untouched) for an index out of range.
  std::wstring GetName(int index, int& mask) const;
  std::wstring GetPath(int index) const;

 private:
  bool Valid(int index) const { return index >= 0 && index < static_cast<int>(entries_.size()); }

  FolderPathFn folderPath_;
  std::vector<Entry> entries_;
};

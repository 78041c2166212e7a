#include "common/FolderAliasList.h"

#include "common/MRUList.h"
#include "common/ShellUtils.h"

FolderAliasList::FolderAliasList(FolderPathFn folderPath) : folderPath_(folderPath) {}

void FolderAliasList::Add(int csidl, const std::wstring& name, int mask) {
  wchar_t folder[MAX_PATH];
  if (FAILED(folderPath_(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return;
  std::wstring path = folder;
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  entries_.push_back({name, path, mask});
}

std::wstring FolderAliasList::ToAlias(const std::wstring& path) const {
  for (const Entry& e : entries_) {
    if (path.compare(0, e.path.size(), e.path) == 0) return e.name + path.substr(e.path.size());
  }
  return path;
}

std::wstring FolderAliasList::FromAlias(const std::wstring& text) const {
  std::wstring path = text;
  for (const Entry& e : entries_) {
    if (text.compare(0, e.name.size(), e.name) == 0) {
      path = e.path + text.substr(e.name.size());
      break;
    }
  }
  return ShellUtils::CanonicalizePath(path);
}

int FolderAliasList::FindByPath(const std::wstring& path) const {
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (Settings::EqualNoCase(entries_[i].path, path)) return static_cast<int>(i);
  }
  return -1;
}

std::wstring FolderAliasList::GetName(int index, int& mask) const {
  if (!Valid(index)) return std::wstring();
  mask = entries_[index].mask;
  return entries_[index].name;
}

std::wstring FolderAliasList::GetPath(int index) const {
  return Valid(index) ? entries_[index].path : std::wstring();
}

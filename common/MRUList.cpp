#include "common/MRUList.h"

#include <windows.h>
#include <shlwapi.h>

#include <locale>

#include "common/Settings.h"

namespace Settings {

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  const auto& ctype = std::use_facet<std::ctype<wchar_t>>(std::locale());
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ctype.toupper(a[i]) != ctype.toupper(b[i])) return false;
  }
  return true;
}

MRUList::MRUList(int capacity, bool folders) : capacity_(capacity), folders_(folders) {}

MRUList::~MRUList() = default;

bool MRUList::Exists(const std::wstring& path) const {
  return folders_ ? PathIsDirectoryW(path.c_str()) != FALSE
                  : PathFileExistsW(path.c_str()) != FALSE;
}

bool MRUList::Load(const std::wstring& key) {
  int count;
  if (!GetInt(key, count)) return false;
  // A list never holds more than its capacity, so a larger stored count is
  // damage and is not followed.
  const int stored = count < capacity_ ? count : capacity_;
  for (int i = 0; i < stored; ++i) {
    std::wstring item;
    if (GetString(key + std::to_wstring(i), item) && Exists(item)) items_.push_back(item);
  }
  return true;
}

void MRUList::Save(const std::wstring& key, bool machine) const {
  if (!SetInt(key, static_cast<int>(items_.size()), machine)) return;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    SetString(key + std::to_wstring(i), items_[i], machine);
  }
}

void MRUList::Add(const std::wstring& path) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if (EqualNoCase(*it, path)) {
      items_.erase(it);
      break;
    }
  }
  while (!items_.empty() && static_cast<int>(items_.size()) >= capacity_) items_.pop_back();
  items_.push_front(path);
}

std::vector<std::wstring> MRUList::GetItems() const {
  return std::vector<std::wstring>(items_.begin(), items_.end());
}

}  // namespace Settings

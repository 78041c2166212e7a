#pragma once
#include <deque>
#include <string>
#include <vector>

namespace Settings {

// Equality after upper-casing both strings with the global locale (which the
// system leaves classic, so only a-z fold). The rule of stored path lists; the
// shell helpers compare file names with the system's full case folding instead.
bool EqualNoCase(const std::wstring& a, const std::wstring& b);

// Recently used files or folders, newest first, at most `capacity` of them,
// without duplicates that differ only in case. Stored under a key K as the int
// K (the count) and the strings K0, K1, ... (newest first).
class MRUList {
 public:
  MRUList(int capacity, bool folders);
  virtual ~MRUList();

  // Appends the stored items that still exist; false when K cannot be read.
  bool Load(const std::wstring& key);
  void Save(const std::wstring& key, bool machine) const;
  // Makes path the newest item, dropping an equal one or else the oldest.
  void Add(const std::wstring& path);
  std::vector<std::wstring> GetItems() const;

 private:
  bool Exists(const std::wstring& path) const;

  int capacity_;
  bool folders_;
  std::deque<std::wstring> items_;
};

}  // namespace Settings

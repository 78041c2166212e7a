#include "common/SettingsRegistry.h"

#include "common/Settings.h"

namespace Settings {
namespace Registry {

bool LocateValue(std::wstring& path, HKEY& key, bool& machine) {
  const std::size_t slash = path.find_last_of(L"\\/");
  const std::wstring subkey = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
  const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  std::wstring keyPath = L"SOFTWARE\\" + Root();
  if (!subkey.empty()) keyPath += L"\\" + subkey;

  const HKEY roots[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS};
  for (HKEY root : roots) {
    HKEY opened;
    if (RegOpenKeyExW(root, keyPath.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    if (RegQueryValueExW(opened, name.c_str(), nullptr, nullptr, nullptr, nullptr) ==
        ERROR_SUCCESS) {
      key = opened;
      machine = root == HKEY_LOCAL_MACHINE;
      path = name;
      return true;
    }
    RegCloseKey(opened);
  }
  return false;
}

bool OpenValue(std::wstring& path, HKEY& key) {
  bool machine;
  return LocateValue(path, key, machine);
}

bool GetInt(const std::wstring& path, int& value) {
  std::wstring name = path;
  HKEY key;
  if (!OpenValue(name, key)) return false;
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof data;
  const bool ok = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&data), &size) == ERROR_SUCCESS &&
                  type == REG_DWORD && size == sizeof data;
  RegCloseKey(key);
  if (ok) value = static_cast<int>(data);
  return ok;
}

}  // namespace Registry
}  // namespace Settings

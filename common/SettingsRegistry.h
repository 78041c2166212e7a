#pragma once
#include <windows.h>

#include <string>

// Read-only access to values below HKxx\SOFTWARE\<settings root>; the system
// reads only "Language" from here.
namespace Settings {
namespace Registry {

// The REG_DWORD value of the path; false when it is missing or of another type
// or size.
bool GetInt(const std::wstring& path, int& value);

// Finds the first of HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_USERS whose
// key for the path holds the value name, opens that key for reading and
// replaces path by the value name. The caller closes the key.
bool LocateValue(std::wstring& path, HKEY& key, bool& machine);
bool OpenValue(std::wstring& path, HKEY& key);

}  // namespace Registry
}  // namespace Settings

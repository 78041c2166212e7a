#pragma once
#include <string>

// The persistent settings: values addressed by a path such as "Quality" or
// "mruBackup\file3" (parts separated by '\' or '/'), strings or ints, kept per
// user and machine-wide in one XML file named after the settings root.
namespace Settings {

enum { BackendXmlFile = 1 };

// Selects the back-end; the XML file is the only one. Until a back-end is
// selected every get and set fails.
void SetBackend(int backend);

// The settings root ("Velmora" until it is set) names the settings file below
// the common application-data folder and the registry key below SOFTWARE. It
// must be set before the first settings access.
const std::wstring& SetRoot(const std::wstring& root);
const std::wstring& Root(const wchar_t* newRoot = nullptr);

// Reads try the current user's value, then the machine-wide one; the out value
// is written only on success.
bool GetString(const std::wstring& path, std::wstring& value);
bool GetInt(const std::wstring& path, int& value);

// Writes into the current user's section (machine false) or the machine-wide
// one, and saves the file. A value whose save failed stays in the store and is
// saved by the next write; the call still succeeds.
bool SetString(const std::wstring& path, const std::wstring& value, bool machine);
bool SetInt(const std::wstring& path, int value, bool machine);

// The name of the current user's section: the user's SID with '-' replaced by
// '_', else the profile folder's name, else the account name, made a valid XML
// name.
std::wstring GetUserKeyName();

}  // namespace Settings

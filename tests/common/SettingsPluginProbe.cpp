// A plug-in with its own copy of the settings store, as the online plug-in has.
#include <windows.h>

#include "common/Settings.h"

extern "C" __declspec(dllexport) int StoreString(const wchar_t* root, const wchar_t* path,
                                                 const wchar_t* value) {
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(root);
  return Settings::SetString(path, value, false) ? 1 : 0;
}

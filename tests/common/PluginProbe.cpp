// A plug-in with its own copies of the settings store and the localizer, as the
// online plug-in has.
#include <windows.h>

#include "common/Localizer.h"
#include "common/Settings.h"

extern "C" __declspec(dllexport) int StoreString(const wchar_t* root, const wchar_t* path,
                                                 const wchar_t* value) {
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(root);
  return Settings::SetString(path, value, false) ? 1 : 0;
}

// Initialises the plug-in's localizer and translates one literal into text.
extern "C" __declspec(dllexport) int Translate(const wchar_t* root, const wchar_t* app,
                                               const wchar_t* literal, wchar_t* text, int size) {
  Settings::SetRoot(root);
  if (!Localizer::Init(app)) return 0;
  lstrcpynW(text, Localizer::Translate(literal).c_str(), size);
  return 1;
}

#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "common/Settings.h"
#include "common/Utf8.h"
#include "tests/common/SettingsFiles.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/Shortcut.h"

// Language folders beside this test program for an application name of the
// test's own, and its registry value "Language"; all removed afterwards.
class LanguageFolders {
 public:
  LanguageFolders() : app_(OwnName()) {
    folder_ = ProgramFolder();
    Settings::SetRoot(L"Velmora\\" + app_);
    ClearRegistry();
  }
  ~LanguageFolders() {
    for (const std::wstring& file : files_) DeleteFileW(file.c_str());
    ClearRegistry();
  }
  LanguageFolders(const LanguageFolders&) = delete;
  LanguageFolders& operator=(const LanguageFolders&) = delete;

  const std::wstring& app() const { return app_; }
  // <program folder>\<langId>\<app><suffix>
  std::wstring PathOf(LANGID langId, const std::wstring& suffix) {
    const std::wstring dir = folder_ + std::to_wstring(langId);
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + app_ + suffix;
  }
  // A file in the folder of a language, removed at the end.
  std::wstring Put(LANGID langId, const std::wstring& suffix, const std::string& bytes) {
    const std::wstring path = PathOf(langId, suffix);
    WriteBytes(path, bytes);
    files_.push_back(path);
    return path;
  }
  // A language file whose STRINGS hold KEY=text pairs; extra goes after them.
  std::wstring PutLanguage(LANGID langId,
                           const std::vector<std::pair<std::string, std::string>>& strings,
                           const std::string& extra = "") {
    return Put(langId, L".xml", LanguageFile(Utf8::Encode(app_), strings, extra));
  }
  static std::string LanguageFile(const std::string& root,
                                  const std::vector<std::pair<std::string, std::string>>& strings,
                                  const std::string& extra = "") {
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<" + root +
                      " lang=\"Test\" lcid=\"0\">\n<STRINGS>\n";
    for (const auto& [key, text] : strings) xml += "<" + key + " name=\"" + text + "\"/>\n";
    return xml + "</STRINGS>\n" + extra + "</" + root + ">\n";
  }
  // A shortcut of the shell's own making; removed at the end.
  void PutShortcut(const std::wstring& link, const std::wstring& target) {
    ASSERT_EQ(S_OK, WriteShortcut(link, target));
    files_.push_back(link);
  }
  // HKCU\SOFTWARE\Velmora\<app>: Language
  void SetRegistryLanguage(DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_CURRENT_USER, Key().c_str(), L"Language", type, data, size));
  }

 private:
  std::wstring Key() const { return L"SOFTWARE\\" + Settings::Root(); }
  void ClearRegistry() { RegDeleteTreeW(HKEY_CURRENT_USER, Key().c_str()); }

  std::wstring app_;
  std::wstring folder_;
  std::vector<std::wstring> files_;
};

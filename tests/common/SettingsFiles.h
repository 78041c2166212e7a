#pragma once
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"

#include "tests/support/ProgramFolder.h"

// Helpers of the settings and localizer tests.

// Whole files as bytes, for fixtures and for checking what was stored.
inline std::string ReadBytes(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline bool FileExists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// "<suite>_<test>" of the running test: settings roots, registry keys and
// application names of the test's own, so that tests can run side by side.
inline std::wstring OwnName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  return std::wstring(name.begin(), name.end());
}

// A settings file of the running test's own below the real common
// application-data folder, reached through the process's store.
class OwnSettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings::SetBackend(Settings::BackendXmlFile);
    Settings::SetRoot(L"Velmora\\" + OwnName());
    path_ = Settings::XmlStore::FilePath();
    Clean();
  }
  void TearDown() override { Clean(); }
  void Clean() {
    DeleteFileW(path_.c_str());
    DeleteFileW((path_ + L".bad").c_str());
  }

  std::wstring path_;
};

// The test plug-in, with its own copies of the settings store and the
// localizer, loaded from a path relative to this test program's folder.
class PluginProbe {
 public:
  explicit PluginProbe(const std::wstring& relativePath) {
    module_ = LoadLibraryW((ProgramFolder() + relativePath).c_str());
  }
  ~PluginProbe() {
    if (module_) FreeLibrary(module_);
  }
  PluginProbe(const PluginProbe&) = delete;
  PluginProbe& operator=(const PluginProbe&) = delete;

  template <typename Fn>
  Fn Export(const char* name) const {
    return module_ ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module_, name)))
                   : nullptr;
  }

 private:
  HMODULE module_;
};

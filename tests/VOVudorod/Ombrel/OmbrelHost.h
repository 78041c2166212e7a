#pragma once
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/VOVudorod/CacheFiles.h"
#include "tests/VOVudorod/Ombrel/CddbServer.h"
#include "tests/VOVudorod/PluginHost.h"
#include "tests/VOVudorod/Tocs.h"
#include "tests/common/SettingsFiles.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TempDir.h"

// A test that drives the online plug-in as the program does: the library
// loaded by path from VOVudorod beside this program, a cache file of the
// test's own for the stand-in JET provider, and an application name of the
// test's own ("<suite>_<test>"), so that the plug-in's settings file and
// language file are the test's: <common app data>\Velmora\<name>.xml and
// <program folder>\<language>\<name>.xml.
class OmbrelHostTest : public ::testing::Test {
 protected:
  // The disc of the examples and its entry in the online database.
  static constexpr const char* kEntry = R"({"category": "rock", "discid": "0b014802",
      "dtitle": "Artist / Album", "ttitles": ["Song", "Guest / Duet"],
      "year": 1999, "genre": "Pop", "revision": 7})";

  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", dir_.path().c_str());
    app_ = OwnName();
    settingsFile_ = SettingsFileOf(app_);
    DeleteFileW(settingsFile_.c_str());
    Load();
  }
  void TearDown() override {
    host_.reset();
    DeleteFileW(settingsFile_.c_str());
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", nullptr);
    CoUninitialize();
  }

  // Loads the library anew, as every session of the program does.
  void Load() {
    host_.reset();
    host_ = std::make_unique<PluginHost>(ProgramFolder() + L"VOVudorod\\Ombrel.dll");
    ASSERT_TRUE(host_->Bound());
  }

  // <common app data>\Velmora\<app>.xml
  static std::wstring SettingsFileOf(const std::wstring& app) {
    Settings::SetRoot(L"Velmora\\" + app);
    return Settings::XmlStore::FilePath();
  }

  // Stores a value into the application's settings file as another copy of the
  // settings store (the program's, say) would.
  static void StoreSetting(const std::wstring& app, const wchar_t* path, const wchar_t* value) {
    using StoreFn = int (*)(const wchar_t*, const wchar_t*, const wchar_t*);
    PluginProbe probe(L"plugin_probe.dll");
    const auto store = probe.Export<StoreFn>("StoreString");
    ASSERT_TRUE(store);
    ASSERT_EQ(1, store((L"Velmora\\" + app).c_str(), path, value));
  }

  DbSessionHandle Open(const std::vector<unsigned char>& toc = Tocs::TwoTracks()) const {
    return host_->createSession(app_.c_str(), toc.data());
  }

  // Every entry of the two-track disc, as the track editor hands them over.
  void SetTexts(DbSessionHandle s) const {
    const PluginHost::Entry texts[] = {{L"Artist", L"Album", L"rock", L"", 1999},
                                       {L"Artist", L"Song", L"rock", L"", 1999},
                                       {L"Guest", L"Duet", L"rock", L"", 1999}};
    for (int i = 0; i < 3; ++i) host_->SetEntry(s, i, texts[i]);
  }

  static std::string Script(const std::string& entries, const std::string& hosts = "") {
    return "{\"hosts\": {" + hosts + "}, \"entries\": [" + entries + "]}";
  }

  TempDir dir_;
  const std::wstring cache_ = dir_ / L"TAVRIN.mdb";
  std::wstring app_;
  std::wstring settingsFile_;
  std::unique_ptr<PluginHost> host_;
};

// The program's own settings file in the test prefix, left in place for the
// host-side check of its layout.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "common/MRUList.h"
#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/common/SettingsFiles.h"

namespace {

TEST(ProgramSettingsFile, IsWrittenBelowTheCommonApplicationData) {
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(L"Velmora\\TAVRIN");
  wchar_t folder[MAX_PATH];
  ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder));
  const std::wstring path = std::wstring(folder) + L"\\Velmora\\TAVRIN.xml";
  ASSERT_EQ(path, Settings::XmlStore::FilePath());
  DeleteFileW(path.c_str());

  Settings::MRUList backups(10, false);
  for (const wchar_t* p : {L"C:\\b3.mp3", L"C:\\b2.mp3", L"C:\\b1.mp3", L"C:\\b0.mp3"})
    backups.Add(p);
  backups.Save(L"mruBackup\\file", false);
  ASSERT_TRUE(Settings::SetInt(L"Quality", 160, false));
  ASSERT_TRUE(Settings::SetString(L"WriteEngine", L"MsftDiscFormat2RawCD", true));
  EXPECT_TRUE(FileExists(path));
}

}  // namespace

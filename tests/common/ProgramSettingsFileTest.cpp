// The program's own settings file in the test prefix: one left in place for
// the host-side check of its layout, and one that lives through two runs of
// the program's settings code.
#include <gtest/gtest.h>
#include <shlobj.h>

#include "common/MRUList.h"
#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/common/SettingsFiles.h"
#include "wizard/Version.h"
#include "wizard/WizardInfo.h"

namespace {

// As the program starts: the settings root, then the wizard state.
std::wstring StartAsTheProgram() {
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(std::wstring(L"Velmora\\") + GetProductName());
  wchar_t folder[MAX_PATH];
  EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder));
  const std::wstring path = std::wstring(folder) + L"\\Velmora\\TAVRIN.xml";
  EXPECT_EQ(path, Settings::XmlStore::FilePath());
  return path;
}

TEST(ProgramSettingsFile, IsWrittenBelowTheCommonApplicationData) {
  const std::wstring path = StartAsTheProgram();
  DeleteFileW(path.c_str());

  Settings::MRUList backups(10, false);
  for (const wchar_t* p : {L"C:\\b3.mp3", L"C:\\b2.mp3", L"C:\\b1.mp3", L"C:\\b0.mp3"})
    backups.Add(p);
  backups.Save(L"mruBackup\\file", false);
  ASSERT_TRUE(Settings::SetInt(L"Quality", 160, false));
  ASSERT_TRUE(Settings::SetString(L"WriteEngine", L"MsftDiscFormat2RawCD", true));
  EXPECT_TRUE(FileExists(path));
}

// A backup file whose name holds a byte-order mark, both noncharacters and a
// character beyond 16 bits.
std::wstring RecentFile() {
  wchar_t folder[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
  return std::wstring(folder) + L"\\Velmora\\back \xfeff\xfffe\xffff \xd83c\xdfb5.mp3";
}

// Runs one of this program's runs in a process of its own; its exit code.
DWORD RunInItsOwnProcess(const std::wstring& test) {
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=ProgramRun." + test;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return GetLastError();
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

// The first run stores the file as a recent one, the next one starts on that
// settings file and offers it again, with the other values.
TEST(ProgramSettingsFile, ARecentFileOfOneRunIsOfferedByTheNext) {
  const std::wstring path = StartAsTheProgram();
  const std::string earlier = ReadBytes(path);
  DeleteFileW(path.c_str());
  DeleteFileW((path + L".bad").c_str());
  WriteBytes(RecentFile(), "ID3");
  ASSERT_TRUE(FileExists(RecentFile()));

  EXPECT_EQ(0u, RunInItsOwnProcess(L"StoresARecentFile"));
  EXPECT_EQ(0u, RunInItsOwnProcess(L"OffersTheRecentFile"));
  EXPECT_FALSE(FileExists(path + L".bad"));

  DeleteFileW(RecentFile().c_str());
  if (!earlier.empty()) WriteBytes(path, earlier);
}

// The runs themselves, started by the test above only.
TEST(ProgramRun, StoresARecentFile) {
  StartAsTheProgram();
  CWizardInfo info;
  info->mruBackup.Add(RecentFile());
  info->quality = 128;
  EXPECT_TRUE(info.SaveSettings(nullptr));
}

TEST(ProgramRun, OffersTheRecentFile) {
  StartAsTheProgram();
  CWizardInfo info;
  EXPECT_EQ(std::vector<std::wstring>{RecentFile()}, info->mruBackup.GetItems());
  EXPECT_EQ(128, info->quality);
}

}  // namespace

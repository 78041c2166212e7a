#include "wizard/WizardInfo.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/support/TempDir.h"

namespace {

// Each test process has a settings file of its own.
class WizardInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings::SetBackend(Settings::BackendXmlFile);
    Settings::SetRoot(L"Velmora\\WizardInfoTest-" + std::to_wstring(GetCurrentProcessId()));
  }
  void TearDown() override { DeleteFileW(Settings::XmlStore::FilePath().c_str()); }

  static std::string FileText() {
    std::string text;
    HANDLE h = CreateFileW(Settings::XmlStore::FilePath().c_str(), GENERIC_READ,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    char buf[4096];
    DWORD got = 0;
    while (h != INVALID_HANDLE_VALUE && ReadFile(h, buf, sizeof buf, &got, nullptr) && got)
      text.append(buf, got);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return text;
  }
  TempDir dir_;
};

TEST_F(WizardInfoTest, WithoutStoredSettingsTheFieldsStartAtTheirDefaults) {
  CWizardInfo info;
  EXPECT_EQ(OpNone, info->operation);
  EXPECT_EQ(255, info->quality);
  EXPECT_EQ(0, info->nameFormat);
  EXPECT_TRUE(info->writeEngine.empty());
  EXPECT_EQ(0, info->writeMode);
  EXPECT_EQ(nullptr, info->drive);
  EXPECT_FALSE(info->extracter);
  EXPECT_TRUE(info->coverImages.empty());
  EXPECT_TRUE(info->mruBackup.GetItems().empty());
}

TEST_F(WizardInfoTest, StoredSettingsAreTakenAsTheyAre) {
  const std::wstring kept = dir_ / L"kept.mp3";
  CloseHandle(CreateFileW(kept.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  Settings::SetInt(L"Quality", 300, false);
  Settings::SetInt(L"NameFormat", 42, true);  // machine-wide only
  Settings::SetString(L"WriteEngine", L"MsftDiscFormat2RawCD", false);
  Settings::SetInt(L"WriteMode", 2, false);
  Settings::SetString(L"mruBackup\\file0", dir_ / L"gone.mp3", false);
  Settings::SetString(L"mruBackup\\file1", kept, false);
  Settings::SetInt(L"mruBackup\\file", 2, false);
  Settings::SetInt(L"mruPics\\file", 1, false);
  Settings::SetString(L"mruPics\\file0", dir_.path(), false);
  CWizardInfo info;
  EXPECT_EQ(300, info->quality);  // the pages clamp, the state does not
  EXPECT_EQ(42, info->nameFormat);
  EXPECT_EQ(L"MsftDiscFormat2RawCD", info->writeEngine);
  EXPECT_EQ(2, info->writeMode);
  EXPECT_EQ(std::vector<std::wstring>{kept}, info->mruBackup.GetItems());
  EXPECT_EQ(std::vector<std::wstring>{dir_.path()}, info->mruPics.GetItems());
}

TEST_F(WizardInfoTest, HandlesShareOneRecord) {
  CWizardInfo sheet;
  CWizardInfo page = sheet;
  CWizardInfo job;
  job = page;
  page->backupPath = L"C:\\x.mp3";
  page->discQueue = {1, 2};
  EXPECT_EQ(L"C:\\x.mp3", sheet->backupPath);
  EXPECT_EQ(sheet.operator->(), job.operator->());
  EXPECT_EQ(2u, job->discQueue.size());
}

TEST_F(WizardInfoTest, KnownFoldersInTheirOrderWithTranslatedNames) {
  CWizardInfo info;
  const struct {
    int csidl;
    const wchar_t* name;
    int mask;
  } expected[] = {
      {CSIDL_MYMUSIC, L"My Music", 2},       {CSIDL_COMMON_MUSIC, L"Public Music", 2},
      {CSIDL_MYPICTURES, L"My Pictures", 1}, {CSIDL_COMMON_PICTURES, L"Public Pictures", 1},
      {CSIDL_PERSONAL, L"My Documents", 4},  {CSIDL_COMMON_DOCUMENTS, L"Public Documents", 4},
      {CSIDL_DESKTOP, L"Desktop", 4}};
  int index = 0;
  for (const auto& e : expected) {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, e.csidl, nullptr, 0, path))) continue;  // skipped
    int mask = 0;
    EXPECT_EQ(e.name, info->folderAliases.GetName(index, mask)) << index;
    EXPECT_EQ(e.mask, mask);
    EXPECT_EQ(path, info->folderAliases.GetPath(index));
    ++index;
  }
  int mask = -1;
  EXPECT_EQ(L"", info->folderAliases.GetName(index, mask));
}

TEST_F(WizardInfoTest, OnlyFinishWritesTheChosenSettings) {
  {
    CWizardInfo cancelled;
    cancelled->quality = 51;
    cancelled->nameFormat = 3;
    cancelled->mruExport.Add(dir_.path());
  }
  const std::string untouched = FileText();
  int value = 0;
  EXPECT_FALSE(Settings::GetInt(L"Quality", value));
  EXPECT_FALSE(Settings::GetInt(L"mruExport\\file", value));

  CWizardInfo info;
  info->quality = 153;
  info->nameFormat = 9;
  info->writeMode = 1;
  info->writeEngine = L"Other";
  info->mruExport.Add(dir_.path());
  EXPECT_TRUE(info.SaveSettings(nullptr));
  EXPECT_NE(untouched, FileText());
  ASSERT_TRUE(Settings::GetInt(L"Quality", value));
  EXPECT_EQ(153, value);
  ASSERT_TRUE(Settings::GetInt(L"NameFormat", value));
  EXPECT_EQ(9, value);
  for (const wchar_t* list : {L"mruBackup\\file", L"mruPics\\file", L"mruDiscImage\\file"}) {
    ASSERT_TRUE(Settings::GetInt(list, value)) << list;
    EXPECT_EQ(0, value);
  }
  ASSERT_TRUE(Settings::GetInt(L"mruExport\\file", value));
  EXPECT_EQ(1, value);
  std::wstring text;
  EXPECT_TRUE(Settings::GetString(L"mruExport\\file0", text));
  EXPECT_EQ(dir_.path(), text);
  EXPECT_FALSE(Settings::GetInt(L"WriteMode", value));  // never written by the program
  EXPECT_FALSE(Settings::GetString(L"WriteEngine", text));
}

// Closes every message box of this process that appears, keeping its texts.
class BoxWatcher {
 public:
  BoxWatcher() : thread_([this] { Watch(); }) {}
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  int count() const { return count_; }
  const std::wstring& caption() const { return caption_; }
  const std::wstring& text() const { return text_; }

 private:
  void Watch() {
    while (!stop_) {
      HWND box = nullptr;
      while ((box = FindWindowExW(nullptr, box, L"#32770", nullptr)) != nullptr) {
        DWORD pid = 0;
        GetWindowThreadProcessId(box, &pid);
        if (pid != GetCurrentProcessId() || !IsWindowVisible(box) || box == last_) continue;
        wchar_t buf[512] = {};
        GetWindowTextW(box, buf, 512);
        caption_ = buf;
        GetDlgItemTextW(box, 0xFFFF, buf, 512);
        text_ = buf;
        last_ = box;
        ++count_;
        PostMessageW(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  }
  std::atomic<bool> stop_{false};
  std::atomic<int> count_{0};
  HWND last_ = nullptr;
  std::wstring caption_, text_;
  std::thread thread_;
};

TEST_F(WizardInfoTest, FinishTellsOfANewerVersionOnce) {
  if (!GetEnvironmentVariableW(L"DISPLAY", nullptr, 0)) GTEST_SKIP() << "no display";
  for (int code : {0, 1, 4}) {
    SCOPED_TRACE(code);
    CWizardInfo info;
    info->newerVersion = code;
    BoxWatcher watcher;
    EXPECT_TRUE(info.SaveSettings(nullptr));
    Sleep(100);
    EXPECT_EQ(code ? 1 : 0, watcher.count());
    if (code) {
      EXPECT_EQ(L"Velmora TAVRIN Wizard...", watcher.caption());
      EXPECT_EQ(0u, watcher.text().find(L"There is a newer version of TAVRIN available"));
      EXPECT_NE(std::wstring::npos, watcher.text().find(L" to get it."));
    }
  }
}

}  // namespace

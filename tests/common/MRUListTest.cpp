#include "common/MRUList.h"

#include <gtest/gtest.h>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/common/SettingsFiles.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

namespace {

using Items = std::vector<std::wstring>;

class MRUListTest : public OwnSettingsFileTest {
 protected:
  std::wstring NewFile(const std::wstring& name) {
    const std::wstring path = dir_ / name;
    WriteBytes(path, "x");
    return path;
  }
  std::wstring NewFolder(const std::wstring& name) {
    const std::wstring path = dir_ / name;
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
  }
  void Store(const std::wstring& key, int count, const Items& items) {
    ASSERT_TRUE(Settings::SetInt(key, count, false));
    for (std::size_t i = 0; i < items.size(); ++i)
      ASSERT_TRUE(Settings::SetString(key + std::to_wstring(i), items[i], false));
  }

  TempDir dir_;
};

TEST_F(MRUListTest, LoadKeepsTheStoredOrderOfItemsThatStillExist) {
  const Items folders = {NewFolder(L"a"), dir_ / L"gone", NewFolder(L"c")};
  Store(L"mruExport\\file", 3, folders);
  Settings::MRUList list(10, true);
  EXPECT_TRUE(list.Load(L"mruExport\\file"));
  EXPECT_EQ((Items{folders[0], folders[2]}), list.GetItems());

  // A file is no folder.
  const Items files = {NewFile(L"f.mp3")};
  Store(L"mruPics\\file", 1, files);
  Settings::MRUList pics(1, true);
  EXPECT_TRUE(pics.Load(L"mruPics\\file"));
  EXPECT_EQ(Items{}, pics.GetItems());
}

TEST_F(MRUListTest, MissingOrUnreadableItemsAreSkipped) {
  const std::wstring song = NewFile(L"song.mp3");
  Store(L"mruBackup\\file", 4, {song});
  ASSERT_TRUE(Settings::SetInt(L"mruBackup\\file1", 5, false));  // of another type
  Settings::MRUList list(10, false);
  EXPECT_TRUE(list.Load(L"mruBackup\\file"));
  EXPECT_EQ(Items{song}, list.GetItems());

  Settings::MRUList none(10, false);
  none.Add(song);
  EXPECT_FALSE(none.Load(L"mruPics\\file"));
  EXPECT_EQ(Items{song}, none.GetItems());
}

TEST_F(MRUListTest, AddPutsThePathFirstWithoutDuplicatesOrGrowth) {
  Settings::MRUList list(3, true);
  list.Add(L"c:\\music");
  list.Add(L"D:\\x");
  list.Add(L"C:\\Music");
  EXPECT_EQ((Items{L"C:\\Music", L"D:\\x"}), list.GetItems());
  list.Add(L"E:\\y");
  list.Add(L"F:\\z");
  EXPECT_EQ((Items{L"F:\\z", L"E:\\y", L"C:\\Music"}), list.GetItems());
  list.Add(L"e:\\Y");
  EXPECT_EQ((Items{L"e:\\Y", L"F:\\z", L"C:\\Music"}), list.GetItems());

  // Only ASCII letters fold.
  Settings::MRUList umlaut(3, true);
  umlaut.Add(L"C:\\M\x00dcSIC");
  umlaut.Add(L"c:\\m\x00fcsic");
  EXPECT_EQ(2u, umlaut.GetItems().size());

  Settings::MRUList pics(1, true);
  pics.Add(L"C:\\a");
  pics.Add(L"C:\\b");
  EXPECT_EQ(Items{L"C:\\b"}, pics.GetItems());
}

TEST_F(MRUListTest, SaveWritesTheCountAndTheItemsNewestFirst) {
  Settings::MRUList list(10, true);
  for (const wchar_t* p : {L"C:\\1", L"C:\\2", L"C:\\3", L"C:\\4", L"C:\\5"}) list.Add(p);
  list.Save(L"mruDiscImage\\file", false);
  Settings::MRUList shorter(10, true);
  shorter.Add(L"C:\\a");
  shorter.Add(L"C:\\b");
  shorter.Save(L"mruDiscImage\\file", false);

  Settings::XmlStore file(path_, Settings::GetUserKeyName());
  int count = 0;
  std::wstring item;
  EXPECT_TRUE(file.GetInt(L"mruDiscImage\\file", count));
  EXPECT_EQ(2, count);
  EXPECT_TRUE(file.GetString(L"mruDiscImage\\file0", item));
  EXPECT_EQ(L"C:\\b", item);
  EXPECT_TRUE(file.GetString(L"mruDiscImage\\file1", item));
  EXPECT_EQ(L"C:\\a", item);
  // Items of the longer list stay behind; the count keeps them from being read.
  EXPECT_TRUE(file.GetString(L"mruDiscImage\\file4", item));
  EXPECT_EQ(L"C:\\1", item);
}

// A damaged count never makes a list longer than its capacity or slow to load.
TEST_F(MRUListTest, AStoredCountAboveTheCapacityIsNotFollowed) {
  Items folders;
  for (int i = 0; i < 12; ++i) folders.push_back(NewFolder(L"f" + std::to_wstring(i)));
  Store(L"mruExport\\file", 12, folders);
  Settings::MRUList list(10, true);
  EXPECT_TRUE(list.Load(L"mruExport\\file"));
  EXPECT_EQ(Items(folders.begin(), folders.begin() + 10), list.GetItems());
  list.Add(dir_ / L"new");
  EXPECT_EQ(10u, list.GetItems().size());

  ASSERT_TRUE(Settings::SetInt(L"mruExport\\file", 2000000000, false));
  const DWORD start = GetTickCount();
  Settings::MRUList damaged(10, true);
  EXPECT_TRUE(damaged.Load(L"mruExport\\file"));
  EXPECT_EQ(10u, damaged.GetItems().size());
  EXPECT_LT(GetTickCount() - start, ScaledMs(2000));
}

}  // namespace

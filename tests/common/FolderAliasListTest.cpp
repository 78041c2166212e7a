#include "common/FolderAliasList.h"

#include <gtest/gtest.h>

namespace {

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH];
  EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path));
  return path;
}

// The shell as it is on an older system, without public music.
HRESULT WINAPI WithoutPublicMusic(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path) {
  if ((csidl & ~CSIDL_FLAG_MASK) == CSIDL_COMMON_MUSIC) return E_INVALIDARG;
  return SHGetFolderPathW(owner, csidl, token, flags, path);
}

class FolderAliasListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    aliases_.Add(CSIDL_MYMUSIC, L"My Music", 2);
    aliases_.Add(CSIDL_COMMON_MUSIC, L"Public Music", 2);
    aliases_.Add(CSIDL_MYPICTURES, L"My Pictures", 1);
    aliases_.Add(CSIDL_DESKTOP, L"Desktop", 4);
    music_ = Folder(CSIDL_MYMUSIC);
  }
  void TearDown() override { CoUninitialize(); }

  FolderAliasList aliases_;
  std::wstring music_;
};

TEST_F(FolderAliasListTest, PathsAndAliasesConvertBothWays) {
  EXPECT_EQ(L"My Music\\a.mp3", aliases_.ToAlias(music_ + L"\\a.mp3"));
  // The prefix need not end at a backslash.
  EXPECT_EQ(L"My Music2\\a.mp3", aliases_.ToAlias(music_ + L"2\\a.mp3"));
  EXPECT_EQ(L"Public Music\\b.mp3", aliases_.ToAlias(Folder(CSIDL_COMMON_MUSIC) + L"\\b.mp3"));

  // Back: the real path, canonical and in the shell's spelling.
  EXPECT_EQ(music_ + L"\\a.mp3", aliases_.FromAlias(L"My Music\\a.mp3"));
  EXPECT_EQ(music_ + L"2\\a.mp3", aliases_.FromAlias(L"My Music2\\a.mp3"));
  EXPECT_EQ(music_ + L"\\x.mp3", aliases_.FromAlias(L"My Music\\sub\\..\\x.mp3"));
  EXPECT_EQ(L"C:\\y", aliases_.FromAlias(L"C:\\x\\..\\y"));
}

TEST_F(FolderAliasListTest, OnlyAnExactPrefixBecomesAnAlias) {
  std::wstring lower = music_ + L"\\a.mp3";
  for (wchar_t& c : lower) c = static_cast<wchar_t>(towlower(c));
  ASSERT_NE(lower, music_ + L"\\a.mp3");
  EXPECT_EQ(lower, aliases_.ToAlias(lower));
  EXPECT_EQ(L"D:\\Other\\a.mp3", aliases_.ToAlias(L"D:\\Other\\a.mp3"));
}

TEST_F(FolderAliasListTest, EntriesAreFoundByPathIgnoringCaseAndByIndex) {
  std::wstring upper = music_;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
  EXPECT_EQ(0, aliases_.FindByPath(upper));
  EXPECT_EQ(3, aliases_.FindByPath(Folder(CSIDL_DESKTOP)));
  EXPECT_EQ(-1, aliases_.FindByPath(music_ + L"\\"));

  int mask = -1;
  EXPECT_EQ(L"My Pictures", aliases_.GetName(2, mask));
  EXPECT_EQ(1, mask);
  EXPECT_EQ(Folder(CSIDL_MYPICTURES), aliases_.GetPath(2));
  mask = -1;
  for (int index : {-1, 4}) {
    EXPECT_EQ(L"", aliases_.GetName(index, mask));
    EXPECT_EQ(L"", aliases_.GetPath(index));
  }
  EXPECT_EQ(-1, mask);
}

TEST_F(FolderAliasListTest, AFolderTheShellDoesNotKnowAddsNothing) {
  FolderAliasList older(&WithoutPublicMusic);
  older.Add(CSIDL_MYMUSIC, L"My Music", 2);
  older.Add(CSIDL_COMMON_MUSIC, L"Public Music", 2);
  older.Add(CSIDL_MYPICTURES, L"My Pictures", 1);
  int mask = 0;
  EXPECT_EQ(L"My Music", older.GetName(0, mask));
  EXPECT_EQ(L"My Pictures", older.GetName(1, mask));
  EXPECT_EQ(L"", older.GetName(2, mask));
  EXPECT_EQ(-1, older.FindByPath(Folder(CSIDL_COMMON_MUSIC)));
}

}  // namespace

#include "common/ShellUtils.h"

#include <gtest/gtest.h>

#include "tests/support/Shortcut.h"
#include "tests/support/TempDir.h"

namespace {

class ShellUtilsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }

  static void WriteText(const std::wstring& path, const char* text = "x") {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ::WriteFile(h, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
    CloseHandle(h);
  }

  // A real shortcut, written the way the shell writes one.
  static void MakeShortcut(const std::wstring& linkPath, const std::wstring& target) {
    ASSERT_EQ(S_OK, WriteShortcut(linkPath, target));
  }

  static bool SamePath(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
  }

  TempDir dir_;
};

TEST_F(ShellUtilsTest, ResolveShortcutGivesExistingTargetsOnly) {
  const std::wstring target = dir_ / L"Song List.txt";
  WriteText(target);
  const std::wstring fileLink = dir_ / L"file.lnk";
  const std::wstring folderLink = dir_ / L"folder.lnk";
  MakeShortcut(fileLink, target);
  MakeShortcut(folderLink, dir_.path());

  EXPECT_TRUE(SamePath(ShellUtils::ResolveShortcut(fileLink), target));
  EXPECT_TRUE(SamePath(ShellUtils::ResolveShortcut(folderLink), dir_.path()));

  ASSERT_TRUE(DeleteFileW(target.c_str()));
  EXPECT_EQ(L"", ShellUtils::ResolveShortcut(fileLink));
}

TEST_F(ShellUtilsTest, ResolveShortcutRejectsWhatIsNoShortcut) {
  const std::wstring garbage = dir_ / L"garbage.lnk";
  WriteText(garbage, "this is no shell link");
  EXPECT_EQ(L"", ShellUtils::ResolveShortcut(garbage));
  EXPECT_EQ(L"", ShellUtils::ResolveShortcut(dir_ / L"missing.lnk"));
  EXPECT_EQ(L"", ShellUtils::ResolveShortcut(L""));
}

TEST_F(ShellUtilsTest, ResolveExistingPathNamesTheRequestedItemOnly) {
  const std::wstring present = dir_ / L"1031";
  CreateDirectoryW(present.c_str(), nullptr);
  WriteText(present + L"\\APP.xml");
  // Only the shortcut exists for this one: the file itself does not.
  const std::wstring help = present + L"\\APP.chm";
  MakeShortcut(help + L".lnk", present + L"\\APP.xml");

  EXPECT_TRUE(
      SamePath(ShellUtils::ResolveExistingPath(present + L"\\APP.xml"), present + L"\\APP.xml"));
  EXPECT_TRUE(
      SamePath(ShellUtils::ResolveExistingPath(present + L"\\app.XML"), present + L"\\app.XML"));
  EXPECT_TRUE(SamePath(ShellUtils::ResolveExistingPath(present), present));
  EXPECT_EQ(L"", ShellUtils::ResolveExistingPath(help));
  EXPECT_TRUE(SamePath(ShellUtils::ResolveExistingPath(help + L".lnk"), help + L".lnk"));
  EXPECT_EQ(L"", ShellUtils::ResolveExistingPath(present + L"\\missing.xml"));
  EXPECT_EQ(L"", ShellUtils::ResolveExistingPath(L""));
  EXPECT_EQ(L"", ShellUtils::ResolveExistingPath(L"C:\\" + std::wstring(300, L'a')));
}

TEST_F(ShellUtilsTest, CanonicalizePathSpellsExistingPathsAsTheShellDoes) {
  const std::wstring stored = dir_ / L"Long Folder Name";
  ASSERT_TRUE(CreateDirectoryW(stored.c_str(), nullptr));
  WriteText(stored + L"\\Cover Picture.JPG");
  // Only the last part is spelt short. Wine makes a short name from a hash of
  // the long one, so in a folder as full as the shared temporary folder two
  // short names can be the same; in the fresh folder the name is unique.
  WIN32_FIND_DATAW found = {};
  const HANDLE search = FindFirstFileW(stored.c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  FindClose(search);
  ASSERT_NE(L'\0', found.cAlternateFileName[0]);

  const std::wstring viaShortName =
      dir_ / found.cAlternateFileName + L"\\sub\\..\\.\\Cover Picture.JPG";
  EXPECT_TRUE(SamePath(ShellUtils::CanonicalizePath(viaShortName), stored + L"\\Cover Picture.JPG"))
      << ShellUtils::CanonicalizePath(viaShortName);
}

TEST_F(ShellUtilsTest, CanonicalizePathOfMissingOrUnusablePaths) {
  struct Case {
    const wchar_t* in;
    const wchar_t* out;
  };
  const Case cases[] = {
      {L"C:\\a\\..\\b\\.\\c", L"C:\\b\\c"},
      {L"C:\\no such\\folder\\..\\..\\x\\y.mp3", L"C:\\x\\y.mp3"},
      {L"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ShellUtils::CanonicalizePath(c.in)) << c.in;
  EXPECT_EQ(L"", ShellUtils::CanonicalizePath(L"C:\\" + std::wstring(300, L'a')));
}

TEST_F(ShellUtilsTest, DisplayAndTypeNamesOfExistingPathsOnly) {
  const std::wstring file = dir_ / L"notes.txt";
  WriteText(file);
  EXPECT_NE(L"", ShellUtils::GetDisplayName(file));
  EXPECT_NE(L"", ShellUtils::GetTypeName(L"C:\\windows\\win.ini"));
  EXPECT_EQ(L"", ShellUtils::GetDisplayName(dir_ / L"missing.txt"));
  EXPECT_EQ(L"", ShellUtils::GetTypeName(dir_ / L"missing.txt"));
}

TEST_F(ShellUtilsTest, IconsComeFromTheNameAloneInBothSizes) {
  struct Case {
    HICON (*get)(const std::wstring&);
    int metricX;
  };
  const Case cases[] = {{ShellUtils::GetLargeIcon, SM_CXICON},
                        {ShellUtils::GetSmallIcon, SM_CXSMICON}};
  for (const Case& c : cases) {
    HICON icon = c.get(L"Z:\\no\\such\\folder\\song.mp3");
    ASSERT_NE(nullptr, icon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(icon, &info));
    BITMAP bm = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bm), &bm);
    EXPECT_EQ(GetSystemMetrics(c.metricX), bm.bmWidth);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
  }
}

TEST_F(ShellUtilsTest, PathToPidlRoundTripsExistingPaths) {
  LPITEMIDLIST pidl = nullptr;
  ASSERT_TRUE(ShellUtils::PathToPidl(dir_.path(), pidl));
  wchar_t back[MAX_PATH] = {};
  EXPECT_TRUE(SHGetPathFromIDListW(pidl, back));
  EXPECT_TRUE(SamePath(back, dir_.path()));
  ShellUtils::FreePidl(pidl);

  pidl = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_FALSE(ShellUtils::PathToPidl(dir_ / L"missing\\deeper", pidl));
  EXPECT_EQ(nullptr, pidl);
  ShellUtils::FreePidl(nullptr);
}

}  // namespace

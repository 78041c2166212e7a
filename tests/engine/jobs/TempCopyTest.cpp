#include "engine/jobs/TempCopy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"

namespace {

void Put(const std::wstring& path, const std::string& text) {
  ASSERT_TRUE(WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
}

std::string Get(const std::wstring& path) {
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return "<missing>";
  const std::vector<unsigned char> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TempCopy, OldFileReturnsAfterAFailureAndGoesAfterSuccess) {
  TempDir dir;
  const std::wstring path = dir / L"b.mp3", temp = path + L".tempCopyFile";
  for (bool success : {false, true}) {
    Put(path, "old");
    TempCopy copy(path);
    ASSERT_TRUE(copy.MoveAside());
    EXPECT_EQ(temp, copy.path());
    EXPECT_EQ("old", Get(temp));
    Put(path, "new, half written");
    if (success) {
      copy.Discard();
      EXPECT_EQ("new, half written", Get(path));
    } else {
      EXPECT_TRUE(copy.Restore());
      EXPECT_EQ("old", Get(path));
    }
    EXPECT_EQ("<missing>", Get(temp));
  }
}

TEST(TempCopy, WithoutAnOldFileAFailureLeavesNothing) {
  TempDir dir;
  const std::wstring path = dir / L"b.mp3";
  TempCopy copy(path);
  ASSERT_TRUE(copy.MoveAside());
  EXPECT_TRUE(copy.path().empty());
  EXPECT_TRUE(copy.Restore());  // nothing was written yet
  Put(path, "new");
  EXPECT_TRUE(copy.Restore());
  EXPECT_EQ("<missing>", Get(path));
}

TEST(TempCopy, RefusesWhatItMustNotReplaceAndTouchesNothing) {
  TempDir dir;
  const std::wstring path = dir / L"b.mp3", temp = path + L".tempCopyFile";
  {
    SCOPED_TRACE("a leftover temporary copy");
    Put(path, "old");
    Put(temp, "stale");
    TempCopy copy(path);
    EXPECT_FALSE(copy.MoveAside());
    EXPECT_TRUE(copy.path().empty());
    EXPECT_EQ("old", Get(path));
    EXPECT_EQ("stale", Get(temp));
    DeleteFileW(temp.c_str());
  }
  {
    SCOPED_TRACE("a file held open without delete sharing");
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    TempCopy copy(path);
    EXPECT_FALSE(copy.MoveAside());
    CloseHandle(h);
    EXPECT_EQ("old", Get(path));
  }
  {
    SCOPED_TRACE("a read-only file");
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    TempCopy copy(path);
    EXPECT_FALSE(copy.MoveAside());
    EXPECT_EQ("old", Get(path));
    EXPECT_EQ("<missing>", Get(temp));
  }
}

TEST(TempCopy, OldFileSurvivesWhenTheNewOneIsHeldOpen) {
  TempDir dir;
  const std::wstring path = dir / L"b.mp3", temp = path + L".tempCopyFile";
  Put(path, "old");
  TempCopy copy(path);
  ASSERT_TRUE(copy.MoveAside());
  Put(path, "new");
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  EXPECT_FALSE(copy.Restore());
  EXPECT_EQ("old", Get(temp));
  CloseHandle(h);
  EXPECT_TRUE(copy.Restore());
  EXPECT_EQ("old", Get(path));
}

}  // namespace

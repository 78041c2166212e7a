#include "common/PathParts.h"

#include <gtest/gtest.h>

namespace {

TEST(PathParts, SplitsAtEitherSeparatorAndKeepsRoots) {
  struct Row {
    const wchar_t* path;
    const wchar_t* last;
    const wchar_t* folder;
  } rows[] = {
      {L"C:\\Music\\disc.mp3", L"disc.mp3", L"C:\\Music"},
      {L"C:/Music/disc.mp3", L"disc.mp3", L"C:/Music"},
      {L"C:\\disc.mp3", L"disc.mp3", L"C:\\"},
      {L"\\disc.mp3", L"disc.mp3", L"\\"},
      {L"disc.mp3", L"disc.mp3", L"."},
      {L"C:\\Music\\", L"Music", L"C:\\Music"},
      {L"\\\\server\\share\\a.mp3", L"a.mp3", L"\\\\server\\share"},
      {L"", L"", L"."},
  };
  for (const Row& r : rows) {
    EXPECT_EQ(r.last, PathParts::LastComponent(r.path)) << r.path;
    EXPECT_EQ(r.folder, PathParts::FolderOf(r.path)) << r.path;
  }
}

}  // namespace

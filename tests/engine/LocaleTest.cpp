// Run once per locale (see CMakeLists.txt): Wine takes its locale from LC_ALL.
#include <windows.h>

#include <gtest/gtest.h>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/CueSheet.h"
#include "tests/engine/MemoryStreams.h"
#include "tests/engine/SampleDiscs.h"

namespace {

std::string Comment(const std::wstring& title) {
  std::vector<BackupDisc> discs = {SampleDisc(2)};
  discs[0].disc.tracks[0].title = title;
  MemoryOut m;
  EXPECT_TRUE(BackupFile::WriteTag(m.out, discs, L"x.mp3"));
  const std::vector<unsigned char>& b = m.bytes();
  const std::string all(b.begin(), b.end());
  const std::size_t at = all.find("COMM");
  return at == std::string::npos ? "" : all.substr(at + 10, all.find("MCDI") - at - 10);
}

TEST(Locale, German) {
  ASSERT_EQ(LANG_GERMAN, PRIMARYLANGID(GetUserDefaultUILanguage()));
  EXPECT_EQ("deu", BackupFile::CommentLanguage());
  EXPECT_EQ(0u, Comment(L"Stra\x00df"
                        L"e")
                    .find(std::string("\0deuTAVRIN cue sheet data\0", 26)));
}

TEST(Locale, Japanese) {
  ASSERT_EQ(932u, GetACP());
  EXPECT_EQ("jpn", BackupFile::CommentLanguage());
  EXPECT_EQ("Caf\x65 \x93\xfa\x96\x7b", BackupFile::ToAnsi(L"Caf\x00e9 \x65e5\x672c"));
  EXPECT_NE(std::string::npos, Comment(L"\x65e5\x672c").find("TITLE \"\x93\xfa\x96\x7b\"\r\n"));
}

}  // namespace

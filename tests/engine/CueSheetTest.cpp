#include <gtest/gtest.h>

#include <sstream>

#include "engine/backup/CueSheet.h"
#include "tests/engine/SampleDiscs.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST(CueSheet, TwoTrackDiscWithoutTrackTexts) {
  BackupDisc d = SampleDisc(2, 17032);
  const std::string cue = BackupFile::MakeCueSheet(d, "x.mp3", "MP3", false);
  EXPECT_EQ(
      "REM cue sheet created by Velmora TAVRIN\n"
      "FILE \"x.mp3\" MP3\n"
      "TITLE \"Album 1\"\n"
      "PERFORMER \"Artist 1\"\n"
      " TRACK 01 AUDIO\n"
      "  INDEX 01 00:00:00\n"
      " TRACK 02 AUDIO\n"
      "  INDEX 01 03:47:07\n",
      cue);
}

TEST(CueSheet, TrackTextsAndCounts) {
  const BackupDisc d = SampleDisc(12);
  const auto plain = Lines(BackupFile::MakeCueSheet(d, "a.bin", "BINARY", false));
  EXPECT_EQ(4u + 24u, plain.size());
  EXPECT_EQ(" TRACK 12 AUDIO", plain[plain.size() - 2]);
  const auto texts = Lines(BackupFile::MakeCueSheet(d, "a.bin", "BINARY", true));
  ASSERT_EQ(4u + 48u, texts.size());
  EXPECT_EQ("  TITLE \"Song 1.1\"", texts[6]);
  EXPECT_EQ("  PERFORMER \"Singer 1.1\"", texts[7]);

  BackupDisc only = d;
  only.disc.tracks.resize(1);
  only.disc.tracks[0].title.clear();
  const auto header = Lines(BackupFile::MakeCueSheet(only, "a.bin", "BINARY", true));
  ASSERT_EQ(4u, header.size());
  EXPECT_EQ("TITLE \"\"", header[2]);
}

TEST(CueSheet, TimesCountFromTrackOne) {
  struct Case {
    std::vector<int> lbas;
    unsigned entry;
    const char* time;
  } cases[] = {
      {{0, 17032, 20000}, 2, "03:47:07"},   {{0, 359849, 360000}, 2, "79:57:74"},  // MSF 79:59:74
      {{182, 17214, 20000}, 1, "00:00:00"},  // track 1 after the usual pregap
      {{182, 17214, 20000}, 2, "03:47:07"}, {{0, 1000}, 1, "00:00:00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.time, BackupFile::FormatCueTime(c.entry, MakeToc(c.lbas))) << c.entry;
}

TEST(CueSheet, TextsInTheAnsiCodePage) {
  EXPECT_EQ("Caf\xE9", BackupFile::ToAnsi(L"Caf\x00e9"));
  EXPECT_EQ("", BackupFile::ToAnsi(L""));
  // Characters without a best fit take the default character.
  EXPECT_EQ("?", BackupFile::ToAnsi(L"\x65e5"));
  BackupDisc d = SampleDisc(1);
  d.disc.tracks[0].artist = L"\x65e5\x672c \"Q\"";
  const auto lines = Lines(BackupFile::MakeCueSheet(d, "f.mp3", "MP3", false));
  EXPECT_EQ("PERFORMER \"?? \"Q\"\"", lines[3]);
}

}  // namespace

// Writes backup files of one and of three discs with the real writer and LAME
// audio, and extracts every track from each as MP3 and as WAV into
// extract-out\<name>\ for the host-side checks (mutagen, ffprobe, mp3splt,
// mp3val, mpg123, sox).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "engine/jobs/ExtracterData.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/engine/jobs/ExtractionRun.h"

namespace {

std::vector<BackupDisc> ReadBack(const std::wstring& path) {
  ByteSourceSB source(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> is(&source);
  return BackupFile::ReadDiscs(is);
}

void Produce(const std::wstring& name, const std::vector<BackupMaker::DiscPlan>& plans) {
  const std::wstring folder = FreshFolder(L"extract-out", name);
  std::vector<std::vector<unsigned char>> audio;
  for (const auto& plan : plans) audio.push_back(BackupMaker::EncodeDisc(plan));
  const std::wstring backup = folder + L"\\" + name + L".mp3";
  ASSERT_TRUE(BackupMaker::WriteBackup(backup, BackupMaker::DescribeDiscs(plans, audio), audio));
  // As the select-tracks page has them: the discs as the reader gives them.
  const std::vector<BackupDisc> discs = ReadBack(backup);
  ASSERT_EQ(plans.size(), discs.size());

  for (const bool mp3 : {true, false}) {
    SCOPED_TRACE(mp3 ? "mp3" : "wav");
    ExtracterData engine;
    JobNotifications notifications;
    ExtractEveryTrack(engine, notifications, backup, discs, folder, mp3);
    notifications.Drain();
    EXPECT_EQ(1, notifications.Count(JOB_DONE));

    // Progress stays inside the range and ends near its top.
    LPARAM last = -1;
    for (const auto& m : notifications.received())
      if (m.first == JOB_PROGRESS) {
        EXPECT_GE(m.second, 0);
        EXPECT_LT(m.second, engine.ProgressRange());
        last = m.second;
      }
    EXPECT_GE(last, engine.ProgressRange() - 2);
  }
  // Nothing but the backup and the songs.
  EXPECT_EQ(1 + 2 * SongList::AllTracks(discs, folder, L"").paths.size(), FilesIn(folder).size());
}

// Track boundaries on multiples of 96 CD frames (1.28 s) fall on MP3 frame
// boundaries; 143 (= 47 + 96) is one of the starts that round up.
TEST(ExtractedSongs, OneDisc) { Produce(L"one", {{{0, 384, 672}, 1000, 33, {440, 660, 880}}}); }

TEST(ExtractedSongs, ThreeDiscs) {
  Produce(L"three", {{{0, 143, 443}, 700, 0, {330, 550, 770}},
                     {{0, 288}, 600, 0, {495, 990}},
                     {{0, 300}, 547, 150, {385, 1320}}});
}

}  // namespace

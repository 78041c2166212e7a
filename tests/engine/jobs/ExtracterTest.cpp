#include "engine/jobs/ExtracterData.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "engine/streams/ChunkStream.h"
#include "engine/mp3/MP3Seeker.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/MemoryStreams.h"
#include "tests/engine/TocBuilder.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/engine/jobs/ExtractionRun.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

namespace {

using Clock = std::chrono::steady_clock;
// How soon a stopped job must have ended: far less than the jobs below take when
// let run, with room for a busy machine.
constexpr std::chrono::milliseconds kPromptly(5000);
using Bytes = std::vector<unsigned char>;

struct FramesCase {
  int start;  // CD frames from the first track
  int length;
  uint64_t first;
  uint64_t end;
};

TEST(ExtracterFrames, CdFramesBecomeMp3Frames) {
  const FramesCase cases[] = {
      {0, 300, 0, 153},    // 4 s: frames 0 .. 152
      {1, 299, 0, 153},    // 44100 lies far below the next multiple of 86400
      {47, 253, 24, 153},  // 47 x 44100 lies 900 below 24 x 86400: rounded up
      {46, 254, 23, 153},  // ... and 46 x 44100 more than 1151 below 24 x 86400
      {96, 96, 49, 98},    // 1.28 s is exactly 49 frames
  };
  for (const FramesCase& c : cases) {
    SCOPED_TRACE(c.start);
    // A first track elsewhere on the disc shows that starts count from it.
    const std::vector<unsigned char> toc =
        c.start == 0 ? MakeToc({500, 500 + c.length})
                     : MakeToc({500, 500 + c.start, 500 + c.start + c.length});
    const ExtracterData::FrameRange r = ExtracterData::TrackFrames(c.start == 0 ? 1 : 2, toc);
    EXPECT_EQ(c.first, r.first);
    EXPECT_EQ(c.end, r.end);
  }
}

// A backup file in a fresh folder, with the discs as the reader gives them.
struct Backup {
  TempDir dir;
  std::wstring path = dir / L"backup.mp3";
  std::vector<BackupDisc> discs;
  int frames = 0;  // what the select-tracks page expects

  // Each disc's audio repeated, so that long discs cost one short encode.
  explicit Backup(const std::vector<BackupMaker::DiscPlan>& plans, int repeat = 1) {
    std::vector<BackupMaker::DiscPlan> stored = plans;
    std::vector<Bytes> audio;
    for (BackupMaker::DiscPlan& plan : stored) {
      const Bytes once = BackupMaker::EncodeDisc(plan);
      Bytes all;
      for (int i = 0; i < repeat; ++i) all.insert(all.end(), once.begin(), once.end());
      audio.push_back(all);
      plan.leadOut *= repeat;
    }
    EXPECT_TRUE(BackupMaker::WriteBackup(path, BackupMaker::DescribeDiscs(stored, audio), audio));
    Reread();
  }
  void Reread() {
    ByteSourceSB source(path, std::ios_base::in | std::ios_base::binary);
    std::basic_istream<unsigned char> is(&source);
    discs = BackupFile::ReadDiscs(is);
    frames = BackupMaker::ExpectedFrames(discs);
  }
  HRESULT Scan(ExtracterData& engine) const { return Scan(engine, frames); }
  HRESULT Scan(ExtracterData& engine, int expected) const {
    return engine.Scan(path, expected, discs);
  }
  // Leaves only the first bytes of the file (or spoils some in place).
  void Truncate(std::size_t keep) const {
    Bytes bytes = ReadFileBytes(path);
    bytes.resize(std::min(keep, bytes.size()));
    WriteFileBytes(path, bytes);
  }
  std::size_t Size() const { return ReadFileBytes(path).size(); }
};

// Two tracks of 4 and 2.7 seconds.
const BackupMaker::DiscPlan kShortDisc = {{0, 300}, 500, 0, {440, 880}};

// Runs an extraction to its end.
struct Extraction {
  ExtracterData engine;
  JobNotifications notifications;
  std::wstring text;
  HRESULT started = E_PENDING;

  bool Finish() {
    const bool done = notifications.WaitDone();
    EXPECT_EQ(S_OK, engine.Stop(text));
    notifications.Drain();
    return done;
  }
};

TEST(Extracter, RefusesWhatItCannotExtract) {
  const Backup backup({kShortDisc});
  const std::wstring song = backup.dir / L"song.mp3";
  ExtracterData engine;
  std::wstring text;
  EXPECT_EQ(E_INVALIDARG, engine.StartExtraction(nullptr, {1}, {song}, {0}, true));
  EXPECT_EQ(E_INVALIDARG, engine.Stop(text));

  ASSERT_EQ(S_OK, backup.Scan(engine));
  struct Case {
    const char* what;
    std::vector<int> tracks;
    std::vector<std::wstring> paths;
    std::vector<int> discs;
  };
  const Case cases[] = {
      {"no songs", {}, {}, {}},
      {"fewer paths", {1, 2}, {song}, {0, 0}},
      {"fewer discs", {1, 2}, {song, song}, {0}},
      {"disc past the end", {1}, {song}, {1}},
      {"negative disc", {1}, {song}, {-1}},
      {"track 0, the whole disc", {0}, {song}, {0}},
      {"track past the last", {3}, {song}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(E_INVALIDARG, engine.StartExtraction(nullptr, c.tracks, c.paths, c.discs, true));
    EXPECT_EQ(0, engine.ProgressRange());
  }
  EXPECT_EQ(S_OK, engine.Stop(text));
  EXPECT_EQ(L"", text);
  EXPECT_FALSE(engine.Succeeded());
  EXPECT_EQ(std::vector<std::wstring>{L"backup.mp3"}, FilesIn(backup.dir.path()));
}

// The extraction waits for a scan that is still running, and begins at once
// after one that has ended.
class ExtracterStart : public testing::TestWithParam<int> {};

TEST_P(ExtracterStart, WritesTheSongsWhicheverEndsFirst) {
  const Backup backup({kShortDisc, {{0, 200}, 400, 0, {330, 660}}});
  Extraction run;
  ASSERT_EQ(S_OK, backup.Scan(run.engine));
  Sleep(GetParam());
  const SongList songs = SongList::AllTracks(backup.discs, backup.dir.path(), L".mp3");
  ASSERT_EQ(S_OK, songs.StartOn(run.engine, run.notifications.window(), true));
  EXPECT_EQ(backup.frames / 1000 + (153 + 106 + 104 + 104) / 100, run.engine.ProgressRange());
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.engine.Succeeded());
  EXPECT_EQ(L"Your tracks have been successfully created", run.text);
  std::wstring pageText = L"set by the page";
  EXPECT_EQ(S_OK, run.engine.Stop(pageText));
  EXPECT_EQ(L"set by the page", pageText);
  EXPECT_EQ(1, run.notifications.Count(JOB_DONE));
  EXPECT_EQ(5u, FilesIn(backup.dir.path()).size());
}

// A second start while an extraction runs, or waits for its scan, is refused
// and changes nothing of the run: its range, its songs and its progress stay.
TEST_P(ExtracterStart, ASecondStartChangesNothingOfTheRun) {
  const Backup backup({kShortDisc}, 20);
  Extraction run;
  ASSERT_EQ(S_OK, backup.Scan(run.engine));
  Sleep(GetParam());
  const HWND window = run.notifications.window();
  ASSERT_EQ(S_OK, run.engine.StartExtraction(window, {1}, {backup.dir / L"first.mp3"}, {0}, true));
  const int range = run.engine.ProgressRange();
  ASSERT_GT(range, 0);
  EXPECT_EQ(E_INVALIDARG,
            run.engine.StartExtraction(window, {2}, {backup.dir / L"second.mp3"}, {0}, true));
  EXPECT_EQ(range, run.engine.ProgressRange());
  EXPECT_EQ(E_INVALIDARG, run.engine.StartExtraction(window, {}, {}, {}, true));
  EXPECT_EQ(range, run.engine.ProgressRange());
  ASSERT_TRUE(run.Finish());
  EXPECT_TRUE(run.engine.Succeeded());
  std::vector<std::wstring> files = FilesIn(backup.dir.path());
  std::sort(files.begin(), files.end());
  EXPECT_EQ((std::vector<std::wstring>{L"backup.mp3", L"first.mp3"}), files);
  for (const auto& message : run.notifications.received()) {
    if (message.first != JOB_PROGRESS) continue;
    EXPECT_GE(message.second, 0);
    EXPECT_LT(message.second, range);
  }
}

INSTANTIATE_TEST_SUITE_P(Delays, ExtracterStart, testing::Values(0, 1000));

// A second scan of the same file keeps the index, and a second extraction
// from it begins at once; a refused start afterwards has no range.
TEST(Extracter, ExtractsAgainFromTheIndexOfTheFirstScan) {
  const Backup backup({kShortDisc});
  ExtracterData engine;
  for (const bool mp3 : {true, false}) {
    JobNotifications notifications;
    ASSERT_EQ(S_OK, backup.Scan(engine));
    const SongList songs =
        SongList::AllTracks(backup.discs, backup.dir.path(), mp3 ? L".mp3" : L".wav");
    ASSERT_EQ(S_OK, songs.StartOn(engine, notifications.window(), mp3));
    ASSERT_TRUE(notifications.WaitDone());
    EXPECT_TRUE(engine.Succeeded());
    std::wstring text;
    EXPECT_EQ(S_OK, engine.Stop(text));
  }
  EXPECT_EQ(5u, FilesIn(backup.dir.path()).size());
  // A start refused after them reports no range of theirs.
  ASSERT_GT(engine.ProgressRange(), 0);
  EXPECT_EQ(E_INVALIDARG, engine.StartExtraction(nullptr, {}, {}, {}, true));
  EXPECT_EQ(0, engine.ProgressRange());
}

// A song that cannot be written ends the extraction: the songs before it
// stay, no later one is written, and nothing is left of the failed one.
TEST(Extracter, ASongThatCannotBeWrittenEndsTheExtraction) {
  const Backup backup({kShortDisc});
  for (const bool mp3 : {true, false}) {
    SCOPED_TRACE(mp3 ? "mp3" : "wav");
    const std::wstring ext = mp3 ? L".mp3" : L".wav";
    Extraction run;
    ASSERT_EQ(S_OK, backup.Scan(run.engine));
    SongList songs;
    songs.Add(backup.dir / (L"first" + ext), 0, 1);
    songs.Add(backup.dir / (L"no such folder\\second" + ext), 0, 2);
    songs.Add(backup.dir / (L"third" + ext), 0, 1);
    ASSERT_EQ(S_OK, songs.StartOn(run.engine, run.notifications.window(), mp3));
    ASSERT_TRUE(run.Finish());
    EXPECT_FALSE(run.engine.Succeeded());
    EXPECT_EQ(L"", run.text);
    EXPECT_EQ(1, run.notifications.Count(JOB_DONE));
    EXPECT_FALSE(ReadFileBytes(songs.paths[0]).empty());
    EXPECT_TRUE(ReadFileBytes(songs.paths[2]).empty());
  }
  std::vector<std::wstring> files = FilesIn(backup.dir.path());
  std::sort(files.begin(), files.end());
  EXPECT_EQ((std::vector<std::wstring>{L"backup.mp3", L"first.mp3", L"first.wav"}), files);
}

// A last track whose end lies past the frames found runs to the end of its
// disc's audio, here the end of a file that lost its last frames.
TEST(Extracter, TheLastTrackRunsToTheEndOfItsDisc) {
  Backup backup({kShortDisc});
  backup.Truncate(backup.Size() - 20 * 418 - 5);  // the last frame cut short, too
  backup.Reread();
  Extraction run;
  ASSERT_EQ(S_OK, backup.Scan(run.engine));
  const std::wstring song = backup.dir / L"last.mp3";
  ASSERT_EQ(S_OK, run.engine.StartExtraction(run.notifications.window(), {2}, {song}, {0}, true));
  ASSERT_TRUE(run.Finish());
  ASSERT_TRUE(run.engine.Succeeded());
  const Bytes file = ReadFileBytes(backup.path);
  const Bytes copy = ReadFileBytes(song);
  ASSERT_GT(copy.size(), 4096u + 1000u);
  EXPECT_TRUE(std::equal(copy.end() - 1000, copy.end(), file.end() - 1000));
}

// The scan accepts N - 382 to N + 382 frames for an expected count N.
class ExtracterTolerance : public testing::TestWithParam<int> {};

TEST_P(ExtracterTolerance, RefusesAScanThatFoundTooFewOrTooManyFrames) {
  const Backup backup({kShortDisc}, 3);
  // The frames of the disc, as the scanner finds them.
  MemoryBuf memory(ReadFileBytes(backup.path));
  std::basic_istream<unsigned char> file(&memory);
  MP3::MP3Seeker seeker;
  ASSERT_TRUE(
      seeker.Open(OpenChunkStream(file, backup.discs[0].audioStart, backup.discs[0].audioSize)));
  while (seeker.NextFrame()) {
  }
  const int found = static_cast<int>(seeker.FrameCount());
  ASSERT_GT(found, 383);
  const int offset = GetParam();

  Extraction run;
  ASSERT_EQ(S_OK, backup.Scan(run.engine, found - offset));
  const std::wstring song = backup.dir / L"song.mp3";
  run.started = run.engine.StartExtraction(run.notifications.window(), {1}, {song}, {0}, true);
  ASSERT_TRUE(run.Finish());
  const bool accepted = offset >= -382 && offset <= 382;
  EXPECT_EQ(accepted, run.engine.Succeeded());
  EXPECT_EQ(accepted, !ReadFileBytes(song).empty());
  EXPECT_EQ(1, run.notifications.Count(JOB_DONE));
  if (!accepted) {
    EXPECT_EQ(L"", run.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, ExtracterTolerance, testing::Values(-383, -382, 382, 383));

TEST(ExtracterStop, EndsTheScanPromptlyAndWritesNothing) {
  const Backup backup({{{0}, 750, 0, {440}}}, 60);  // 10 minutes of audio
  ExtracterData engine;
  ASSERT_EQ(S_OK, backup.Scan(engine));
  Sleep(5);  // well inside the scan of 23000 frames
  std::wstring text;
  const Clock::time_point before = Clock::now();
  EXPECT_EQ(S_OK, engine.Stop(text));
  EXPECT_LT(Clock::now() - before, Scaled(kPromptly));
  EXPECT_EQ(L"", text);
  EXPECT_FALSE(engine.Succeeded());

  // A stopped scan goes on where it stood when the page scans again.
  JobNotifications notifications;
  ASSERT_EQ(S_OK, backup.Scan(engine));
  const std::wstring song = backup.dir / L"song.mp3";
  ASSERT_EQ(S_OK, engine.StartExtraction(notifications.window(), {1}, {song}, {0}, true));
  ASSERT_TRUE(notifications.WaitDone());
  EXPECT_TRUE(engine.Succeeded());
  EXPECT_EQ(S_OK, engine.Stop(text));
  EXPECT_GT(ReadFileBytes(song).size(), backup.discs[0].audioSize * 0.99);
}

TEST(ExtracterStop, EndsTheExtractionPromptlyAndKeepsTheFileItWouldReplace) {
  const Backup backup({{{0}, 750, 0, {440}}}, 30);  // 5 minutes of audio
  const std::wstring song = backup.dir / L"song.wav";
  ASSERT_TRUE(WriteFileBytes(song, {'k', 'e', 'e', 'p'}));
  Extraction run;
  ASSERT_EQ(S_OK, backup.Scan(run.engine));
  ASSERT_EQ(S_OK, run.engine.StartExtraction(run.notifications.window(), {1}, {song}, {0}, false));
  const int scanSteps = backup.frames / 1000;
  ASSERT_TRUE(run.notifications.PumpUntil(
      [&] { return run.notifications.LastProgress() > scanSteps + 2; }));
  const Clock::time_point before = Clock::now();
  EXPECT_EQ(S_OK, run.engine.Stop(run.text));
  EXPECT_LT(Clock::now() - before, Scaled(kPromptly));
  EXPECT_FALSE(run.engine.Succeeded());
  EXPECT_EQ(L"", run.text);
  EXPECT_EQ((Bytes{'k', 'e', 'e', 'p'}), ReadFileBytes(song));
  EXPECT_EQ(2u, FilesIn(backup.dir.path()).size());  // the backup and the old file
}

// Damaged files end in the scan's failure or in songs, never in a crash or a
// hang; the page hears of the end exactly once, whether the extraction was
// accepted before or after the scan ended.
struct Damage {
  const char* what;
  bool extracts;
  void (*apply)(const Backup&);
};

const Damage kDamages[] = {
    {"plain MP3 without a tag", false,
     [](const Backup& b) { WriteFileBytes(b.path, BackupMaker::EncodeDisc(kShortDisc)); }},
    {"cut inside the tag", false, [](const Backup& b) { b.Truncate(3000); }},
    {"cut inside the first disc", false,
     [](const Backup& b) {
       b.Truncate(static_cast<std::size_t>(b.discs[0].audioStart) + b.discs[0].audioSize / 2);
     }},
    {"last disc short of 100 frames", true,
     [](const Backup& b) { b.Truncate(b.Size() - 100 * 418); }},
    {"noise inside the audio", true,
     [](const Backup& b) {
       Bytes bytes = ReadFileBytes(b.path);
       const std::size_t at = static_cast<std::size_t>(b.discs[1].audioStart) + 20000;
       std::fill(bytes.begin() + at, bytes.begin() + at + 300, 0x5A);
       WriteFileBytes(b.path, bytes);
     }},
};

class ExtracterDamage : public testing::TestWithParam<std::tuple<int, int, bool>> {};

TEST_P(ExtracterDamage, EndsOnceWithTheScansOutcome) {
  const Damage& damage = kDamages[std::get<0>(GetParam())];
  SCOPED_TRACE(damage.what);
  const Backup backup({kShortDisc, kShortDisc});
  damage.apply(backup);
  Extraction run;
  // The page's view of the file from before the damage.
  ASSERT_EQ(S_OK, backup.Scan(run.engine));
  Sleep(std::get<1>(GetParam()));
  const bool mp3 = std::get<2>(GetParam());
  const SongList songs =
      SongList::AllTracks(backup.discs, backup.dir.path(), mp3 ? L".mp3" : L".wav");
  run.started = songs.StartOn(run.engine, run.notifications.window(), mp3);
  EXPECT_TRUE(run.started == S_OK || run.started == E_FAIL);
  ASSERT_TRUE(run.Finish());
  EXPECT_EQ(1, run.notifications.Count(JOB_DONE));
  EXPECT_EQ(damage.extracts, run.engine.Succeeded());
  EXPECT_EQ(damage.extracts ? 5u : 1u, FilesIn(backup.dir.path()).size());
  if (!damage.extracts) {
    EXPECT_EQ(L"", run.text);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, ExtracterDamage,
                         testing::Combine(testing::Range(0, 5), testing::Values(0, 500),
                                          testing::Bool()));

// Both the scan's end and StartExtraction may start the extraction, and only
// one of them may: a second start of a running thread ends the program.
TEST(ExtracterRace, StartsTheExtractionOnceWhenTheScanEndsDuringStartExtraction) {
  const Backup backup({{{0}, 80, 0, {440}}});
  JobNotifications notifications;
  for (int i = 0; i < 150; ++i) {
    ExtracterData engine;
    ASSERT_EQ(S_OK, backup.Scan(engine));
    const Clock::time_point until = Clock::now() + std::chrono::microseconds(37 * (i % 40));
    while (Clock::now() < until) {
    }
    engine.StartExtraction(notifications.window(), {1}, {backup.dir / L"song.mp3"}, {0}, true);
    std::wstring text;
    ASSERT_EQ(S_OK, engine.Stop(text));
  }
}

}  // namespace

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "recorder/ImageFiles.h"
#include "recorder/ImageRecorderData.h"
#include "wizard/WizardInfo.h"
#include "tests/engine/TocBuilder.h"
#include "tests/recorder/JobWindow.h"
#include "tests/recorder/Mp3Fixture.h"
#include "tests/support/FilesIn.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

using Bytes = std::vector<unsigned char>;

namespace {

Bytes ReadFileBytes(const std::wstring& path) {
  Bytes b;
  FILE* f = _wfopen(path.c_str(), L"rb");
  if (!f) return b;
  unsigned char buf[65536];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) b.insert(b.end(), buf, buf + n);
  std::fclose(f);
  return b;
}

// The files in a folder, in no particular order.
std::set<std::wstring> FileSet(const std::wstring& dir) {
  const std::vector<std::wstring> names = FilesIn(dir);
  return {names.begin(), names.end()};
}

// A backup file holding one disc whose MP3 audio sits behind other bytes.
struct Backup {
  Backup(const TempDir& dir, const std::vector<int>& starts, int audioSectors,
         Bytes before = Bytes(4096, 0x33)) {
    path = dir / L"backup.mp3";
    mp3 = EncodeMp3(SinePcm(audioSectors * 588, 441));
    EXPECT_TRUE(WriteBytes(path, {before, mp3, Bytes(2000, 0x77)}));
    disc.toc = MakeToc(starts);
    disc.audioStart = std::streampos(std::streamoff(before.size()));
    disc.audioSize = int32_t(mp3.size());
    disc.disc.tracks.resize(starts.size());
    disc.disc.tracks[0] = {L"Artist", L"Album", L"", L"", 0};
    for (std::size_t t = 1; t < starts.size(); ++t)
      disc.disc.tracks[t] = {L"Singer " + std::to_wstring(t), L"Song " + std::to_wstring(t), L"",
                             L"", 0};
  }
  std::wstring path;
  Bytes mp3;
  BackupDisc disc;
};

struct JobRun {
  bool finished;
  std::wstring message;
  JobWindow window;
};

void RunJob(JobRun& run, const std::wstring& cue, const Backup& backup,
            DWORD stopAfterMs = INFINITE) {
  // The job takes its parameters from the wizard state, as the progress page starts it.
  CWizardInfo info;
  info->imagePath = cue;
  info->backupPath = backup.path;
  info->discs = {backup.disc};
  ImageRecorderData job;
  ASSERT_LT(0, job.Start(run.window.hwnd(), info));
  if (stopAfterMs == INFINITE) {
    ASSERT_TRUE(run.window.WaitForDone(60000));
  } else {
    Sleep(stopAfterMs);
  }
  run.finished = job.Finish();
  run.message = job.Message();
  run.window.Drain();
}

}  // namespace

TEST(ImageRecorderData, BinPathBesideTheCue) {
  const std::pair<std::wstring, std::wstring> rows[] = {
      {L"D:\\images\\disc 1.cue", L"D:\\images\\disc 1.bin"},
      {L"D:\\mix.2\\disc", L"D:\\mix.2\\disc.bin"},
      {L"D:/mix.2/disc", L"D:/mix.2/disc.bin"},
      {L"disc", L"disc.bin"},
      {L"disc.x.cue", L"disc.x.bin"},
  };
  for (const auto& [cue, bin] : rows) EXPECT_EQ(ImageRecorderData::BinPathFor(cue), bin);
  ImageRecorderData job;
  BackupDisc noLength;
  noLength.toc = MakeToc({0, 0});
  EXPECT_FALSE(job.Setup(nullptr, L"x.cue", L"b.mp3", 1, {BackupDisc{}}));
  EXPECT_FALSE(job.Setup(nullptr, L"x.cue", L"b.mp3", 0, {noLength}));
}

// Whole images for the host's checkers: bchunk, cdrdao and cd-info read the
// sheet and split the image; mpg123 decodes the same range for comparison.
TEST(ImageRecorderData, WritesImagesOtherToolsRead) {
  struct Case {
    std::string name;
    std::vector<int> starts;
    int audioSectors;
  };
  const Case cases[] = {
      {"one-track", {0, 900}, 900},
      {"late-start", {33, 1033, 2033}, 2000},        // track 1 at 00:02:33
      {"three-tracks", {0, 450, 1200, 1500}, 1540},  // more audio than the disc
      {"short-audio", {0, 700, 1400}, 1100},         // less: silence to the end
  };
  const char* out = std::getenv("TAVRIN_IMAGE_OUT");
  if (!out) GTEST_SKIP() << "run with TAVRIN_IMAGE_OUT by recorder_image_files";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const Backup backup(dir, c.starts, c.audioSectors);
    const std::wstring cue = dir / L"disc image.cue";
    JobRun run;
    RunJob(run, cue, backup);
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.message, L"The image file " + cue + L" has been successfully created");
    EXPECT_EQ(run.window.done, 1);
    const int sectors = c.starts.back() - c.starts.front();
    ASSERT_FALSE(run.window.progress.empty());
    EXPECT_EQ(run.window.progress.front(), 0);
    EXPECT_LE(run.window.progress.back(), sectors * 44100 / 86400 / 100);
    EXPECT_EQ(FileSet(dir.path()),
              (std::set<std::wstring>{L"backup.mp3", L"disc image.bin", L"disc image.cue"}));
    const Bytes bin = ReadFileBytes(dir / L"disc image.bin");
    ASSERT_EQ(bin.size(), std::size_t(sectors) * 2352);
    if (c.audioSectors < sectors) {
      // past the decoder's delay and the encoder's last frames
      const std::size_t silentFrom = std::size_t(c.audioSectors + 10) * 2352;
      EXPECT_EQ(Bytes(bin.begin() + silentFrom, bin.end()), Bytes(bin.size() - silentFrom, 0));
    } else {
      // The decoder's audio to the very end, not silence from the last whole frame on.
      EXPECT_NE(Bytes(bin.end() - 4608, bin.end()), Bytes(4608, 0));
    }
    const Bytes sheet = ReadFileBytes(cue);
    const std::string text(sheet.begin(), sheet.end());
    EXPECT_EQ(
        text.rfind("REM cue sheet created by Velmora TAVRIN\r\nFILE \"disc image.bin\" BINARY\r\n",
                   0),
        0u)
        << text;
    EXPECT_NE(text.find("  INDEX 01 00:00:00\r\n"), std::string::npos);
    // For the host: the image, its sheet, the disc's MP3 range and the layout.
    const std::wstring folder = Utf8::Decode(out) + L"\\" + Utf8::Decode(c.name);
    CreateDirectoryW(Utf8::Decode(out).c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    for (const wchar_t* name : {L"disc image.bin", L"disc image.cue"})
      ASSERT_TRUE(CopyFileW((dir / name).c_str(), (folder + L"\\" + name).c_str(), FALSE));
    ASSERT_TRUE(WriteBytes(folder + L"\\audio.mp3", {backup.mp3}));
    std::string layout;
    for (std::size_t t = 1; t < c.starts.size(); ++t)
      layout += "TRACK " + std::to_string(t) + " " + std::to_string(c.starts[t - 1] - c.starts[0]) +
                " " + std::to_string(c.starts[t] - c.starts[t - 1]) + "\n";
    ASSERT_TRUE(WriteBytes(folder + L"\\layout.txt", {Bytes(layout.begin(), layout.end())}));
  }
}

// Files of the image's names that the user agreed to replace are replaced by
// complete ones, and nothing else is left in the folder.
TEST(ImageRecorderData, ReplacesExistingFilesOnceComplete) {
  TempDir dir;
  const Backup backup(dir, {0, 300}, 300);
  const std::wstring cue = dir / L"disc.cue";
  ASSERT_TRUE(WriteBytes(cue, {Bytes{'o', 'l', 'd'}}));
  ASSERT_TRUE(WriteBytes(dir / L"disc.bin", {Bytes(300 * 2352 + 7, 0x55)}));
  JobRun run;
  RunJob(run, cue, backup);
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(FileSet(dir.path()), (std::set<std::wstring>{L"backup.mp3", L"disc.bin", L"disc.cue"}));
  const Bytes bin = ReadFileBytes(dir / L"disc.bin");
  ASSERT_EQ(bin.size(), 300u * 2352);
  EXPECT_NE(bin, Bytes(bin.size(), 0x55));
  const Bytes sheet = ReadFileBytes(cue);
  EXPECT_EQ(std::string(sheet.begin(), sheet.end()).rfind("REM cue sheet created by", 0), 0u);
}

// Cancelling ends the job at once, while it decodes or while it pads the
// image, and leaves the folder as it was, the files of the names it would have
// written included.
TEST(ImageRecorderData, StoppedJobEndsPromptlyAndLeavesNoFile) {
  struct Row {
    const char* while_;
    int sectors, audioSectors;
  };
  for (const Row& r : {Row{"decoding", 6000, 6000}, Row{"padding", 330000, 200}}) {
    SCOPED_TRACE(r.while_);
    TempDir dir;
    const Backup backup(dir, {0, r.sectors}, r.audioSectors);
    const std::wstring cue = dir / L"disc.cue";
    ASSERT_TRUE(WriteBytes(cue, {Bytes{'o', 'l', 'd'}}));
    ASSERT_TRUE(WriteBytes(dir / L"disc.bin", {Bytes{'b', 'i', 'n'}}));
    JobRun run;
    const DWORD before = GetTickCount();
    RunJob(run, cue, backup, 100);
    // Far less than either job takes when let run, with room for a busy machine.
    EXPECT_LT(GetTickCount() - before, ScaledMs(5000));
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.message, L"");
    EXPECT_EQ(run.window.done, 1);
    EXPECT_EQ(FileSet(dir.path()),
              (std::set<std::wstring>{L"backup.mp3", L"disc.bin", L"disc.cue"}));
    EXPECT_EQ(ReadFileBytes(cue), (Bytes{'o', 'l', 'd'}));
    EXPECT_EQ(ReadFileBytes(dir / L"disc.bin"), (Bytes{'b', 'i', 'n'}));
  }
}

TEST(ImageRecorderData, UnreadableBackupFailsAndLeavesNoFile) {
  TempDir dir;
  Backup backup(dir, {0, 1000}, 1000);
  backup.path = dir / L"gone.mp3";
  ASSERT_TRUE(WriteBytes(dir / L"disc.bin", {Bytes{'b', 'i', 'n'}}));
  JobRun run;
  RunJob(run, dir / L"disc.cue", backup);
  EXPECT_FALSE(run.finished);
  EXPECT_EQ(run.message, L"Error writing image file");
  EXPECT_EQ(FileSet(dir.path()), (std::set<std::wstring>{L"backup.mp3", L"disc.bin"}));
  EXPECT_EQ(ReadFileBytes(dir / L"disc.bin"), (Bytes{'b', 'i', 'n'}));

  // A folder that does not exist.
  JobRun nowhere;
  RunJob(nowhere, dir / L"no folder\\disc.cue", Backup(dir, {0, 300}, 300));
  EXPECT_FALSE(nowhere.finished);
  EXPECT_EQ(nowhere.message, L"Error writing image file");
}

// A .cue path whose .bin would be the same file is refused, however the name
// says so; the job touches no file, the user's .bin of that name included.
TEST(ImageRecorderData, RefusesACueNameThatIsItsOwnBin) {
  TempDir dir;
  const Backup backup(dir, {0, 300}, 300);
  const Bytes old = {'o', 'l', 'd', 0, 0xFF};
  ASSERT_TRUE(WriteBytes(dir / L"disc.bin", {old}));
  ASSERT_TRUE(WriteBytes(dir / L"linked.bin", {old}));
  // Another name of the same file.
  ASSERT_TRUE(
      CreateHardLinkW((dir / L"linked.cue").c_str(), (dir / L"linked.bin").c_str(), nullptr));
  const std::set<std::wstring> before = FileSet(dir.path());
  const struct {
    const wchar_t* name;
    bool refused;
  } rows[] = {
      {L"disc.bin", true},   {L"disc.BIN", true},        {L"Disc.Bin", true},
      {L"disc.bin ", true},  {L"disc.bin::$DATA", true}, {L"other.bin", true},
      {L"linked.cue", true}, {L"disc.bin.cue", false},   {L"disc.cue", false},
      {L"disc", false},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(Utf8::Encode(r.name));
    const std::wstring cue = dir / r.name;
    const std::wstring text = ImageRecorderData::RefusedName(cue, backup.path);
    EXPECT_EQ(r.refused, !text.empty());
    if (!r.refused) continue;
    EXPECT_EQ(text, L"The cue sheet and the image data cannot share one file: " + cue +
                        L"\nChoose a name that does not end in .bin.");
    JobRun run;
    RunJob(run, cue, backup);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.message, text);
    EXPECT_EQ(FileSet(dir.path()), before);
    EXPECT_EQ(ReadFileBytes(dir / L"disc.bin"), old);
    EXPECT_EQ(ReadFileBytes(dir / L"linked.bin"), old);
  }
}

// Neither file of the image may replace the backup file it is made from,
// however its name is spelt; the job refuses before it touches a file.
TEST(ImageRecorderData, RefusesToReplaceItsBackupFile) {
  TempDir dir;
  Backup backup(dir, {0, 300}, 300);
  const Bytes bytes = ReadFileBytes(backup.path);
  ASSERT_TRUE(CopyFileW(backup.path.c_str(), (dir / L"disc.bin").c_str(), TRUE));
  const std::set<std::wstring> before = FileSet(dir.path());
  const struct {
    const wchar_t *backup, *cue, *replaced;
  } rows[] = {{L"backup.mp3", L"backup.mp3", L"backup.mp3"},
              {L"backup.mp3", L"BACKUP.MP3", L"BACKUP.MP3"},
              {L"disc.bin", L"disc.cue", L"disc.bin"}};
  for (const auto& r : rows) {
    SCOPED_TRACE(Utf8::Encode(r.cue));
    backup.path = dir / r.backup;
    JobRun run;
    RunJob(run, dir / r.cue, backup);
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.message, L"The disc image cannot replace the backup file it is made from: " +
                               (dir / r.replaced));
    EXPECT_EQ(FileSet(dir.path()), before);
    EXPECT_EQ(ReadFileBytes(backup.path), bytes);
  }
}

// When the old files of the image's names cannot both be replaced (one is
// read-only, or another program holds it open), the job fails and leaves
// both as they were, and no new file behind.
TEST(ImageRecorderData, AFailedReplaceKeepsTheOldImage) {
  const Bytes oldCue = {'o', 'l', 'd', ' ', 'c', 'u', 'e'}, oldBin(300 * 2352 + 7, 0x55);
  const struct {
    const char* what;
    const wchar_t* file;
    bool open;  // else read-only
  } rows[] = {{"read-only cue", L"disc.cue", false},
              {"open cue", L"disc.cue", true},
              {"read-only bin", L"disc.bin", false},
              {"open bin", L"disc.bin", true}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.what);
    TempDir dir;
    const Backup backup(dir, {0, 300}, 300);
    const std::wstring cue = dir / L"disc.cue", bin = dir / L"disc.bin", held = dir / r.file;
    ASSERT_TRUE(WriteBytes(cue, {oldCue}));
    ASSERT_TRUE(WriteBytes(bin, {oldBin}));
    HANDLE open = INVALID_HANDLE_VALUE;
    if (r.open) {
      open = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
      ASSERT_NE(open, INVALID_HANDLE_VALUE);
    } else {
      ASSERT_TRUE(SetFileAttributesW(held.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    JobRun run;
    RunJob(run, cue, backup);
    if (r.open) {
      CloseHandle(open);
    } else {
      SetFileAttributesW(held.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    EXPECT_FALSE(run.finished);
    EXPECT_EQ(run.message, L"Error writing image file");
    EXPECT_EQ(FileSet(dir.path()),
              (std::set<std::wstring>{L"backup.mp3", L"disc.bin", L"disc.cue"}));
    EXPECT_EQ(ReadFileBytes(cue), oldCue);
    EXPECT_EQ(ReadFileBytes(bin), oldBin);
  }
}

// The new files replace the old ones together, or not at all: when the second
// cannot take its name, the first gives its name back to the old file.
TEST(ImageFiles, MoveInTogetherOrPutTheOldFilesBack) {
  const Bytes oldBin = {'o', 'l', 'd', 'b'}, oldCue = {'o', 'l', 'd', 'c'};
  const Bytes newBin = {'n', 'e', 'w', 'b'}, newCue = {'n', 'e', 'w', 'c'};
  for (bool secondThere : {true, false}) {
    SCOPED_TRACE(secondThere);
    TempDir dir;
    const std::wstring bin = dir / L"a.bin", cue = dir / L"a.cue";
    ASSERT_TRUE(WriteBytes(bin, {oldBin}));
    ASSERT_TRUE(WriteBytes(cue, {oldCue}));
    std::wstring binTemp = ImageFiles::CreateTempBeside(bin);
    std::wstring cueTemp = secondThere ? ImageFiles::CreateTempBeside(cue) : dir / L"gone.tmp";
    ASSERT_TRUE(WriteBytes(binTemp, {newBin}));
    if (secondThere) {
      ASSERT_TRUE(WriteBytes(cueTemp, {newCue}));
    }
    EXPECT_EQ(secondThere, ImageFiles::MoveIntoPlace({{binTemp, bin}, {cueTemp, cue}}));
    EXPECT_EQ(FileSet(dir.path()), (std::set<std::wstring>{L"a.bin", L"a.cue"}));
    EXPECT_EQ(ReadFileBytes(bin), secondThere ? newBin : oldBin);
    EXPECT_EQ(ReadFileBytes(cue), secondThere ? newCue : oldCue);
    EXPECT_EQ(binTemp, L"");
    EXPECT_EQ(cueTemp.empty(), secondThere);
  }
}

#include <boost/iostreams/stream_buffer.hpp>

#include "engine/streams/WFile.h"
#include "tests/engine/TocBuilder.h"
#include "tests/engine/jobs/RipFixture.h"

namespace {

using namespace ripfixture;

const std::wstring kWriteError = L"There was an error writing the Backup-File.";
const std::wstring kTooManyErrors = L"There were oo many errors reading the Audio-CD.";
const std::wstring kFull =
    L"The backup file already holds 99 discs. Please choose another backup file.";

int CountReads(const std::vector<std::string>& log, int32_t lba, int count) {
  char cdb[32];
  snprintf(cdb, sizeof cdb, "cdb=BE04%08X0000%02X", static_cast<unsigned>(lba), count);
  int n = 0;
  for (const std::string& line : log) n += line.find(cdb) != std::string::npos;
  return n;
}

LPARAM MaxProgress(const RipRun& run) {
  LPARAM most = -1;
  for (const auto& m : run.messages)
    if (m.first == JOB_PROGRESS) most = std::max(most, m.second);
  return most;
}

class Ripper : public RipTest {
 protected:
  // A backup file of one short disc, to append to.
  Bytes MakeBackup(const std::wstring& path) {
    Insert(TwelveTracks(1, 500), L"First");
    Target(path);
    EXPECT_TRUE(Run().success);
    return ReadFileBytes(path);
  }
  // An existing backup whose one disc has `audioBytes` of audio (a pattern, not
  // MP3: copying does not look at it).
  Bytes MakeLargeBackup(const std::wstring& path, std::size_t audioBytes) {
    BackupDisc disc;
    disc.disc = Texts(12, L"Large");
    disc.toc = drives_[0].toc;
    {
      boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_sink<unsigned char>> sb(
          boost::iostreams::basic_wfile_sink<unsigned char>(path, std::ios_base::out));
      std::basic_ostream<unsigned char> out(&sb);
      EXPECT_TRUE(BackupFile::WriteTag(out, {disc}, L"large.mp3"));
      Bytes audio(audioBytes);
      for (std::size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<unsigned char>(i % 253);
      out.write(audio.data(), static_cast<std::streamsize>(audio.size()));
      out.flush();
    }
    return ReadFileBytes(path);
  }
  void ExpectOldFileBack(const std::wstring& path, const Bytes& old) {
    EXPECT_TRUE(ReadFileBytes(path) == old) << "the old backup file changed";
    EXPECT_FALSE(Exists(path + L".tempCopyFile"));
  }
};

TEST_F(Ripper, ReadErrorsFollowTheFaultPlan) {
  struct Case {
    const char* name;
    std::string plan;
    bool success;
    std::wstring text;                           // after the path; empty for the failure text
    std::vector<std::pair<int32_t, int>> reads;  // (lba, count) and how often it is read
    std::vector<int> times;
  } cases[] = {
      {"fails once", "fail = 1000 1\n", true, L" has been successfully created", {{996, 12}}, {2}},
      {"never reads",
       "fail = 1000\n",
       true,
       L" has been created, but 1 sectors could not be read",
       {{996, 12}, {1000, 1}, {999, 1}, {1001, 1}},
       {4, 3, 1, 1}},
      {"a patch that heals on the third try",
       "fail = 2000-2003 2\n",
       true,
       L" has been successfully created",
       {{1992, 12}, {2004, 12}},
       {3, 1}},
      {"two dead blocks in a row",
       "fail = 1200-1223\n",
       false,
       L"",
       {{1212, 12}, {1224, 12}},
       {4, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Disc disc = TwelveTracks(4, 300);
    disc.extra = c.plan;
    Insert(disc);
    const std::wstring path = dir_ / L"errors.mp3";
    Target(path);
    drive_.TakeLog();
    const RipRun run = Run();
    EXPECT_EQ(c.success, run.success);
    EXPECT_EQ(c.success ? L"The TAVRIN backup file " + path + c.text : kTooManyErrors, run.text);
    EXPECT_EQ(c.success, Exists(path));
    const auto log = drive_.TakeLog();
    for (std::size_t i = 0; i < c.reads.size(); ++i)
      EXPECT_EQ(c.times[i], CountReads(log, c.reads[i].first, c.reads[i].second))
          << "reads of " << c.reads[i].first << "+" << c.reads[i].second;
    DeleteFileW(path.c_str());
  }
}

TEST_F(Ripper, ErrorsSpreadOverTheDiscEndTheRipAfter200) {
  Disc disc = TwelveTracks(4, 300);
  for (int i = 0; i < 29; ++i) disc.extra += "fail = " + std::to_string(100 + i * 48) + "\n";
  Insert(disc);
  Target(dir_ / L"spread.mp3");
  const RipRun run = Run();
  EXPECT_FALSE(run.success);
  EXPECT_EQ(kTooManyErrors, run.text);
  EXPECT_FALSE(Exists(dir_ / L"spread.mp3"));
}

TEST_F(Ripper, UnusableTocsNeverStartTheThread) {
  Insert(TwelveTracks(1, 300));
  const Bytes good = drives_[0].toc;
  Bytes shortLength = good, oddLength = good, backwards = good, reversedTracks = good;
  shortLength[1] = 10;
  oddLength[1] = static_cast<unsigned char>(good[1] - 3);
  backwards[good.size() - 3] = 0;  // lead-out before the first track
  backwards[good.size() - 2] = 1;
  reversedTracks[3] = 0;
  for (const Bytes& toc : {Bytes(), shortLength, oddLength, backwards, reversedTracks}) {
    drives_[0].toc = toc;
    RipperData job;
    JobNotifications page;
    EXPECT_EQ(0, job.Start(page.window(), info_));
    EXPECT_FALSE(job.Finish());
    EXPECT_EQ(L"There was a fatal error reading the Audio-CD.", job.Message());
    page.Drain();
    EXPECT_TRUE(page.received().empty());
  }
}

TEST_F(Ripper, AnAppendThatWouldPassTwoGigabytesNeverStarts) {
  Insert(TwelveTracks(5, 300));  // a minute: at most 2.4 MB at 320 kbit/s
  Target(dir_ / L"big.mp3", 255);
  BackupDisc old;
  old.audioStart = 4096;
  for (int32_t size : {0x7FFFFFFF - 4096 - 48279 - 2500000, 0x7FFFFFFF - 4096 - 48279 - 2300000}) {
    old.audioSize = size;
    info_->discs = {old};
    RipperData job;
    JobNotifications page;
    const int range = job.Start(page.window(), info_);
    job.Finish();
    if (size < 0x7FFFFFFF - 4096 - 48279 - 2400000) {
      EXPECT_GT(range, 0);
    } else {
      EXPECT_EQ(0, range);
      EXPECT_EQ(L"The backup file would grow beyond 2 GB. Please choose another backup file.",
                job.Message());
    }
  }
}

// A backup holds 99 discs: the 99th is appended, a 100th never starts and the
// file stays as it was.
TEST_F(Ripper, TheNinetyNinthDiscIsAppendedAndAHundredthRefused) {
  Disc disc;
  disc.tracks = {{0, 440}};
  disc.leadOut = 75;
  Insert(disc);
  const std::wstring path = dir_ / L"full.mp3";
  ASSERT_FALSE(WriteDiscs(path, MakeToc({0, 300}), 98, 1000).empty());
  Target(path);
  ASSERT_EQ(98u, info_->discs.size());
  ASSERT_TRUE(Run().success);
  const Bytes full = ReadFileBytes(path);
  Target(path);
  ASSERT_EQ(99u, info_->discs.size());
  EXPECT_EQ(drives_[0].toc, info_->discs.back().toc);

  RipperData job;
  JobNotifications page;
  EXPECT_EQ(0, job.Start(page.window(), info_));
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(kFull, job.Message());
  page.Drain();
  EXPECT_TRUE(page.received().empty());
  ExpectOldFileBack(path, full);
}

TEST_F(Ripper, RangeCountsSecondsAndCopyingAndIsNeverZero) {
  struct Case {
    int32_t sectors;
    int32_t existingMiB;
    int range;
  } cases[] = {{150000, 0, 2000}, {150000, 100, 2512}, {50, 0, 1}};
  for (const Case& c : cases) {
    Disc disc;
    disc.tracks = {{0, 440}};
    disc.leadOut = c.sectors;
    Insert(disc);
    Target(dir_ / L"range.mp3");
    if (c.existingMiB) {
      BackupDisc old;
      old.audioStart = 4096;
      old.audioSize = c.existingMiB * 1048576;
      info_->discs = {old};
    }
    RipperData job;
    JobNotifications page;
    EXPECT_EQ(c.range, job.Start(page.window(), info_)) << c.sectors;
    job.Finish();
    EXPECT_EQ(1, (page.Drain(), page.Count(JOB_DONE)));
  }
}

TEST_F(Ripper, CancelWhileCopyingRestoresTheOldFile) {
  Insert(TwelveTracks(4, 300));
  const std::wstring path = dir_ / L"large.mp3";
  const Bytes old = MakeLargeBackup(path, 40 << 20);
  Target(path);
  ASSERT_EQ(1u, info_->discs.size());
  RipperData job;
  JobNotifications page;
  const int range = job.Start(page.window(), info_);
  ASSERT_EQ(48 + 204, range);
  EXPECT_FALSE(job.Finish());
  page.Drain();
  EXPECT_EQ(1, page.Count(JOB_DONE));
  EXPECT_LT(page.LastProgress(), 204);  // stopped before copying had ended
  EXPECT_EQ(L"The backup file " + path + L" was left as it was", job.Message());
  ExpectOldFileBack(path, old);
}

TEST_F(Ripper, CancelWhileReadingRestoresTheOldFile) {
  const std::wstring path = dir_ / L"b.mp3";
  const Bytes old = MakeBackup(path);
  Disc disc;
  disc.tracks = {{0, 440}, {9000, 660}};
  disc.leadOut = 18000;
  Insert(disc);
  Target(path);
  RipperData job;
  const RipRun run = Run(job, [&](JobNotifications& page) {
    EXPECT_TRUE(page.PumpUntil([&] { return page.LastProgress() >= 5; }));
    EXPECT_FALSE(job.Finish());
  });
  EXPECT_FALSE(run.success);
  EXPECT_LT(MaxProgress(run), run.range);
  ExpectOldFileBack(path, old);
}

// A rip whose file, complete after the last block, is being closed when the
// page asks the job to stop: the worker waits in the close until the stop has
// been requested, the latest moment before the new file would replace the old.
class LateStopRipper : public RipperData {
 public:
  LateStopRipper() : closing_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~LateStopRipper() override {
    StopWorker();
    CloseHandle(closing_);
  }
  bool WaitUntilClosing() { return WaitForSingleObject(closing_, 60000) == WAIT_OBJECT_0; }

 protected:
  std::unique_ptr<OutputFile> OpenOutput(const std::wstring& path) override {
    class Closing : public OutputFile {
     public:
      Closing(std::unique_ptr<OutputFile> file, LateStopRipper& job)
          : file_(std::move(file)), job_(job) {}
      ~Closing() override {
        file_.reset();
        SetEvent(job_.closing_);
        for (int i = 0; i < 6000 && !job_.Stopping(); ++i) Sleep(10);
      }
      std::streamsize Write(const unsigned char* s, std::streamsize n) override {
        return file_->Write(s, n);
      }

     private:
      std::unique_ptr<OutputFile> file_;
      LateStopRipper& job_;
    };
    return std::make_unique<Closing>(RipperData::OpenOutput(path), *this);
  }

 private:
  HANDLE closing_;
};

TEST_F(Ripper, AStopBeforeTheNewFileTakesThePlaceKeepsTheOldOne) {
  const std::wstring path = dir_ / L"b.mp3", fresh = dir_ / L"new.mp3";
  const Bytes old = MakeBackup(path);
  for (bool append : {true, false}) {
    SCOPED_TRACE(append);
    Insert(TwelveTracks(1, 900));
    Target(path);
    if (!append) info_->discs.clear();  // the user chose to overwrite
    LateStopRipper job;
    JobNotifications page;
    ASSERT_GT(job.Start(page.window(), info_), 0);
    ASSERT_TRUE(job.WaitUntilClosing());
    EXPECT_FALSE(job.Finish());
    EXPECT_EQ(L"The backup file " + path + L" was left as it was", job.Message());
    ExpectOldFileBack(path, old);
  }
  // Without an old file, the new one goes and the text says so.
  Target(fresh);
  LateStopRipper job;
  JobNotifications page;
  ASSERT_GT(job.Start(page.window(), info_), 0);
  ASSERT_TRUE(job.WaitUntilClosing());
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(L"No backup file was written", job.Message());
  EXPECT_FALSE(Exists(fresh));
}

// An old file that has become shorter than the discs its tag promises, after
// the page read it: the copy ends early, the rip fails and the file stays.
TEST_F(Ripper, AnOldFileCutShortAfterThePageReadItStaysAsItIs) {
  Insert(TwelveTracks(1, 300));
  const std::wstring path = dir_ / L"large.mp3";
  MakeLargeBackup(path, 1 << 20);
  Target(path);
  ASSERT_EQ(1u, info_->discs.size());
  Bytes cut = ReadFileBytes(path);
  cut.resize(cut.size() - 5000);
  WriteFileBytes(path, cut);
  const RipRun run = Run();
  EXPECT_FALSE(run.success);
  EXPECT_EQ(kWriteError, run.text);
  ExpectOldFileBack(path, cut);
}

// A file that takes only so many bytes, as a full disk does.
class FullDiskRipper : public RipperData {
 public:
  explicit FullDiskRipper(uint64_t limit) : limit_(limit) {}

 protected:
  std::unique_ptr<OutputFile> OpenOutput(const std::wstring& path) override {
    class FullDisk : public OutputFile {
     public:
      FullDisk(const std::wstring& p, uint64_t limit)
          : file_(p, std::ios_base::out | std::ios_base::binary), room_(limit) {}
      std::streamsize Write(const unsigned char* s, std::streamsize n) override {
        const std::streamsize put = file_.write(s, std::min<std::streamsize>(n, room_));
        room_ -= static_cast<uint64_t>(put);
        return put;
      }

     private:
      boost::iostreams::basic_wfile_sink<unsigned char> file_;
      uint64_t room_;
    };
    return std::make_unique<FullDisk>(path, limit_);
  }

 private:
  uint64_t limit_;
};

TEST_F(Ripper, FullDiskAnywhereRestoresTheOldFile) {
  const std::wstring path = dir_ / L"b.mp3", trial = dir_ / L"trial.mp3";
  const Bytes old = MakeBackup(path);
  Insert(TwelveTracks(3, 700));
  // The size of the complete file, from an append that has room.
  WriteFileBytes(trial, old);
  Target(trial);
  ASSERT_TRUE(Run().success);
  const uint64_t full = ReadFileBytes(trial).size();
  const uint64_t tag = std::streamoff(ReadBackup(trial).front().audioStart);
  Target(path);
  for (uint64_t limit : {uint64_t(0), tag / 2, tag + 1000, full / 2 + tag / 2, full - 40}) {
    SCOPED_TRACE(limit);
    FullDiskRipper job(limit);
    const RipRun run = Run(job);
    EXPECT_FALSE(run.success);
    EXPECT_EQ(kWriteError, run.text);
    ExpectOldFileBack(path, old);
  }
}

// A failing rip whose new file is held open, so that the old one cannot take
// its place again: the user learns where the old file was kept, unchanged.
class HeldOpenRipper : public FullDiskRipper {
 public:
  HeldOpenRipper() : FullDiskRipper(0) {}
  ~HeldOpenRipper() override {
    if (held_ != INVALID_HANDLE_VALUE) CloseHandle(held_);
  }

 protected:
  std::unique_ptr<OutputFile> OpenOutput(const std::wstring& path) override {
    std::unique_ptr<OutputFile> file = FullDiskRipper::OpenOutput(path);
    held_ = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        OPEN_EXISTING, 0, nullptr);
    return file;
  }

 private:
  HANDLE held_ = INVALID_HANDLE_VALUE;
};

TEST_F(Ripper, AnOldFileThatCannotComeBackIsNamed) {
  const std::wstring path = dir_ / L"b.mp3", temp = path + L".tempCopyFile";
  const Bytes old = MakeBackup(path);
  Insert(TwelveTracks(1, 900));
  Target(path);
  {
    HeldOpenRipper job;
    const RipRun run = Run(job);
    EXPECT_FALSE(run.success);
    EXPECT_EQ(kWriteError + L"\nThe previous backup file was kept as " + temp, run.text);
  }
  EXPECT_TRUE(ReadFileBytes(temp) == old);
}

TEST_F(Ripper, AnOldFileThatCannotBeMovedAsideStaysAsItIs) {
  const std::wstring path = dir_ / L"b.mp3", temp = path + L".tempCopyFile";
  const Bytes old = MakeBackup(path);
  Insert(TwelveTracks(1, 900));
  Target(path);
  const auto rip = [&](const char* why) {
    SCOPED_TRACE(why);
    const RipRun run = Run();
    EXPECT_GT(run.range, 0);
    EXPECT_FALSE(run.success);
    EXPECT_EQ(kWriteError, run.text);
    EXPECT_TRUE(ReadFileBytes(path) == old);
  };
  WriteFileBytes(temp, {'s', 't', 'a', 'l', 'e'});
  rip("a temporary copy left over");
  EXPECT_EQ((Bytes{'s', 't', 'a', 'l', 'e'}), ReadFileBytes(temp));
  DeleteFileW(temp.c_str());

  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  rip("the old file held open");
  CloseHandle(h);

  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
  rip("a read-only file");
  EXPECT_FALSE(Exists(temp));
}

TEST_F(Ripper, ADriveThatIsGoneEndsQuietlyWithTheOldFileBack) {
  const std::wstring path = dir_ / L"b.mp3";
  const Bytes old = MakeBackup(path);
  Insert(TwelveTracks(1, 900));
  Target(path);
  drive_.Describe("");  // the drive went away after the drive list was read
  const RipRun run = Run();
  EXPECT_FALSE(run.success);
  EXPECT_TRUE(run.text.empty());
  ExpectOldFileBack(path, old);
}

TEST_F(Ripper, OverwritingKeepsTheOldFileUntilTheNewOneIsComplete) {
  const std::wstring path = dir_ / L"b.mp3";
  const Bytes old = MakeBackup(path);
  Disc disc = TwelveTracks(2, 800);
  disc.extra = "fail = 600-623\n";
  Insert(disc);
  Target(path);
  info_->discs.clear();  // the user chose to overwrite
  const RipRun run = Run();
  EXPECT_EQ(kTooManyErrors, run.text);
  ExpectOldFileBack(path, old);
}

// Texts whose entries disagree with the disc (a database answer taken as it
// came) are refused before the new tag is written: an append of 130 entries
// used to report success for a file no reader takes.
TEST_F(Ripper, TextsThatDisagreeWithTheDiscLeaveTheOldFile) {
  const std::wstring path = dir_ / L"b.mp3";
  const Bytes old = MakeBackup(path);
  for (std::size_t entries : {std::size_t(130), std::size_t(5)}) {
    SCOPED_TRACE(entries);
    Insert(TwelveTracks(1, 900));
    Target(path);
    ASSERT_EQ(1u, info_->discs.size());
    info_->disc = Texts(entries - 1, L"Odd");
    const RipRun run = Run();
    EXPECT_FALSE(run.success);
    EXPECT_EQ(kWriteError, run.text);
    ExpectOldFileBack(path, old);
  }
}

TEST(RipperPolicy, AppendStaysBelowTwoGigabytes) {
  std::vector<BackupDisc> discs(2);
  discs[0].audioStart = 8192;
  discs[0].audioSize = 1000000000;
  discs[1].audioStart = 8192 + 1000000000 + BackupFile::kGapBytes;
  discs[1].audioSize = 1000000000;
  const int64_t room = BackupFile::kMaxBackupBytes - (std::streamoff(discs[1].audioStart) +
                                                      discs[1].audioSize + BackupFile::kGapBytes);
  EXPECT_TRUE(RipperData::AppendFitsBackup(discs, room));
  EXPECT_FALSE(RipperData::AppendFitsBackup(discs, room + 1));
  EXPECT_TRUE(RipperData::AppendFitsBackup({}, 700000000));
  EXPECT_FALSE(RipperData::AppendFitsBackup({}, -1));
}

}  // namespace

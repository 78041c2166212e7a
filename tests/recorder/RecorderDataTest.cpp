#include "recorder/RecorderData.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "common/Utf8.h"
#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"
#include "engine/streams/ByteSourceSB.h"
#include "recorder/CdText.h"
#include "recorder/ImageRecorderData.h"
#include "recorder/MainChannelReader.h"
#include "recorder/RawStream.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/recorder/QDecoder.h"
#include "tests/recorder/WriterTestSupport.h"
#include "tests/support/FileBytes.h"
#include "tests/support/JobNotifications.h"

using Bytes = std::vector<unsigned char>;

namespace {

const int kDriveW = 'W' - 'A' + 1;
// A blank CD-R whose lead-in starts at 99:50:00 (LBA -900): 750 lead-in
// sectors, 150 of pregap, 600 of audio and 6750 of lead-out.
const char kBlankCdr[] =
    "medium = cdr\nleadin = 99:50:00\ncapacity = 79:59:74\nperformance = 7056-7056\n"
    "eventevery = 1000\n";
const int32_t kStart = -900, kEnd = 600 + 6750;
const std::wstring kRecorded = L"Your CD has been successfully recorded";

bool StartsWith(const std::wstring& text, const std::wstring& start) {
  return text.compare(0, start.size(), start) == 0;
}

// A backup file of two discs, each two tracks of four-second tones encoded
// by LAME, made once for all tests.
class RecorderJobTest : public ComApartment {
 protected:
  static void SetUpTestSuite() {
    folder_ = new TempDir;
    const std::vector<BackupMaker::DiscPlan> plans = {{{0, 300}, 600, 0, {440, 880}},
                                                      {{0}, 450, 0, {660}}};
    const std::vector<Bytes> audio = {BackupMaker::EncodeDisc(plans[0]),
                                      BackupMaker::EncodeDisc(plans[1])};
    *backup_ = *folder_ / L"backup.mp3";
    ASSERT_TRUE(
        BackupMaker::WriteBackup(*backup_, BackupMaker::DescribeDiscs(plans, audio), audio));
    ByteSourceSB source(*backup_, std::ios_base::in | std::ios_base::binary);
    std::basic_istream<unsigned char> is(&source);
    *discs_ = BackupFile::ReadDiscs(is);
    ASSERT_EQ(discs_->size(), 2u);
  }
  static void TearDownTestSuite() {
    delete folder_;
    folder_ = nullptr;
  }
  void SetUp() override {
    ComApartment::SetUp();
    Settings::SetBackend(Settings::BackendXmlFile);
    Settings::SetRoot(L"Velmora\\RecorderJobTest-" + std::to_wstring(GetCurrentProcessId()));
    info_ = std::make_unique<CWizardInfo>();
    Info()->restoreTarget = kDriveW;
    Info()->backupPath = *backup_;
    Info()->discs = *discs_;
    Info()->discQueue = {0};
    Info()->writeMode = 1;
    dump_ = drive_.dir() / L"burn.bin";
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_BURN", dump_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVRIN_VDRIVE_BURN", nullptr);
    DeleteFileW(Settings::XmlStore::FilePath().c_str());
    ComApartment::TearDown();
  }
  CWizardInfo::CWizardInfoData* Info() { return (*info_).operator->(); }

  // Runs the job to its end, reporting to the page; the log of what the drive saw.
  std::vector<std::string> Run(RecorderData& job, int range, JobNotifications& page) {
    EXPECT_EQ(job.Start(page.window(), *info_), range);
    EXPECT_TRUE(page.WaitDone());
    page.Drain();
    EXPECT_EQ(page.Count(JOB_DONE), 1);
    return drive_.TakeLog();
  }
  std::vector<std::string> Run(RecorderData& job, int range = 300) {
    return Run(job, range, page_);
  }
  // The sectors the raw stream gives for a disc, from the lead-in start to the end.
  Bytes Expected(std::size_t disc, bool cdText) {
    const BackupDisc& d = (*discs_)[disc];
    const Bytes text = cdText ? Recorder::BuildCdText(d.disc, d.toc) : Bytes();
    auto reader = Recorder::CreateMainChannelReader(*backup_, int32_t(std::streamoff(d.audioStart)),
                                                    d.audioSize, d.toc, text);
    EXPECT_TRUE(reader);
    HRESULT hr = E_FAIL;
    auto* stream = new Recorder::RawStream(std::move(reader), cdText, L"TAVRINStream", 0, &hr);
    int32_t end = 0;
    const ULONG sector = cdText ? 2448 : 2368;
    LARGE_INTEGER at;
    at.QuadPart = -int64_t(kStart) * sector;
    stream->Seek(at, STREAM_SEEK_SET, nullptr);
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    Bytes all(std::size_t(st.cbSize.QuadPart - at.QuadPart));
    ULONG got = 0;
    EXPECT_EQ(stream->Read(all.data(), ULONG(all.size()), &got), S_OK);
    stream->Release();
    (void)end;
    return all;
  }
  std::vector<LPARAM> ProgressPositions() const {
    std::vector<LPARAM> p;
    for (const auto& m : page_.received())
      if (m.first == JOB_PROGRESS) p.push_back(m.second);
    return p;
  }

  static TempDir* folder_;
  static std::wstring* backup_;
  static std::vector<BackupDisc>* discs_;
  VirtualDriveSetup drive_;
  std::unique_ptr<CWizardInfo> info_;
  JobNotifications page_;
  std::wstring dump_;
};
TempDir* RecorderJobTest::folder_ = nullptr;
std::wstring* RecorderJobTest::backup_ = new std::wstring;
std::vector<BackupDisc>* RecorderJobTest::discs_ = new std::vector<BackupDisc>;

// The whole road: a rewritable disc erased first, then written with CD-Text
// by the program's own writer. The recorder gets exactly the raw stream's
// sectors; their audio is the disc image's, their subchannel checks out, and
// the lead-in carries the CD-Text (read back by libcdio on the host).
TEST_F(RecorderJobTest, ErasesAndRestoresTheDiscWithCdText) {
  drive_.Describe(WriterDrive(std::string(kBlankCdr) + "medium = cdrw\nstatus = complete\n"));
  Info()->eraseFirst = true;
  Info()->writeMode = 2;
  RecorderData job;
  const auto log = Run(job, 320);
  EXPECT_TRUE(job.Finish());
  EXPECT_EQ(job.Message(), kRecorded);

  // The erase first, then the write; the disc comes out at the end.
  const int erase = IndexOf(log, "call=erase EraseMedia");
  ASSERT_GE(erase, 0);
  EXPECT_TRUE(Has(log, "call=erase put_FullErase=0"));
  EXPECT_TRUE(Has(log, "call=erase put_ClientName=TAVRIN"));
  EXPECT_LT(erase, IndexOf(log, "call=AcquireExclusiveAccess"));
  EXPECT_TRUE(Has(log, "call=engine BytesPerSector=2448"));
  EXPECT_TRUE(Has(log, "call=burn start=-900 count=8250 bytes=2448 written=8250 hr=00000000"));
  EXPECT_GT(IndexOf(log, "call=EjectMedia"), IndexOf(log, "call=ReleaseExclusiveAccess"));

  // Progress: the erase from 0 to 20, the write from 20 to 320.
  const std::vector<LPARAM> p = ProgressPositions();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.front(), 0);
  for (std::size_t i = 1; i < p.size(); ++i) EXPECT_LE(p[i - 1], p[i]) << i;
  EXPECT_NE(std::find(p.begin(), p.end(), 20), p.end());
  EXPECT_GE(p.back(), 319);  // the last sector written is the one before the end

  const Bytes burned = ReadFileBytes(dump_);
  const Bytes expected = Expected(0, true);
  ASSERT_EQ(burned.size(), 8250u * 2448);
  ASSERT_TRUE(burned == expected);

  // The program area's audio is what the disc image holds.
  ImageRecorderData image;
  JobNotifications imagePage;
  const std::wstring cue = drive_.dir() / L"disc.cue";
  ASSERT_TRUE(image.Setup(imagePage.window(), cue, *backup_, 0, *discs_));
  ASSERT_TRUE(image.StartThread());
  ASSERT_TRUE(imagePage.WaitDone());
  ASSERT_TRUE(image.Finish());
  const Bytes bin = ReadFileBytes(drive_.dir() / L"disc.bin");
  ASSERT_EQ(bin.size(), 600u * 2352);
  for (int lba = 0; lba < 600; ++lba)
    ASSERT_TRUE(std::equal(bin.begin() + lba * 2352, bin.begin() + (lba + 1) * 2352,
                           burned.begin() + std::size_t(lba - kStart) * 2448))
        << lba;

  // Every sector's Q is sound and names its own time; the lead-in's R-W carry the CD-Text.
  const Bytes cdText = Recorder::BuildCdText((*discs_)[0].disc, (*discs_)[0].toc);
  Bytes leadInText;
  for (int32_t x = kStart; x < kEnd; ++x) {
    const QDecoder::Sector q = QDecoder::Decode(&burned[std::size_t(x - kStart) * 2448 + 2352]);
    ASSERT_TRUE(q.crcOk) << x;
    ASSERT_TRUE(q.pUniform) << x;
    ASSERT_EQ(q.Frames(x < -150 ? 3 : 7), x < -150 ? x + 450150 : x + 150) << x;
    if (x < -150 && leadInText.size() < cdText.size())
      leadInText.insert(leadInText.end(), q.rw.begin(), q.rw.end());
  }
  ASSERT_EQ(leadInText, cdText);
  if (const char* out = std::getenv("TAVRIN_BURN_CDTEXT_OUT")) {
    CreateDirectoryA(out, nullptr);
    const std::string base = std::string(out) + "\\burned";
    FILE* f = std::fopen((base + ".cdt").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(leadInText.data(), 1, leadInText.size(), f);
    std::fclose(f);
    f = std::fopen((base + ".expected").c_str(), "wb");
    ASSERT_TRUE(f);
    const auto& tracks = (*discs_)[0].disc.tracks;
    std::fprintf(f, "TRACKS 1 %d\n", int(tracks.size()) - 1);
    for (std::size_t t = 0; t < tracks.size(); ++t) {
      std::fprintf(f, "TITLE %d %s\n", int(t), Utf8::Encode(tracks[t].title).c_str());
      std::fprintf(f, "PERFORMER %d %s\n", int(t), Utf8::Encode(tracks[t].artist).c_str());
    }
    std::fclose(f);
  }
}

// Discs numbered from track 3 and a lone track 99 are burned numbered 1..N:
// the lead-in's points, A0 and A1, every Q track number and the CD-Text agree,
// and agree with the disc image's cue sheet. On the host libcdio reads the
// burned CD-Text, and cd-info reads it beside the image's sheet; bchunk and
// cdrdao read the image.
TEST_F(RecorderJobTest, DiscsNumberedFromALaterTrackAreBurnedFromOne) {
  const struct {
    const char* name;
    BackupMaker::DiscPlan plan;
  } cases[] = {{"from-track-3", {{0, 300, 500}, 750, 0, {440, 660, 880}, 3}},
               {"only-track-99", {{0}, 450, 0, {550}, 99}}};
  const char* out = std::getenv("TAVRIN_BURN_CDTEXT_OUT");
  if (out) CreateDirectoryA(out, nullptr);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Bytes> audio = {BackupMaker::EncodeDisc(c.plan)};
    std::vector<BackupDisc> described = BackupMaker::DescribeDiscs({c.plan}, audio);
    const int n = int(c.plan.tonesHz.size());
    for (int t = 1; t <= n; ++t) {
      described[0].disc.tracks[t].title = L"Song " + std::to_wstring(t);
      described[0].disc.tracks[t].artist = L"Singer " + std::to_wstring(t);
    }
    const std::wstring backup = drive_.dir() / (Utf8::Decode(c.name) + L".mp3");
    ASSERT_TRUE(BackupMaker::WriteBackup(backup, described, audio));
    ByteSourceSB source(backup, std::ios_base::in | std::ios_base::binary);
    std::basic_istream<unsigned char> is(&source);
    const std::vector<BackupDisc> discs = BackupFile::ReadDiscs(is);
    ASSERT_EQ(discs.size(), 1u);
    ASSERT_EQ(RawToc::FirstTrack(discs[0].toc), c.plan.firstTrack);

    drive_.Describe(WriterDrive(kBlankCdr));
    Info()->backupPath = backup;
    Info()->discs = discs;
    Info()->writeMode = 2;
    RecorderData job;
    JobNotifications page;
    Run(job, 300, page);
    ASSERT_TRUE(job.Finish()) << Utf8::Encode(job.Message());
    const Bytes burned = ReadFileBytes(dump_);
    const int32_t leadOut = RawToc::TrackLength(0, discs[0].toc);
    ASSERT_EQ(burned.size(), std::size_t(leadOut + 6750 - kStart) * 2448);

    std::set<int> points, tracks;
    int a0 = -1, a1 = -1;
    const Bytes cdText = Recorder::BuildCdText(discs[0].disc, discs[0].toc);
    Bytes leadInText;
    for (int32_t x = kStart; x < leadOut; ++x) {
      const QDecoder::Sector q = QDecoder::Decode(&burned[std::size_t(x - kStart) * 2448 + 2352]);
      ASSERT_TRUE(q.crcOk) << x;
      if (x < -150) {
        points.insert(q.q[2]);
        if (q.q[2] == 0xA0) a0 = QDecoder::FromBcd(q.q[7]);
        if (q.q[2] == 0xA1) a1 = QDecoder::FromBcd(q.q[7]);
        if (leadInText.size() < cdText.size())
          leadInText.insert(leadInText.end(), q.rw.begin(), q.rw.end());
      } else {
        tracks.insert(QDecoder::FromBcd(q.q[1]));
      }
      // Each track starts under its own number at index 1.
      for (int t = 1; t <= n; ++t)
        if (x == RawToc::TrackStart(t, discs[0].toc)) {
          EXPECT_EQ(QDecoder::FromBcd(q.q[1]), t) << x;
          EXPECT_EQ(q.q[2], 1) << x;
        }
    }
    std::set<int> expectedPoints = {0xA0, 0xA1, 0xA2}, expectedTracks;
    for (int t = 1; t <= n; ++t) {
      expectedPoints.insert(t / 10 << 4 | t % 10);
      expectedTracks.insert(t);
    }
    EXPECT_EQ(points, expectedPoints);
    EXPECT_EQ(tracks, expectedTracks);
    EXPECT_EQ(a0, 1);
    EXPECT_EQ(a1, n);
    ASSERT_EQ(leadInText, cdText);

    // The disc image of the same disc, its sheet numbering the tracks 1..N.
    const std::wstring folder = drive_.dir() / Utf8::Decode(c.name);
    CreateDirectoryW(folder.c_str(), nullptr);
    ImageRecorderData image;
    JobNotifications imagePage;
    const std::wstring cue = folder + L"\\disc image.cue";
    ASSERT_TRUE(image.Setup(imagePage.window(), cue, backup, 0, discs));
    ASSERT_TRUE(image.StartThread());
    ASSERT_TRUE(imagePage.WaitDone());
    ASSERT_TRUE(image.Finish());
    const Bytes sheet = ReadFileBytes(cue);
    const std::string sheetText(sheet.begin(), sheet.end());
    for (int t = 1; t <= n + 1; ++t) {
      char line[16];
      std::snprintf(line, sizeof line, "TRACK %02d AUDIO", t);
      EXPECT_EQ(t <= n, sheetText.find(line) != std::string::npos) << line;
    }
    if (!out) continue;
    const std::string base = std::string(out) + "\\burned-" + c.name;
    ASSERT_TRUE(WriteFileBytes(Utf8::Decode(base + ".cdt"), leadInText));
    std::string expected = "TRACKS 1 " + std::to_string(n) + "\n";
    for (std::size_t t = 0; t < discs[0].disc.tracks.size(); ++t) {
      expected +=
          "TITLE " + std::to_string(t) + " " + Utf8::Encode(discs[0].disc.tracks[t].title) + "\n";
      expected += "PERFORMER " + std::to_string(t) + " " +
                  Utf8::Encode(discs[0].disc.tracks[t].artist) + "\n";
    }
    ASSERT_TRUE(
        WriteFileBytes(Utf8::Decode(base + ".expected"), Bytes(expected.begin(), expected.end())));
    // For the image tools: the image, its audio, its layout and the burned CD-Text.
    const std::wstring images = Utf8::Decode(std::string(out) + "\\images\\" + c.name);
    CreateDirectoryW(Utf8::Decode(std::string(out) + "\\images").c_str(), nullptr);
    CreateDirectoryW(images.c_str(), nullptr);
    for (const wchar_t* name : {L"\\disc image.cue", L"\\disc image.bin"})
      ASSERT_TRUE(CopyFileW((folder + name).c_str(), (images + name).c_str(), FALSE));
    ASSERT_TRUE(WriteFileBytes(images + L"\\audio.mp3", audio[0]));
    ASSERT_TRUE(WriteFileBytes(images + L"\\burned.cdt", leadInText));
    std::string layout;
    for (int t = 1; t <= n; ++t)
      layout += "TRACK " + std::to_string(t) + " " +
                std::to_string(RawToc::TrackStart(t, discs[0].toc)) + " " +
                std::to_string(RawToc::TrackLength(t, discs[0].toc)) + "\n";
    ASSERT_TRUE(WriteFileBytes(images + L"\\layout.txt", Bytes(layout.begin(), layout.end())));
  }
}

// WriteEngine names the platform's writer: it gets the same calls and the
// same stream, and its finishing phase keeps the bar full.
TEST_F(RecorderJobTest, PlatformWriterWhenTheSettingNamesIt) {
  drive_.Describe(WriterDrive(kBlankCdr));
  Info()->writeEngine = L"MsftDiscFormat2RawCD";
  RecorderData job;
  const auto log = Run(job);
  EXPECT_TRUE(job.Finish());
  EXPECT_EQ(job.Message(), kRecorded);
  const char* order[] = {"rawcd put_Recorder",
                         "rawcd put_ClientName=TAVRIN",
                         "rawcd IsRecorderSupported",
                         "rawcd IsCurrentMediaSupported",
                         "rawcd PrepareMedia",
                         "rawcd put_RequestedSectorType=1",
                         "rawcd WriteMedia type=1 sinks=1",
                         "call=burn start=-900 count=8250",
                         "rawcd ReleaseMedia",
                         "call=EjectMedia"};
  int last = -1;
  for (const char* call : order) {
    const int at = IndexOf(log, call);
    EXPECT_GT(at, last) << call;
    last = at;
  }
  EXPECT_FALSE(Has(log, "call=engine"));
  EXPECT_TRUE(ReadFileBytes(dump_) == Expected(0, false));
  const std::vector<LPARAM> p = ProgressPositions();
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.back(), 300);
  for (std::size_t i = 1; i < p.size(); ++i) EXPECT_LE(p[i - 1], p[i]) << i;

  // Any other name is the program's own writer, the name compared exactly.
  drive_.Describe(WriterDrive(kBlankCdr));
  Info()->writeEngine = L"msftdiscformat2rawcd";
  RecorderData own;
  JobNotifications page;
  ASSERT_EQ(own.Start(page.window(), *info_), 300);
  ASSERT_TRUE(page.WaitDone());
  EXPECT_TRUE(own.Finish());
  const auto ownLog = drive_.TakeLog();
  EXPECT_TRUE(Has(ownLog, "call=engine WriteSection"));
  EXPECT_FALSE(Has(ownLog, "rawcd"));
}

TEST_F(RecorderJobTest, TheDiscQueueChoosesTheDisc) {
  drive_.Describe(WriterDrive(kBlankCdr));
  Info()->discQueue = {1, 0};
  RecorderData job;
  const auto log = Run(job);
  EXPECT_TRUE(job.Finish());
  EXPECT_TRUE(Has(log, "call=burn start=-900 count=8100 bytes=2368"));  // 450 sectors of audio
  EXPECT_TRUE(ReadFileBytes(dump_) == Expected(1, false));
}

// The CD-Text choice decides both the stream's subchannel and the sector type.
TEST_F(RecorderJobTest, WriteModeAndRecorderChooseCdText) {
  struct Row {
    int writeMode;
    bool capable;
    const char* bytes;
  } rows[] = {{0, true, "bytes=2448"},
              {0, false, "bytes=2368"},
              {1, true, "bytes=2368"},
              {2, false, "bytes=2448"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.writeMode);
    // The write itself fails at once: only its layout is looked at.
    drive_.Describe(WriterDrive(std::string(kBlankCdr) + "writefail = 0 80004005"));
    Info()->writeMode = r.writeMode;
    Info()->cdTextCapable = r.capable;
    RecorderData job;
    JobNotifications page;
    ASSERT_EQ(job.Start(page.window(), *info_), 300);
    ASSERT_TRUE(page.WaitDone());
    EXPECT_FALSE(job.Finish());
    EXPECT_TRUE(Has(Lines(drive_.TakeLog(), "call=burn"), r.bytes));
  }
}

// The first failing step names itself and the recording service's text; the
// medium is released and ejected all the same, and nothing is burned after a
// failure.
TEST_F(RecorderJobTest, FailuresGiveTheStepAndTheServiceText) {
  const std::wstring noDisc = L": There is no disc in the virtual drive.\r\n";
  struct Row {
    const char* keys;
    bool erase;
    int writeMode;
    std::wstring text;
    bool released;  // the writer released the medium
  } rows[] = {
      {"failcall = AcquireExclusiveAccess C0AA0202", false, 1,
       L"Windows Recording engine error (Prepare Media)" + noDisc, true},
      {"status = complete", false, 1, L"Windows Recording engine error (Prepare Media)", true},
      {"failcall = GetFeaturePage C0AA0202", false, 1,
       L"Windows Recording engine error (PutRecorder)" + noDisc, false},
      {"mastering = 41", false, 1, L"Windows Recording engine error (Unsupported Recorder)", true},
      {"medium = none", false, 1, L"Windows Recording engine error (Unsupported Medium)", true},
      {"mastering = 48", false, 2, L"Windows Recording engine error (Invalid Sector Type): ", true},
      // The writer's own write parameters refused as the write starts
      {"failcall = SetModePage C0AA0202", false, 1,
       L"Windows Recording engine error (Write failed)" + noDisc, true},
      {"writefail = 1000 C0AA0300", false, 1,
       L"Windows Recording engine error (Write failed): The virtual drive lost streaming while "
       L"writing.\r\n",
       true},
      {"medium = cdrw\nstatus = complete\nfailcall = EraseMedia C0AA0202", true, 1,
       L"Windows Recording engine error (Erase)" + noDisc, false},
      {"medium = cdrw\nstatus = complete\nfailcall = EraseRecorder C0AA0202", true, 1,
       L"Windows Recording engine error (SelectRecorder)" + noDisc, false},
      {"status = complete", true, 1, L"Windows Recording engine error (Erase)", false},  // a CD-R
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.keys);
    drive_.Describe(WriterDrive(std::string(kBlankCdr) + r.keys));
    Info()->eraseFirst = r.erase;
    Info()->writeMode = r.writeMode;
    RecorderData job;
    JobNotifications page;
    ASSERT_EQ(job.Start(page.window(), *info_), r.erase ? 320 : 300);
    ASSERT_TRUE(page.WaitDone());
    page.Drain();
    EXPECT_EQ(page.Count(JOB_DONE), 1);
    EXPECT_FALSE(job.Finish());
    const std::wstring text = job.Message();
    if (r.text.back() == L' ')
      EXPECT_TRUE(StartsWith(text, r.text) && text.size() > r.text.size()) << Utf8::Encode(text);
    else
      EXPECT_EQ(text, r.text) << Utf8::Encode(text);
    const auto log = drive_.TakeLog();
    EXPECT_TRUE(Has(log, "call=EjectMedia"));
    EXPECT_EQ(Has(log, "call=ReleaseExclusiveAccess"), r.released);
    if (r.keys[0] != 'w') {
      EXPECT_FALSE(Has(log, "call=burn"));
    }
  }
}

// A medium that cannot be released after a good write: the job is not a
// success, has no text of its own, and the disc still comes out.
TEST_F(RecorderJobTest, ReleaseFailingAfterTheWriteIsNoSuccess) {
  for (const wchar_t* engine : {L"", L"MsftDiscFormat2RawCD"}) {
    SCOPED_TRACE(Utf8::Encode(engine));
    drive_.Describe(
        WriterDrive(std::string(kBlankCdr) + "failcall = ReleaseExclusiveAccess C0AA0202\n"));
    Info()->writeEngine = engine;
    RecorderData job;
    JobNotifications page;
    const auto log = Run(job, 300, page);
    EXPECT_FALSE(job.Finish());
    EXPECT_EQ(job.Message(), L"");
    EXPECT_TRUE(Has(log, "call=burn start=-900 count=8250 bytes=2368 written=8250 hr=00000000"));
    EXPECT_TRUE(Has(log, "call=ReleaseExclusiveAccess hr=C0AA0202"));
    EXPECT_GT(IndexOf(log, "call=EjectMedia"), IndexOf(log, "call=ReleaseExclusiveAccess"));
  }
}

TEST_F(RecorderJobTest, NoRecorderOrNoAudioEndsWithoutWriting) {
  drive_.Describe(WriterDrive(kBlankCdr));
  Info()->restoreTarget = 'Q' - 'A' + 1;  // no recorder there
  RecorderData none;
  const auto noneLog = Run(none);
  EXPECT_FALSE(none.Finish());
  EXPECT_EQ(none.Message(), L"");
  EXPECT_TRUE(Lines(noneLog, "call=").empty());

  Info()->restoreTarget = kDriveW;
  Info()->backupPath = drive_.dir() / L"missing.mp3";
  RecorderData unreadable;
  JobNotifications page;
  const auto log = Run(unreadable, 300, page);
  EXPECT_FALSE(unreadable.Finish());
  EXPECT_TRUE(StartsWith(unreadable.Message(), L"Windows Recording engine error (Write failed)"));
  EXPECT_FALSE(Has(log, "AcquireExclusiveAccess"));
  EXPECT_TRUE(Has(log, "call=EjectMedia"));
}

// A backup whose audio cannot be decoded, or that is gone, ends the job before
// a rewritable disc is erased.
TEST_F(RecorderJobTest, UnreadableAudioLeavesTheRewritableDiscUnerased) {
  Bytes bytes = ReadFileBytes(*backup_);
  const BackupDisc& disc = (*discs_)[0];
  const std::size_t start = std::size_t(std::streamoff(disc.audioStart));
  std::fill(bytes.begin() + start, bytes.begin() + start + disc.audioSize, 0);
  const std::wstring undecodable = drive_.dir() / L"undecodable.mp3";
  ASSERT_TRUE(WriteFileBytes(undecodable, bytes));
  for (const std::wstring& path : {undecodable, drive_.dir() / L"missing.mp3"}) {
    SCOPED_TRACE(Utf8::Encode(path));
    drive_.Describe(WriterDrive(std::string(kBlankCdr) + "medium = cdrw\nstatus = complete\n"));
    Info()->backupPath = path;
    Info()->eraseFirst = true;
    RecorderData job;
    JobNotifications page;
    const auto log = Run(job, 320, page);
    EXPECT_FALSE(job.Finish());
    EXPECT_TRUE(StartsWith(job.Message(), L"Windows Recording engine error (Write failed)"))
        << Utf8::Encode(job.Message());
    EXPECT_FALSE(Has(log, "EraseMedia"));
    EXPECT_FALSE(Has(log, "AcquireExclusiveAccess"));
    EXPECT_TRUE(Has(log, "call=EjectMedia"));
  }
}

// A job whose stop flag a test can watch, to cancel while its worker is held.
class WatchedRecorderData : public RecorderData {
 public:
  using ThreadedJob::Stopping;
};

// A Cancel never starts an erase or a write that it would then break off. The
// worker is held in its search for the recorder until the Cancel has set the
// stop flag.
TEST_F(RecorderJobTest, CancelBeforeTheWriteWritesNothing) {
  const std::wstring event = L"TavrinRecorderJobTestGo" + std::to_wstring(GetCurrentProcessId());
  for (bool erase : {false, true}) {
    SCOPED_TRACE(erase);
    const HANDLE go = CreateEventW(nullptr, TRUE, FALSE, event.c_str());
    ASSERT_TRUE(go);
    drive_.Describe(WriterDrive(std::string(kBlankCdr) + "medium = cdrw\nholdcall = " +
                                "InitializeDiscRecorder " + Utf8::Encode(event) + "\n"));
    Info()->eraseFirst = erase;
    WatchedRecorderData job;
    JobNotifications page;
    ASSERT_EQ(job.Start(page.window(), *info_), erase ? 320 : 300);
    bool finished = true;
    std::thread cancel([&] { finished = job.Finish(); });
    EXPECT_TRUE(page.PumpUntil([&] { return job.Stopping(); }));
    SetEvent(go);
    cancel.join();
    CloseHandle(go);
    EXPECT_FALSE(finished);
    page.Drain();
    EXPECT_EQ(page.Count(JOB_DONE), 1);
    EXPECT_EQ(job.Message(), L"");
    const auto log = drive_.TakeLog();
    EXPECT_FALSE(Has(log, "EraseMedia"));
    EXPECT_FALSE(Has(log, "AcquireExclusiveAccess"));
    EXPECT_FALSE(Has(log, "WriteSection"));
    EXPECT_TRUE(Has(log, "call=EjectMedia"));
  }
}

TEST_F(RecorderJobTest, CancelDuringTheEraseLetsItEndAndWritesNothing) {
  drive_.Describe(
      WriterDrive(std::string(kBlankCdr) + "medium = cdrw\nstatus = complete\nerasestep = 150\n"));
  Info()->eraseFirst = true;
  RecorderData job;
  ASSERT_EQ(job.Start(page_.window(), *info_), 320);
  ASSERT_TRUE(page_.PumpUntil([this] { return page_.Count(JOB_PROGRESS) > 0; }));
  EXPECT_FALSE(job.Finish());
  page_.Drain();
  EXPECT_EQ(page_.Count(JOB_DONE), 1);
  EXPECT_EQ(job.Message(), L"");
  const auto log = drive_.TakeLog();
  EXPECT_TRUE(Has(log, "call=erase EraseMedia hr=00000000"));
  EXPECT_FALSE(Has(log, "AcquireExclusiveAccess"));
  EXPECT_FALSE(Has(log, "WriteSection"));
  EXPECT_TRUE(Has(log, "call=EjectMedia"));
  EXPECT_LE(page_.LastProgress(), 20);
}

TEST_F(RecorderJobTest, CancelDuringTheWriteStopsItAtTheNextEvent) {
  drive_.Describe(WriterDrive(std::string(kBlankCdr) + "eventevery = 200\neventdelay = 30\n"));
  RecorderData job;
  ASSERT_EQ(job.Start(page_.window(), *info_), 300);
  ASSERT_TRUE(page_.PumpUntil([this] { return page_.LastProgress() > 0; }));
  EXPECT_FALSE(job.Finish());
  page_.Drain();
  EXPECT_EQ(page_.Count(JOB_DONE), 1);
  EXPECT_EQ(job.Message(),
            L"Windows Recording engine error (Write failed): The virtual drive "
            L"cancelled the request.\r\n");
  const auto log = drive_.TakeLog();
  EXPECT_TRUE(Has(log, "call=engine CancelWrite"));
  const auto burn = Lines(log, "call=burn");
  ASSERT_EQ(burn.size(), 1u);
  EXPECT_NE(burn[0].find("hr=C0AA0002"), std::string::npos);
  EXPECT_GT(IndexOf(log, "call=ReleaseExclusiveAccess"), IndexOf(log, "call=burn"));
  EXPECT_TRUE(Has(log, "call=EjectMedia"));
}

// ---- Start and Finish: the battery question and the shutdown-block reason ----

struct SystemLog {
  BYTE acLine = 1;
  BOOL powerKnown = TRUE;
  int answer = 6;
  std::vector<TaskDialogDesc> asked;
  bool shutdownFunctions = true;
  BOOL createResult = TRUE;
  std::vector<std::pair<HWND, std::wstring>> created;
  std::vector<HWND> destroyed;
};
SystemLog* g_system = nullptr;

RecorderSystemCalls FakeSystem() {
  RecorderSystemCalls calls;
  calls.getPowerStatus = [](LPSYSTEM_POWER_STATUS s) -> BOOL WINAPI {
    s->ACLineStatus = g_system->acLine;
    return g_system->powerKnown;
  };
  calls.ask = [](HWND, const TaskDialogDesc& q) {
    g_system->asked.push_back(q);
    return g_system->answer;
  };
  calls.user32 = [](const char* name) -> void* {
    if (!g_system->shutdownFunctions) return nullptr;
    if (std::string(name) == "ShutdownBlockReasonCreate")
      return reinterpret_cast<void*>(+[](HWND w, LPCWSTR text) -> BOOL WINAPI {
        g_system->created.emplace_back(w, text);
        return g_system->createResult;
      });
    if (std::string(name) == "ShutdownBlockReasonDestroy")
      return reinterpret_cast<void*>(+[](HWND w) -> BOOL WINAPI {
        g_system->destroyed.push_back(w);
        return TRUE;
      });
    return nullptr;
  };
  return calls;
}

class RecorderStartTest : public RecorderJobTest {
 protected:
  void SetUp() override {
    RecorderJobTest::SetUp();
    g_system = &system_;
    Info()->restoreTarget = 'Q' - 'A' + 1;  // the job then ends at once
    Info()->sheetWindow = page_.window();
  }
  void TearDown() override {
    g_system = nullptr;
    RecorderJobTest::TearDown();
  }
  SystemLog system_;
};

TEST_F(RecorderStartTest, OnBatteryTheUserIsAskedFirst) {
  system_.acLine = 0;
  for (int answer : {7, 2, 6}) {
    SCOPED_TRACE(answer);
    system_.answer = answer;
    system_.asked.clear();
    RecorderData job(FakeSystem());
    JobNotifications page;
    EXPECT_EQ(job.Start(page.window(), *info_), answer == 6 ? 300 : 0);
    ASSERT_EQ(system_.asked.size(), 1u);
    const TaskDialogDesc& q = system_.asked[0];
    EXPECT_EQ(q.title, L"Your system is running on battery !");
    EXPECT_EQ(q.mainInstruction,
              L"If your system does not have enough battery power left the recording will fail");
    EXPECT_EQ(q.content, L"");
    EXPECT_EQ(q.mainIcon, 0xFFFF);
    EXPECT_EQ(q.flags, 24);
    ASSERT_EQ(q.buttons.size(), 2u);
    EXPECT_EQ(q.buttons[0].id, 6);
    EXPECT_EQ(q.buttons[0].text, L"Continue\nRecord this disc on battery power.");
    EXPECT_EQ(q.buttons[1].id, 7);
    EXPECT_EQ(q.buttons[1].text, L"Abort\nTry again if system is back on AC power");
    EXPECT_EQ(q.messageBoxText, L"Select 'Yes' if you have enough capacity left to continue.");
    EXPECT_EQ(q.messageBoxType, 52);
    if (answer == 6) {
      EXPECT_TRUE(page.WaitDone());
    }
    page.PumpUntil([] { return false; }, 50);
    EXPECT_EQ(page.Count(JOB_DONE), answer == 6 ? 1 : 0);
    EXPECT_FALSE(job.Finish());
    EXPECT_EQ(job.Message(), L"");
  }
  // On mains power, or when the power status is unknown, nobody is asked.
  for (BYTE ac : {BYTE(1), BYTE(255)}) {
    system_.acLine = ac;
    system_.asked.clear();
    RecorderData job(FakeSystem());
    EXPECT_EQ(job.Start(page_.window(), *info_), 300);
    EXPECT_TRUE(system_.asked.empty());
    job.Finish();
  }
  system_.acLine = 0;
  system_.powerKnown = FALSE;
  RecorderData job(FakeSystem());
  EXPECT_EQ(job.Start(page_.window(), *info_), 300);
  EXPECT_TRUE(system_.asked.empty());
  job.Finish();
}

TEST_F(RecorderStartTest, ShutdownIsBlockedWhileRecording) {
  {
    RecorderData job(FakeSystem());
    ASSERT_EQ(job.Start(page_.window(), *info_), 300);
    ASSERT_EQ(system_.created.size(), 1u);
    EXPECT_EQ(system_.created[0].first, Info()->sheetWindow);
    EXPECT_EQ(system_.created[0].second,
              L"You can't quit now because Velmora TAVRIN is currently recording a disc");
    EXPECT_TRUE(system_.destroyed.empty());
    const bool first = job.Finish();
    EXPECT_EQ(job.Finish(), first);
    EXPECT_EQ(system_.destroyed, std::vector<HWND>{Info()->sheetWindow});
  }
  EXPECT_EQ(system_.destroyed.size(), 1u);  // not again when the job goes
  // A reason the system refused is not taken back; without the functions nothing is called.
  system_.createResult = FALSE;
  {
    RecorderData job(FakeSystem());
    ASSERT_EQ(job.Start(page_.window(), *info_), 300);
    job.Finish();
  }
  EXPECT_EQ(system_.destroyed.size(), 1u);
  system_.shutdownFunctions = false;
  RecorderData job(FakeSystem());
  EXPECT_EQ(job.Start(page_.window(), *info_), 300);
  job.Finish();
  EXPECT_EQ(system_.created.size(), 2u);
}

TEST_F(RecorderStartTest, NothingStartsWithoutADiscOrADrive) {
  struct Row {
    int target;
    std::vector<int32_t> queue;
  } rows[] = {{0, {0}}, {27, {0}}, {'Q' - 'A' + 1, {2}}, {'Q' - 'A' + 1, {-1}}};
  for (const Row& r : rows) {
    Info()->restoreTarget = r.target;
    Info()->discQueue = r.queue;
    RecorderData job(FakeSystem());
    JobNotifications page;
    EXPECT_EQ(job.Start(page.window(), *info_), 0);
    EXPECT_FALSE(job.Finish());
    page.PumpUntil([] { return false; }, 30);
    EXPECT_EQ(page.Count(JOB_DONE), 0);
  }
  EXPECT_TRUE(system_.created.empty());
}

}  // namespace

// The CD layer against the virtual IMAPI2 drive registered in the test prefix.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <thread>

#include "engine/cd/CdDevice.h"
#include "tests/engine/TocBuilder.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"

namespace {

using CdDevice::DriveEntry;

// Three recorders with letters, one without (a mounted folder only), one with
// its letter in lower case after a mounted folder.
const char kMachine[] = R"(
[drive]
id = VD-E
volumes = E:\
track = 0 audio 441
track = 300 audio 882
track = 450 audio 0
leadout = 600
fail = 500-505
fail = 520 2
slow = 540 30

[drive]
id = VD-F
volumes = F:\

[drive]
id = VD-FOLDER
volumes = C:\mnt\cd\
track = 0 audio 441
leadout = 300

[drive]
id = VD-G
volumes = C:\mnt\g\ | g:\
track = 0 data
track = 11400 audio 441
leadout = 12000
)";

class CdImapi : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    disc_ = vdrive_.Describe(kMachine);
    list_ = CdDevice::GetDriveList();
    vdrive_.TakeLog();
  }
  void TearDown() override { CoUninitialize(); }

  std::vector<unsigned char> Expected(int drive, LONG lba, unsigned count) {
    std::vector<unsigned char> out(count * CdDevice::kSectorBytes);
    for (unsigned i = 0; i < count; ++i)
      VirtualDisc::FillSector(disc_.drives[drive], lba + LONG(i), &out[i * CdDevice::kSectorBytes]);
    return out;
  }

  VirtualDriveSetup vdrive_;
  VirtualDisc::Description disc_;
  std::vector<DriveEntry> list_;
};

TEST_F(CdImapi, ListsRecordersWithLettersKindsAndTocsInEnumerationOrder) {
  EXPECT_EQ(CdDevice::CurrentBackend(), CdDevice::BackendImapi);
  ASSERT_EQ(list_.size(), 3u);
  EXPECT_EQ(list_[0].letter, L'E');
  EXPECT_EQ(list_[0].kind, CdDevice::KindAudio);
  EXPECT_EQ(list_[0].toc, MakeToc({0, 300, 450, 600}));
  EXPECT_EQ(list_[1].letter, L'F');
  EXPECT_EQ(list_[1].kind, CdDevice::KindUnknown);  // no disc
  EXPECT_TRUE(list_[1].toc.empty());
  EXPECT_EQ(list_[2].letter, L'G');
  EXPECT_EQ(list_[2].kind, CdDevice::KindData);  // the first track decides
  EXPECT_EQ(list_[2].toc, VirtualDisc::TocReply(disc_.drives[3]));

  // Each listed drive got exactly the READ TOC of the drive list.
  const auto log = vdrive_.TakeLog();
  CdDevice::GetDriveList();
  const auto again = vdrive_.TakeLog();
  ASSERT_EQ(again.size(), 3u);
  EXPECT_EQ(again[0], "VD-E cdb=43020000000000032400 timeout=20 buf=804 hr=00000000 fetched=36");
  EXPECT_EQ(again[1], "VD-F cdb=43020000000000032400 timeout=20 buf=804 hr=00AA0200 fetched=0");
  EXPECT_EQ(again[2], "VD-G cdb=43020000000000032400 timeout=20 buf=804 hr=00000000 fetched=28");
  // The shell's names and icon of each drive root.
  for (const DriveEntry& e : list_) {
    const wchar_t root[] = {e.letter, L':', 0};
    EXPECT_NE(std::wcsstr(e.displayName, root), nullptr) << e.displayName;
    EXPECT_NE(e.typeName[0], 0);
    EXPECT_NE(e.icon, nullptr);
    EXPECT_GT(e.iconHeight, 0);
  }
}

TEST_F(CdImapi, ReadsTheDiscsAudioAcrossTrackBoundariesOnAWorkerThread) {
  std::vector<unsigned char> got(12 * CdDevice::kSectorBytes, 0xEE);
  HRESULT hr = E_FAIL;
  // The ripper opens and reads on a thread of its own.
  std::thread worker([&] {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CdDevice::DriveHandle* drive = CdDevice::OpenDrive(L'E');
    if (drive) hr = CdDevice::ReadAudioSectors(drive, got.data(), 294, 12);
    CdDevice::CloseDrive(drive);
    CoUninitialize();
  });
  worker.join();
  ASSERT_EQ(hr, S_OK);
  EXPECT_TRUE(got == Expected(0, 294, 12));
  // Track 2 starts at sector 300 with its tone's phase 0: sine on the left,
  // cosine on the right.
  const unsigned char* t2 = &got[6 * CdDevice::kSectorBytes];
  EXPECT_EQ(int16_t(t2[0] | t2[1] << 8), 0);
  EXPECT_EQ(int16_t(t2[2] | t2[3] << 8), 8000);
  EXPECT_EQ(vdrive_.TakeLog().back(),
            "VD-E cdb=BE040000012600000C100000 timeout=20 buf=28224 hr=00000000 fetched=28224");
}

TEST_F(CdImapi, ReadErrorsAreReportedAsTheDrivesSenseResult) {
  CdDevice::DriveHandle* drive = CdDevice::OpenDrive(L'e');
  ASSERT_NE(drive, nullptr);
  std::vector<unsigned char> buf(12 * CdDevice::kSectorBytes);
  struct Case {
    LONG lba;
    unsigned count;
    HRESULT hr;
  };
  const Case cases[] = {
      {490, 12, Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA},  // a block over failing sectors
      {506, 12, S_OK},                                    // just after them
      {520, 1, Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA},   // fails twice ...
      {520, 1, Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA},
      {520, 1, S_OK},                                     // ... then reads
      {595, 12, Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA},  // into the lead-out
      {0, 256, E_INVALIDARG},                             // more than one command carries
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> big(c.count * CdDevice::kSectorBytes);
    EXPECT_EQ(CdDevice::ReadAudioSectors(drive, big.data(), c.lba, c.count), c.hr)
        << c.lba << " x" << c.count;
  }
  // Every command reached the drive but the one the layer refused.
  EXPECT_EQ(vdrive_.TakeLog().size(), std::size(cases) - 1);
  CdDevice::CloseDrive(drive);

  // Audio sectors of the Enhanced CD's data track are refused by the drive.
  drive = CdDevice::OpenDrive(L'G');
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(CdDevice::ReadAudioSectors(drive, buf.data(), 0, 1),
            Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA);
  EXPECT_EQ(CdDevice::ReadAudioSectors(drive, buf.data(), 11400, 1), S_OK);
  CdDevice::CloseDrive(drive);
  CdDevice::CloseDrive(nullptr);
}

TEST_F(CdImapi, RecordersAreFoundByLetter) {
  EXPECT_EQ(CdDevice::FindRecorders(0).size(), 3u);
  for (wchar_t letter : {L'E', L'g'}) {
    auto found = CdDevice::FindRecorders(letter);
    ASSERT_EQ(found.size(), 1u) << char(letter);
    BSTR id = nullptr;
    ASSERT_EQ(found[0]->get_ActiveDiscRecorder(&id), S_OK);
    EXPECT_EQ(std::wstring(id), letter == L'E' ? L"VD-E" : L"VD-G");
    SysFreeString(id);
  }
  EXPECT_TRUE(CdDevice::FindRecorders(L'C').empty());  // only a mounted folder on C:
  EXPECT_EQ(CdDevice::OpenDrive(L'Q'), nullptr);

  // Two recorders claiming E: the search stops at the first. An id that the
  // master lists twice is one recorder.
  vdrive_.Describe(
      "[drive]\nid = A\nvolumes = E:\\\n[drive]\nid = B\nvolumes = E:\\\n"
      "[drive]\nid = A\nvolumes = E:\\\n");
  EXPECT_EQ(CdDevice::FindRecorders(L'E').size(), 1u);
  EXPECT_EQ(CdDevice::FindRecorders(0).size(), 2u);
}

SAFEARRAY* Names(std::initializer_list<const wchar_t*> names) {
  SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(names.size()));
  LONG i = 0;
  for (const wchar_t* n : names) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = SysAllocString(n);
    SafeArrayPutElement(a, &i, &v);
    VariantClear(&v);
    ++i;
  }
  return a;
}

TEST(CdVolumeRoot, FindsTheDriveRootAmongVolumeNames) {
  struct Case {
    std::initializer_list<const wchar_t*> names;
    wchar_t letter;
    const wchar_t* root;  // null: not found
  };
  const Case cases[] = {
      {{L"C:\\mnt\\cd\\", L"r:\\"}, 0, L"r:\\"},  {{L"C:\\mnt\\cd\\", L"r:\\"}, L'R', L"r:\\"},
      {{L"D:\\", L"E:\\"}, L'E', L"E:\\"},        {{L"D:\\", L"E:\\"}, 0, L"D:\\"},
      {{L"E:", L"E:\\x", L"E:/"}, L'E', nullptr}, {{}, 0, nullptr},
  };
  for (const Case& c : cases) {
    std::wstring root;
    EXPECT_EQ(CdDevice::FindVolumeRoot(Names(c.names), c.letter, root), c.root != nullptr);
    EXPECT_EQ(root, c.root ? c.root : L"");
  }
  std::wstring root;
  EXPECT_FALSE(CdDevice::FindVolumeRoot(nullptr, 0, root));
  SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 2);  // not strings
  EXPECT_FALSE(CdDevice::FindVolumeRoot(numbers, 0, root));
}

TEST_F(CdImapi, ErrorTextsComeFromTheServiceThenFromTheSystem) {
  // The virtual service is loaded now and carries its own message table.
  ASSERT_NE(GetModuleHandleW(L"imapi2.dll"), nullptr);
  EXPECT_EQ(CdDevice::GetImapiErrorText(Imapi2::E_IMAPI_RECORDER_MEDIA_NO_MEDIA),
            L"There is no disc in the virtual drive.\r\n");
  wchar_t* system = nullptr;
  FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                 E_ACCESSDENIED, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
  ASSERT_NE(system, nullptr);
  EXPECT_EQ(CdDevice::GetImapiErrorText(E_ACCESSDENIED), system);
  LocalFree(system);
  EXPECT_EQ(CdDevice::GetImapiErrorText(static_cast<HRESULT>(0xC0AA7777)), L"");
}

TEST(CdToc, RepliesAreKeptOnlyWhenTheyAreWholeTocs) {
  struct Case {
    const char* what;
    std::vector<unsigned char> reply;
    size_t fetched;  // 0: all of it
    int kind;
    size_t kept;
  };
  auto withLength = [](std::vector<unsigned char> t, int length) {
    t[0] = static_cast<unsigned char>(length >> 8);
    t[1] = static_cast<unsigned char>(length);
    return t;
  };
  auto withLast = [](std::vector<unsigned char> t, unsigned char last) {
    t[3] = last;
    return t;
  };
  const auto one = MakeToc({0, 1000});
  const auto enhanced = [] {
    auto t = MakeToc({0, 1000, 13000});
    t[13] = 0x14;  // the second track is data
    return t;
  }();
  const Case cases[] = {
      {"one track", one, 0, CdDevice::KindAudio, 20},
      {"Enhanced CD", enhanced, 0, CdDevice::KindAudio, 28},
      {"data first", MakeToc({0, 1000, 2000}, 1, 0x14), 0, CdDevice::KindData, 28},
      {"ninety-nine tracks", MakeToc(std::vector<int>(100, 0)), 0, CdDevice::KindAudio, 804},
      {"trailing bytes ignored",
       [&] {
         auto t = one;
         t.resize(804, 0x55);
         return t;
       }(),
       0, CdDevice::KindAudio, 20},
      {"length below one track", withLength(one, 10), 0, CdDevice::KindUnknown, 0},
      {"partial descriptor", withLength(one, 0x13), 0, CdDevice::KindUnknown, 0},
      {"length past the reply", withLength(one, 0xFFFF), 0, CdDevice::KindUnknown, 0},
      {"fetched short", one, 19, CdDevice::KindUnknown, 0},
      {"header only", one, 4, CdDevice::KindUnknown, 0},
      {"last before first", withLast(MakeToc({0, 1000, 2000}, 3), 2), 0, CdDevice::KindUnknown, 0},
      {"count disagrees", withLast(MakeToc({0, 1000, 2000}), 5), 0, CdDevice::KindUnknown, 0},
      {"first track 0", MakeToc({0, 1000}, 0), 0, CdDevice::KindUnknown, 0},
      {"only track 99", MakeToc({0, 1000}, 99), 0, CdDevice::KindAudio, 20},
      {"track 100", MakeToc({0, 1000, 2000}, 99), 0, CdDevice::KindUnknown, 0},
  };
  for (const Case& c : cases) {
    std::vector<unsigned char> toc = {1, 2, 3};
    EXPECT_EQ(CdDevice::JudgeTocReply(c.reply.data(), c.fetched ? c.fetched : c.reply.size(), toc),
              c.kind)
        << c.what;
    EXPECT_EQ(toc.size(), c.kept) << c.what;
  }
}

// The session information of a disc of one session, of an Enhanced CD (its
// data track in a second session) and of a drive that does not answer it.
TEST_F(CdImapi, TellsTheNumberOfTheDiscsLastSession) {
  vdrive_.Describe(
      "[drive]\nid = ONE\nvolumes = E:\\\ntrack = 0 audio\ntrack = 1500 data\nleadout = 3000\n"
      "[drive]\nid = TWO\nvolumes = F:\\\ntrack = 0 audio\ntrack = 13000 data\nsession = 2\n"
      "leadout = 15000\n"
      "[drive]\nid = NONE\nvolumes = G:\\\ntrack = 0 audio\nleadout = 3000\nsessioninfo = no\n");
  const std::pair<wchar_t, int> cases[] = {{L'E', 1}, {L'F', 2}, {L'G', 0}};
  for (const auto& c : cases) {
    CdDevice::DriveHandle* drive = CdDevice::OpenDrive(c.first);
    ASSERT_NE(drive, nullptr);
    EXPECT_EQ(CdDevice::ReadLastSession(drive), c.second) << char(c.first);
    CdDevice::CloseDrive(drive);
  }
  std::vector<std::string> log;
  for (const std::string& line : vdrive_.TakeLog())
    if (line.find(" cdb=") != std::string::npos) log.push_back(line);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0], "ONE cdb=43020100000000000C00 timeout=20 buf=12 hr=00000000 fetched=12");
  EXPECT_EQ(log[2], "NONE cdb=43020100000000000C00 timeout=20 buf=12 hr=00AA0200 fetched=0");
  EXPECT_EQ(CdDevice::ReadLastSession(nullptr), 0);
}

TEST_F(CdImapi, ADriveWithAnUnusableTocIsListedWithoutADisc) {
  vdrive_.Describe(
      "[drive]\nid = BAD\nvolumes = E:\\\ntocreply = 0008 0101 0010 0100 0000 0200\n"
      "[drive]\nid = SHORT\nvolumes = F:\\\ntocreply = 0012 0101 0010 0100 0000 0200 00\n");
  const auto list = CdDevice::GetDriveList();
  ASSERT_EQ(list.size(), 2u);
  for (const DriveEntry& e : list) {
    EXPECT_EQ(e.kind, CdDevice::KindUnknown);
    EXPECT_TRUE(e.toc.empty());
  }
}

}  // namespace

namespace {

TEST_F(CdImapi, ADiscImageServesItsOwnBytes) {
  std::string bin(3 * CdDevice::kSectorBytes, '\0');
  for (size_t i = 0; i < bin.size(); ++i) bin[i] = char(i * 7 + i / CdDevice::kSectorBytes);
  const std::wstring path = vdrive_.dir() / L"disc.bin";
  VirtualDriveSetup::Write(path, bin);
  vdrive_.Describe("[drive]\nid = IMG\nvolumes = E:\\\ntrack = 0 audio\nleadout = 3\nimage = " +
                   std::string(path.begin(), path.end()) + "\n");
  CdDevice::DriveHandle* drive = CdDevice::OpenDrive(L'E');
  ASSERT_NE(drive, nullptr);
  std::vector<unsigned char> got(2 * CdDevice::kSectorBytes);
  ASSERT_EQ(CdDevice::ReadAudioSectors(drive, got.data(), 1, 2), S_OK);
  EXPECT_TRUE(
      std::equal(got.begin(), got.end(),
                 reinterpret_cast<const unsigned char*>(bin.data()) + CdDevice::kSectorBytes));
  CdDevice::CloseDrive(drive);
}

}  // namespace

namespace {

TEST_F(CdImapi, AWholeTwelveTrackDiscReadsBackTrackByTrack) {
  const std::vector<int> seconds = {3, 4, 2, 5, 3, 3, 4, 2, 6, 3, 2, 4};
  const auto disc = vdrive_.Describe(VirtualDisc::ToneDisc("VD-12", 'E', seconds));
  const auto list = CdDevice::GetDriveList();
  ASSERT_EQ(list.size(), 1u);
  ASSERT_EQ(list[0].kind, CdDevice::KindAudio);
  ASSERT_EQ(list[0].toc.size(), 4u + 13 * 8);
  CdDevice::DriveHandle* drive = CdDevice::OpenDrive(L'E');
  ASSERT_NE(drive, nullptr);
  const int32_t end = disc.drives[0].leadOut;
  std::vector<unsigned char> block(12 * CdDevice::kSectorBytes), want(CdDevice::kSectorBytes);
  std::vector<int> zeroCrossingsPerTrack(seconds.size());
  int16_t previous = 0;
  for (int32_t lba = 0; lba < end; lba += 12) {
    const unsigned n = unsigned(std::min<int32_t>(12, end - lba));
    ASSERT_EQ(CdDevice::ReadAudioSectors(drive, block.data(), lba, n), S_OK) << lba;
    for (unsigned i = 0; i < n; ++i) {
      VirtualDisc::FillSector(disc.drives[0], lba + int32_t(i), want.data());
      ASSERT_TRUE(std::equal(want.begin(), want.end(), &block[i * CdDevice::kSectorBytes]));
      // Count rising zero crossings of the left channel to tell the tones apart.
      const int t = VirtualDisc::TrackAt(disc.drives[0], lba + int32_t(i));
      const unsigned char* s = &block[i * CdDevice::kSectorBytes];
      for (unsigned k = 0; k < VirtualDisc::kSamplesPerSector; ++k) {
        const int16_t sample = int16_t(s[k * 4] | s[k * 4 + 1] << 8);
        if (previous < 0 && sample >= 0) ++zeroCrossingsPerTrack[t];
        previous = sample;
      }
    }
  }
  CdDevice::CloseDrive(drive);
  for (size_t t = 0; t < seconds.size(); ++t)
    EXPECT_NEAR(zeroCrossingsPerTrack[t] / double(seconds[t]), 220 + 55 * t, 2) << "track " << t;
}

}  // namespace

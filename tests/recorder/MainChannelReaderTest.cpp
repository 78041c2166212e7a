#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "recorder/MainChannelReader.h"
#include "tests/engine/TocBuilder.h"
#include "tests/recorder/Mp3Fixture.h"
#include "tests/recorder/QDecoder.h"
#include "tests/recorder/ScriptedAcm.h"
#include "tests/support/TempDir.h"

using namespace Recorder;
using Bytes = std::vector<unsigned char>;

namespace {

const wchar_t kNoFile[] = L"C:\\no such folder\\backup.mp3";

// A level that is never silent and tells the sectors apart.
int Loud(int s) { return 1000 + s % 500; }

}  // namespace

// Silence before a track start becomes its index-0 pregap in steps of whole
// and half seconds; shorter silence gives none.
TEST(MainChannelReader, PregapsFromSilenceBeforeTracks) {
  const std::vector<int> starts = {0, 2000, 4000, 6000, 8000, 10000, 12000};
  const std::map<int, int> silence = {{2000, 40}, {4000, 30}, {6000, 80}, {8000, 150}, {10000, 39}};
  const std::map<int, int> pregap = {{2000, 31}, {4000, 0}, {6000, 70}, {8000, 106}, {10000, 0}};
  const Bytes pcm = SectorPcm(12000, [&](int s) {
    for (const auto& [c, n] : silence)
      if (s >= c - n && s < c) return s % 2 ? 15 : -15;
    return Loud(s);
  });
  const Bytes toc = MakeToc(starts);
  const Bytes noText;
  auto acm = std::make_shared<ScriptedAcm>(pcm);
  auto reader = CreateMainChannelReader(kNoFile, 0, 1000, toc, noText, acm);
  ASSERT_TRUE(reader);
  int32_t end = 0;
  ASSERT_EQ(reader->GetEndLba(&end), S_OK);
  EXPECT_EQ(end, 18750);

  Bytes main, sub;
  std::map<int, int> indexZero;  // track -> sectors with INDEX 0 before it
  for (int x = -22650; x < end; ++x) {
    ASSERT_EQ(reader->ReadSector(x, main, sub), S_OK) << x;
    ASSERT_EQ(main.size(), 2352u);
    ASSERT_EQ(sub.size(), 96u);
    const QDecoder::Sector s = QDecoder::Decode(sub.data());
    ASSERT_TRUE(s.crcOk) << x;
    if (x >= 0 && x < 12000) {
      ASSERT_TRUE(std::equal(main.begin(), main.end(), pcm.begin() + std::size_t(x) * 2352)) << x;
      if (s.q[2] == 0) ++indexZero[QDecoder::FromBcd(s.q[1])];
      const int tno = QDecoder::FromBcd(s.q[1]);
      if (s.q[2] == 0) {
        EXPECT_EQ(s.Frames(3), starts[tno - 1] - x) << x;
      }
    } else {
      ASSERT_EQ(main, Bytes(2352, 0)) << x;
    }
  }
  for (const auto& [c, n] : pregap) {
    const int track = int(std::find(starts.begin(), starts.end(), c) - starts.begin()) + 1;
    EXPECT_EQ(indexZero[track], n) << "before track " << track;
  }
  EXPECT_EQ(reader->ReadSector(end, main, sub), STG_E_READFAULT);
}

// Audio that runs out early: the last 32 sectors before the lead-out may be
// silent; a disc whose audio cannot fill the first ten seconds (or all of a
// shorter disc but those 32) is refused before anything is read.
TEST(MainChannelReader, AudioThatEndsEarly) {
  struct Row {
    int program, audio;
    bool created;
    int failsAt;  // first program sector that fails, -1 none
  };
  const Row rows[] = {
      {1000, 1000, true, -1}, {1000, 968, true, -1}, {1000, 967, true, 967}, {1000, 749, false, -1},
      {100, 68, true, -1},    {100, 67, false, -1},  {1000, 0, false, -1},
  };
  const Bytes noText;
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << r.program << " sectors, audio for " << r.audio);
    const Bytes toc = MakeToc({0, r.program});
    auto reader = CreateMainChannelReader(kNoFile, 0, 1000, toc, noText,
                                          std::make_shared<ScriptedAcm>(SectorPcm(r.audio, Loud)));
    ASSERT_EQ(bool(reader), r.created);
    if (!reader) continue;
    Bytes main, sub;
    int failed = -1;
    for (int x = -151; x < r.program + 10; ++x) {
      const HRESULT hr = reader->ReadSector(x, main, sub);
      if (hr != S_OK) {
        EXPECT_EQ(hr, STG_E_READFAULT);
        failed = x;
        break;
      }
      if (x >= r.audio && x < r.program) {
        EXPECT_EQ(main, Bytes(2352, 0)) << x;
      }
    }
    EXPECT_EQ(failed, r.failsAt);
  }
}

TEST(MainChannelReader, RefusesWhatItCannotGive) {
  const Bytes toc = MakeToc({0, 1000}), noText, badText(100), goodText(144);
  auto pcm = [] { return std::make_shared<ScriptedAcm>(SectorPcm(1000, Loud)); };
  EXPECT_FALSE(CreateMainChannelReader(kNoFile, 0, 1000, toc, badText, pcm()));
  EXPECT_FALSE(CreateMainChannelReader(kNoFile, 0, 1000, Bytes(10), noText, pcm()));
  EXPECT_FALSE(CreateMainChannelReader(kNoFile, 0, 1000, toc, noText,
                                       std::make_shared<ScriptedAcm>(Bytes(), false)));
  EXPECT_TRUE(CreateMainChannelReader(kNoFile, 0, 1000, toc, goodText, pcm()));
  // The system's decoder on a backup file that is not there.
  EXPECT_FALSE(CreateMainChannelReader(kNoFile, 0, 100000, toc, noText));
}

// The system's ACM decoder on real MP3 data inside a larger file.
TEST(MainChannelReader, DecodesTheDiscsRangeOfABackupFile) {
  TempDir dir;
  const int sectors = 1500;
  const Bytes mp3 = EncodeMp3(SinePcm(sectors * 588, 440));
  const Bytes before(5000, 0xFF), after(3000, 0x55);  // not MP3: must not be read
  const std::wstring path = dir / L"backup.mp3";
  ASSERT_TRUE(WriteBytes(path, {before, mp3, after}));
  const Bytes toc = MakeToc({0, 500, sectors}), noText;
  auto reader =
      CreateMainChannelReader(path, int32_t(before.size()), int32_t(mp3.size()), toc, noText);
  ASSERT_TRUE(reader);
  Bytes main, sub;
  int loud = 0;
  for (int x = -200; x < sectors + 10; ++x) {
    ASSERT_EQ(reader->ReadSector(x, main, sub), S_OK) << x;
    if (x < 0 || x >= sectors) continue;
    int peak = 0;
    for (int i = 0; i < 2352; i += 2)
      peak = std::max(peak, std::abs(int(int16_t(main[i] | main[i + 1] << 8))));
    loud += peak > 10000;
  }
  EXPECT_GE(loud, sectors - 40);  // the decoder's delay and the encoder's padding
}

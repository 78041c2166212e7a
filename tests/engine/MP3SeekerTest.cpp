#include <gtest/gtest.h>

#include "engine/mp3/MP3Seeker.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/MemoryStreams.h"

namespace {

// An MPEG-1 Layer III frame at 44100 Hz: h2 = bit-rate index << 4 (| 2 for padding).
Bytes Mp3Frame(unsigned char h2 = 0x90) {
  Bytes f = {0xFF, 0xFB, h2, 0x44};
  f.resize(MP3::FrameLength(0x44u << 24 | uint32_t(h2) << 16 | 0xFBFF), 0x00);
  return f;
}

std::shared_ptr<MP3::ByteIStream> Stream(const Bytes& bytes) {
  auto holder = std::make_shared<MemoryIn>(bytes);
  return std::shared_ptr<MP3::ByteIStream>(holder, &holder->in);
}

std::vector<std::streamoff> Scan(const Bytes& bytes, bool* inconsistent = nullptr) {
  MP3::MP3Seeker seeker;
  EXPECT_TRUE(seeker.Open(Stream(bytes)));
  while (seeker.NextFrame()) {
  }
  std::vector<std::streamoff> positions;
  for (std::size_t i = 0; i < seeker.FrameCount(); ++i)
    positions.push_back(seeker.FramePosition(i));
  EXPECT_EQ(-1, std::streamoff(seeker.FramePosition(seeker.FrameCount())));
  if (inconsistent) *inconsistent = seeker.Inconsistent();
  return positions;
}

Bytes Frames(int n, unsigned char h2 = 0x90) {
  Bytes out;
  for (int i = 0; i < n; ++i) out = out + Mp3Frame(h2);
  return out;
}

TEST(MP3Seeker, FrameLengths) {
  struct Case {
    uint32_t h0h1h2h3;  // header bytes in reading order
    unsigned length;
  } cases[] = {
      {0xFFFB9044, 417}, {0xFFFB9244, 418},  {0xFFFBB040, 626},
      {0xFFFBB240, 627}, {0xFFFBE044, 1044},  // 320 kbit/s
      {0xFFF39044, 261},                      // MPEG-2 Layer III, 80 kbit/s at 22050 Hz
      {0xFFE39044, 522},                      // MPEG-2.5 Layer III, 80 kbit/s at 11025 Hz
      {0xFFFD9044, 522},                      // MPEG-1 Layer II, 160 kbit/s
      {0xFFFF9044, 312},                      // MPEG-1 Layer I, 288 kbit/s: 78 slots of 4 bytes
      {0xFFFB0044, 0},                        // free format
      {0xFFFBF244, 0},                        // bit-rate index 15, padding set
      {0xFFFB9C44, 0},                        // sample-rate index 3
      {0xFFF99044, 0},                        // layer code 0
      {0xFF1B9044, 0},                        // no sync
      {0x00000000, 0},
  };
  for (const Case& c : cases) {
    const uint32_t v = c.h0h1h2h3;
    const uint32_t word = (v >> 24) | (v >> 8 & 0xFF00) | (v << 8 & 0xFF0000) | (v << 24);
    EXPECT_EQ(c.length, MP3::FrameLength(word)) << std::hex << v;
  }
}

TEST(MP3Seeker, IndexesEveryFrame) {
  bool inconsistent = true;
  const auto positions = Scan(Frames(5) + Mp3Frame(0x92) + Frames(2), &inconsistent);
  EXPECT_EQ((std::vector<std::streamoff>{0, 417, 834, 1251, 1668, 2085, 2503, 2920}), positions);
  EXPECT_FALSE(inconsistent);  // padding does not count
}

TEST(MP3Seeker, StreamNotStartingWithAFrameYieldsNothing) {
  EXPECT_TRUE(Scan(Bytes(7, 0x12) + Frames(5)).empty());
  EXPECT_TRUE(Scan({}).empty());
}

TEST(MP3Seeker, GarbageBetweenFramesIsSkipped) {
  const Bytes file = Frames(2) + Bytes(10, 0x77) + Frames(5);
  EXPECT_EQ((std::vector<std::streamoff>{0, 417, 844, 1261, 1678, 2095, 2512}), Scan(file));
  // A damaged header in the middle loses only that frame.
  Bytes damaged = Frames(6);
  damaged[417 * 3 + 2] = 0xF2;  // bit-rate index 15
  EXPECT_EQ((std::vector<std::streamoff>{0, 417, 834, 1668, 2085}), Scan(damaged + Bytes(1200, 0)));
}

TEST(MP3Seeker, BitRateChangesAreIndexedAndNoted) {
  bool inconsistent = false;
  const Bytes file = Mp3Frame(0x90) + Mp3Frame(0xA0) + Bytes(20, 0x33) + Mp3Frame(0xA0) +
                     Frames(3) + Bytes(1200, 0);
  const auto positions = Scan(file, &inconsistent);
  EXPECT_TRUE(inconsistent);
  // The resync looks for the first frame's header only: the 160 kbit/s frame after
  // the garbage is passed over.
  const std::streamoff afterGarbage = 417 + 522 + 20 + 522;
  EXPECT_EQ(
      (std::vector<std::streamoff>{0, 417, afterGarbage, afterGarbage + 417, afterGarbage + 834}),
      positions);
}

TEST(MP3Seeker, Id3v1TagEndsTheScan) {
  Bytes v1 = Text("TAG");
  v1.resize(128, 0);
  const Bytes file = Frames(3) + v1 + Bytes(1200, 0) + Frames(3);
  EXPECT_EQ((std::vector<std::streamoff>{0, 417, 834}), Scan(file));
}

TEST(MP3Seeker, ReleasingTheStreamKeepsTheIndex) {
  MP3::MP3Seeker seeker;
  ASSERT_TRUE(seeker.Open(Stream(Frames(4))));
  while (seeker.NextFrame()) {
  }
  EXPECT_FALSE(seeker.Open(nullptr));
  EXPECT_EQ(4u, seeker.FrameCount());
  EXPECT_FALSE(seeker.NextFrame());
  EXPECT_EQ(1251, std::streamoff(seeker.FramePosition(3)));
}

}  // namespace

#include "engine/cd/RawToc.h"

#include <gtest/gtest.h>

#include "tests/engine/TocBuilder.h"

namespace {

const int kLeadOut = 20 * 4500 - 150;

TEST(RawToc, FourTrackDisc) {
  const auto toc = MakeToc({0, 15000, 30000, 60000, kLeadOut});
  EXPECT_EQ(4, RawToc::TrackCount(toc));
  EXPECT_EQ(1, RawToc::FirstTrack(toc));
  EXPECT_EQ(4, RawToc::LastTrack(toc));
  EXPECT_EQ(0, RawToc::TrackAddress(1, toc));
  for (unsigned leadOut : {0u, 5u, 9u, 1000u})
    EXPECT_EQ(kLeadOut, RawToc::TrackAddress(leadOut, toc));
  EXPECT_EQ(kLeadOut * 1000 / 75, RawToc::TrackStartMs(0, toc));
  EXPECT_EQ((19 * 60 + 58) * 1000, RawToc::TrackLengthMs(0, toc));
  EXPECT_EQ(kLeadOut - 60000, RawToc::TrackLength(4, toc));
  EXPECT_EQ(30000, RawToc::TrackStart(3, toc));
  EXPECT_EQ(30000 * 1000 / 75, RawToc::TrackStartMs(3, toc));
  EXPECT_EQ(RawToc::TrackStartMs(0, toc) - RawToc::TrackStartMs(4, toc),
            RawToc::TrackLengthMs(4, toc));
  EXPECT_EQ(kLeadOut, RawToc::TrackLength(0, toc));
}

TEST(RawToc, MillisecondsAreTakenBetweenTruncatedValues) {
  const auto toc = MakeToc({1, 2, 3, 100});
  // 40 ms - 26 ms, while one frame alone gives 13 ms.
  EXPECT_EQ(1, RawToc::TrackLength(2, toc));
  EXPECT_EQ(14, RawToc::TrackLengthMs(2, toc));
}

TEST(RawToc, FirstTrackAboveOne) {
  const auto toc = MakeToc({100, 200, 300, 400}, 3);
  EXPECT_EQ(3, RawToc::TrackCount(toc));
  EXPECT_EQ(300, RawToc::TrackAddress(3, toc));  // the third descriptor: track 5
  EXPECT_EQ(400, RawToc::TrackAddress(4, toc));  // the lead-out
}

TEST(RawToc, EveryTrackCountFromOneTo99) {
  for (int tracks = 1; tracks <= 99; ++tracks) {
    std::vector<int> lbas;
    for (int i = 0; i <= tracks; ++i) lbas.push_back(i * 3000 + (i == tracks ? 75 : 0));
    const auto toc = MakeToc(lbas);
    ASSERT_EQ(std::size_t(8 * tracks + 12), toc.size());
    EXPECT_EQ(tracks, RawToc::TrackCount(toc));
    int sum = 0;
    for (int n = 1; n <= tracks; ++n) sum += RawToc::TrackLength(n, toc);
    EXPECT_EQ(RawToc::TrackLength(0, toc), sum);
    EXPECT_EQ(tracks * 3000 + 75, RawToc::TrackAddress(0, toc));
  }
}

TEST(RawToc, ShortTruncatedAndLyingTocsGiveZero) {
  const auto good = MakeToc({0, 15000, 30000, 60000, kLeadOut});
  std::vector<unsigned char> nineteen(good.begin(), good.begin() + 19);
  for (unsigned n = 0; n < 6; ++n) EXPECT_EQ(0, RawToc::TrackAddress(n, nineteen));
  EXPECT_EQ(0, RawToc::TrackCount(nineteen));
  EXPECT_EQ(0, RawToc::FirstTrack(nineteen));
  EXPECT_EQ(0, RawToc::LastTrack(nineteen));
  EXPECT_EQ(0, RawToc::TrackLengthMs(0, nineteen));

  std::vector<unsigned char> shortLength(good.begin(), good.begin() + 20);
  shortLength[0] = 0;
  shortLength[1] = 17;
  for (unsigned n = 0; n < 6; ++n) EXPECT_EQ(0, RawToc::TrackAddress(n, shortLength));
  EXPECT_EQ(4, RawToc::TrackCount(shortLength));

  // A length field that promises 8191 entries over 20 bytes: the lead-out lies
  // beyond the vector and reads as 0, while the descriptors present still read.
  std::vector<unsigned char> lying(good.begin(), good.begin() + 20);
  lying[0] = lying[1] = 0xFF;
  EXPECT_EQ(0, RawToc::TrackAddress(0, lying));
  EXPECT_EQ(15000, RawToc::TrackAddress(2, lying));  // bytes 12..19 are present
  EXPECT_EQ(0, RawToc::TrackAddress(3, lying));
  EXPECT_EQ(0, RawToc::TrackAddress(1, lying));
  std::vector<unsigned char> truncated(good.begin(), good.end() - 1);
  EXPECT_EQ(0, RawToc::TrackAddress(0, truncated));
  EXPECT_EQ(60000, RawToc::TrackAddress(4, truncated));
}

TEST(RawToc, TrackCountIsSignedForReversedNumbers) {
  auto toc = MakeToc({0, 100, 200});
  toc[2] = 5;
  toc[3] = 3;
  EXPECT_EQ(-1, RawToc::TrackCount(toc));
}

TEST(RawToc, MillisecondsAreUnsigned) {
  auto toc = MakeToc({-150, 100});  // 00:00:00
  EXPECT_EQ(57264230, RawToc::TrackAddressMs(1, toc));
}

}  // namespace

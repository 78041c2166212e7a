#include "engine/jobs/SectorReader.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

#include "tests/engine/TocBuilder.h"

namespace {

const int kSector = SectorReader::kSectorBytes;

// A drive whose sectors hold their own LBA in every byte pair; listed sectors
// fail a given number of times (-1: always), and every read is logged.
struct FakeDrive {
  std::map<int32_t, int> failures;
  std::vector<std::pair<int32_t, int>> log;

  HRESULT Read(unsigned char* buffer, int32_t lba, int count) {
    log.emplace_back(lba, count);
    bool failed = false;
    for (int i = 0; i < count; ++i) {
      auto f = failures.find(lba + i);
      if (f != failures.end() && f->second != 0) {
        failed = true;
        if (f->second > 0) --f->second;
      }
    }
    for (int i = 0; i < count * kSector; ++i)
      buffer[i] = static_cast<unsigned char>(failed ? 0xEE : lba + i / kSector);
    return failed ? 0x00AA0200 : 0;
  }
  // A disc of one session unless told otherwise.
  SectorReader Reader(const std::vector<unsigned char>& toc, int sessions = 1) {
    return SectorReader([this](unsigned char* b, int32_t l, int c) { return Read(b, l, c); }, toc,
                        sessions);
  }
};

std::vector<unsigned char> Block(int count) {
  return std::vector<unsigned char>(std::size_t(count) * kSector, 0x55);
}

bool SectorIs(const std::vector<unsigned char>& buffer, int index, unsigned char value) {
  for (int i = 0; i < kSector; ++i)
    if (buffer[std::size_t(index) * kSector + i] != value) return false;
  return true;
}

const auto kAudioToc = MakeToc({0, 5000, 10000});

TEST(SectorReader, RetriesCountAndZeroFillAsTheLimitsRequire) {
  struct Case {
    const char* name;
    std::map<int32_t, int> failures;
    unsigned errors, consecutive, unreadable;
    std::set<int> zeroed;  // sectors of the block at 100 that end as silence
  } cases[] = {
      {"fails once, reads on the first retry", {{105, 1}}, 1, 0, 0, {}},
      {"block fails four times, sectors then read", {{105, 4}}, 4, 3, 0, {}},
      {"one sector never reads", {{105, -1}}, 7, 6, 1, {5}},
      {"a sector reads on its last try", {{103, 6}}, 6, 5, 0, {}},
      {"whole block never reads", {}, 40, 39, 12, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
  };
  for (int s = 100; s < 112; ++s) cases[4].failures[s] = -1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDrive drive;
    drive.failures = c.failures;
    SectorReader reader = drive.Reader(kAudioToc);
    auto buffer = Block(12);
    EXPECT_TRUE(reader.ReadBlock(buffer.data(), 100, 12));
    EXPECT_EQ(c.errors, reader.readErrors());
    EXPECT_EQ(c.consecutive, reader.consecutiveErrors());
    EXPECT_EQ(c.unreadable, reader.unreadableSectors());
    for (int i = 0; i < 12; ++i)
      EXPECT_TRUE(SectorIs(buffer, i, c.zeroed.count(i) ? 0 : static_cast<unsigned char>(100 + i)))
          << i;
  }
}

TEST(SectorReader, ConsecutiveErrorsLastUntilAGoodFirstRead) {
  FakeDrive drive;
  drive.failures = {{5, 4}};
  SectorReader reader = drive.Reader(kAudioToc);
  auto buffer = Block(12);
  ASSERT_TRUE(reader.ReadBlock(buffer.data(), 0, 12));
  EXPECT_EQ(3u, reader.consecutiveErrors());
  drive.failures = {{13, 1}};  // the next block fails at its first read, then reads
  ASSERT_TRUE(reader.ReadBlock(buffer.data(), 12, 12));
  EXPECT_EQ(3u, reader.consecutiveErrors());
  ASSERT_TRUE(reader.ReadBlock(buffer.data(), 24, 12));
  EXPECT_EQ(0u, reader.consecutiveErrors());
  EXPECT_EQ(5u, reader.readErrors());
}

TEST(SectorReader, TwoDeadBlocksInARowPassTheConsecutiveLimit) {
  FakeDrive drive;
  for (int s = 0; s < 24; ++s) drive.failures[s] = -1;
  SectorReader reader = drive.Reader(kAudioToc);
  auto buffer = Block(12);
  EXPECT_TRUE(reader.ReadBlock(buffer.data(), 0, 12));
  EXPECT_FALSE(reader.ReadBlock(buffer.data(), 12, 12));
  EXPECT_EQ(78u, reader.consecutiveErrors());
}

TEST(SectorReader, SpreadErrorsPassTheTotalLimitAfter200) {
  FakeDrive drive;
  for (int b = 0; b < 29; ++b) drive.failures[b * 24] = -1;  // isolated bad sectors, 7 errors each
  SectorReader reader = drive.Reader(kAudioToc);
  auto buffer = Block(12);
  for (int b = 0; b < 28; ++b) {
    ASSERT_TRUE(reader.ReadBlock(buffer.data(), b * 24, 12)) << b;
    ASSERT_TRUE(reader.ReadBlock(buffer.data(), b * 24 + 12, 12)) << b;
  }
  EXPECT_EQ(196u, reader.readErrors());
  EXPECT_EQ(28u, reader.unreadableSectors());
  EXPECT_FALSE(reader.ReadBlock(buffer.data(), 28 * 24, 12));
  EXPECT_EQ(203u, reader.readErrors());
}

// Enhanced CD: two audio tracks, then a data track in a second session. The
// drive reads the gap up to a point (the session's lead-out) and refuses the
// rest: the first refused block and everything after it in the gap is silence,
// and the drive is not asked again before the data track.
TEST(SectorReader, TheSessionGapEndsAtItsFirstRefusalAndDataTracksAreNeverRead) {
  const int32_t data = 30000, leadOut = 40000, gap = data - SectorReader::kSessionGap;
  auto toc = MakeToc({0, 10000, data, leadOut});
  toc[4 + 8 * 2 + 1] = 0x14;  // track 3 is data
  struct Case {
    const char* name;
    int32_t refusedFrom;  // first sector of the gap the drive refuses, as an offset
    int tries;            // how often it refuses each (-1: always)
    int32_t silentFrom;   // first sector of the gap that ends as silence
    std::size_t gapReads;
  } cases[] = {
      {"refused from the start", 0, -1, 0, 1},
      {"a readable lead-out, then refusals", 30, -1, 24, 3},
      {"refusals that a retry would get past", 30, 1, 24, 3},
      {"the whole gap reads", SectorReader::kSessionGap, -1, SectorReader::kSessionGap, 950},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDrive drive;
    for (int32_t s = gap + c.refusedFrom; s < data; ++s) drive.failures[s] = c.tries;
    SectorReader reader = drive.Reader(toc, 2);
    EXPECT_EQ(5, reader.BlockLength(gap - 5, 12));
    EXPECT_EQ(3, reader.BlockLength(data - 3, 12));
    EXPECT_EQ(7, reader.BlockLength(leadOut - 7, 12));

    auto buffer = Block(12);
    for (int32_t lba = gap; lba < leadOut; lba += reader.BlockLength(lba, 12)) {
      const int n = reader.BlockLength(lba, 12);
      ASSERT_TRUE(reader.ReadBlock(buffer.data(), lba, n));
      for (int i = 0; i < n; ++i) {
        const bool silent = lba + i >= gap + c.silentFrom;
        ASSERT_TRUE(SectorIs(buffer, i, silent ? 0 : static_cast<unsigned char>(lba + i)))
            << lba + i;
      }
    }
    EXPECT_EQ(c.gapReads, drive.log.size());  // nothing at or after the data track
    EXPECT_EQ(0u, reader.readErrors());
    EXPECT_EQ(0u, reader.consecutiveErrors());
    EXPECT_EQ(0u, reader.unreadableSectors());
  }
}

// Audio, then a data track in the same session (or on a disc whose drive does
// not tell its sessions): the sectors before the data track are the last audio
// track's, read, retried and counted like any other.
TEST(SectorReader, BeforeADataTrackOfTheSameSessionEverySectorIsAudio) {
  const int32_t data = 30000, leadOut = 40000, late = data - 600;
  auto toc = MakeToc({0, 10000, data, leadOut});
  toc[4 + 8 * 2 + 1] = 0x14;  // track 3 is data
  for (const int sessions : {1, 0}) {
    SCOPED_TRACE(sessions);
    FakeDrive drive;
    drive.failures = {{late, 1}, {late + 24, -1}};
    SectorReader reader = drive.Reader(toc, sessions);
    EXPECT_EQ(12, reader.BlockLength(data - SectorReader::kSessionGap - 5, 12));
    EXPECT_EQ(3, reader.BlockLength(data - 3, 12));
    auto buffer = Block(12);
    for (int32_t lba = data - SectorReader::kSessionGap; lba < leadOut;) {
      const int n = reader.BlockLength(lba, 12);
      ASSERT_TRUE(reader.ReadBlock(buffer.data(), lba, n));
      for (int i = 0; i < n; ++i) {
        const int32_t s = lba + i;
        const bool silent = s == late + 24 || s >= data;
        ASSERT_TRUE(SectorIs(buffer, i, silent ? 0 : static_cast<unsigned char>(s))) << s;
      }
      lba += n;
    }
    // The block at `late` fails once; the one at late + 24 four times, then
    // sector by sector, where the bad one fails 3 times more.
    EXPECT_EQ(1u + 4u + 3u, reader.readErrors());
    EXPECT_EQ(1u, reader.unreadableSectors());
    for (const auto& read : drive.log) EXPECT_LT(read.first, data);
  }
}

}  // namespace

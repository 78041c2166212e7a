#include "engine/backup/DiscRecords.h"

#include <gtest/gtest.h>

namespace {

TEST(DiscRecords, DefaultsAreEmptyAndZero) {
  BackupDisc d;
  EXPECT_TRUE(d.toc.empty());
  EXPECT_TRUE(d.pictures.empty());
  EXPECT_EQ(std::streamoff(0), std::streamoff(d.audioStart));
  EXPECT_EQ(0, d.audioSize);
  EXPECT_EQ(0, d.disc.revision);
  EXPECT_EQ(0, d.disc.discId);
  for (unsigned char b : d.disc.tocHash) EXPECT_EQ(0, b);
  EXPECT_EQ(0, TrackText().year);
  EXPECT_EQ(0, TagFrame().flags);
}

TEST(DiscRecords, CopiesAreIndependentAndComplete) {
  BackupDisc a;
  a.disc.tracks.resize(13);
  a.disc.tracks[5].title = L"five";
  a.disc.revision = 7;
  a.disc.discId = 0x12345678;
  a.disc.tocHash[19] = 0xAB;
  a.audioStart = std::streampos(std::streamoff(5) << 32);
  a.audioSize = 99;
  a.pictures.push_back(TagFrame{"APIC", 0, {1, 2, 3}});
  BackupDisc b = a;
  b.disc.tracks[5].title = L"changed";
  b.pictures[0].data[0] = 9;
  EXPECT_EQ(L"five", a.disc.tracks[5].title);
  EXPECT_EQ(1, a.pictures[0].data[0]);
  EXPECT_EQ(7, b.disc.revision);
  EXPECT_EQ(0x12345678, b.disc.discId);
  EXPECT_EQ(0xAB, b.disc.tocHash[19]);
  EXPECT_EQ(std::streamoff(5) << 32, std::streamoff(b.audioStart));
  EXPECT_EQ(99, b.audioSize);
}

}  // namespace

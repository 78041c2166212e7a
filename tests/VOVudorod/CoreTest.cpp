#include <gtest/gtest.h>

#include <cstring>

#include "VOVudorod/api/PluginExports.h"
#include "VOVudorod/core/SessionCore.h"
#include "VOVudorod/core/Toc.h"
#include "tests/VOVudorod/Tocs.h"

namespace {

using DbCore::ComputeDiscId;

TEST(Toc, ParsesTracksAndLeadOut) {
  std::vector<unsigned char> toc = Tocs::TwoTracks();
  toc[5] = 0x14;   // track 1 is data
  toc[22] = 0x07;  // a number in the lead-out descriptor is not read
  const auto entries = DbCore::SessionCore::ParseToc(toc);
  ASSERT_EQ(3u, entries.size());
  EXPECT_EQ(0x14, entries[0].control);
  EXPECT_EQ(1, entries[0].track);
  EXPECT_EQ(2, entries[1].track);
  EXPECT_EQ(DbCore::kLeadOut, entries[2].track);
  EXPECT_EQ(3, entries[1].minute);
  EXPECT_EQ(30, entries[2].second);
}

TEST(Toc, RefusesTocsThatDoNotAddUp) {
  std::vector<unsigned char> firstTwo = Tocs::TwoTracks();
  firstTwo[2] = 2;
  std::vector<unsigned char> badLength = Tocs::TwoTracks();
  badLength[1] += 8;
  std::vector<unsigned char> cut = Tocs::TwoTracks();
  cut.pop_back();
  std::vector<unsigned char> lastTooHigh = Tocs::TwoTracks();
  lastTooHigh[3] = 3;
  for (const auto& toc : {firstTwo, badLength, cut, lastTooHigh, std::vector<unsigned char>(11)})
    EXPECT_TRUE(DbCore::SessionCore::ParseToc(toc).empty());
}

TEST(Toc, DiscIdIsTheCddbId) {
  struct Case {
    std::vector<unsigned char> toc;
    uint32_t id;
  };
  const Case cases[] = {
      {Tocs::TwoTracks(), 0x0b014802},
      // frames are ignored
      {Tocs::Make({{0, 2, 0}, {3, 0, 0}}, {5, 30, 74}), 0x0b014802},
      // one track of 0:02:16 to 74:30:10: digit sum of 2 is 2, length 4468 s
      {Tocs::Make({{0, 2, 16}}, {74, 30, 10}), 0x02117401},
  };
  for (const Case& c : cases) EXPECT_EQ(c.id, ComputeDiscId(DbCore::SessionCore::ParseToc(c.toc)));
  EXPECT_EQ(0u, ComputeDiscId({}));
  EXPECT_EQ(0, DbCore::DigitSum(0));
  EXPECT_EQ(9, DbCore::DigitSum(180));
}

TEST(Toc, HashCoversTheHeader) {
  unsigned char digest[20];
  DbCore::Sha1OfBuffer(digest, reinterpret_cast<const unsigned char*>("abc"), 3);
  EXPECT_EQ(0xa9, digest[0]);
  EXPECT_EQ(0x9d, digest[19]);
  std::vector<unsigned char> other = Tocs::TwoTracks();
  other[4] = 1;  // a reserved byte of the first descriptor
  EXPECT_NE(DbCore::HashToc(Tocs::TwoTracks()), DbCore::HashToc(other));
}

class TestSession : public DbCore::SessionCore {
 public:
  using SessionCore::SessionCore;
  std::vector<DbCore::MatchRecord> FindMatches(DbCore::DiscRecord&) override { return {}; }
  DbCore::DiscRecord FetchDisc(const std::wstring&, uint32_t, int32_t) override { return {}; }
  bool Submit(int32_t) override { return false; }
};

std::vector<unsigned char> TenTracks() {
  std::vector<Tocs::Msf> tracks;
  for (unsigned char i = 0; i < 10; ++i)
    tracks.push_back({static_cast<unsigned char>(i * 4), 2, 0});
  return Tocs::Make(tracks, {42, 0, 0});
}

TEST(SessionCore, CompleteNeedsEveryEntryTitled) {
  TestSession s(TenTracks());
  for (std::size_t i = 0; i <= 10; ++i) s.SetTitle(i, L"t" + std::to_wstring(i));
  ASSERT_TRUE(s.CheckComplete());
  EXPECT_EQ(L"various", s.entries()[0].artist);

  TestSession emptyTitle(TenTracks());
  for (std::size_t i = 0; i <= 10; ++i) emptyTitle.SetTitle(i, i == 7 ? L"" : L"t");
  EXPECT_FALSE(emptyTitle.CheckComplete());
  EXPECT_EQ(L"", emptyTitle.entries()[0].artist);

  TestSession short_(TenTracks());
  for (std::size_t i = 0; i < 10; ++i) short_.SetTitle(i, L"t");
  EXPECT_FALSE(short_.CheckComplete());

  TestSession noToc(std::vector<unsigned char>(4));
  EXPECT_FALSE(noToc.CheckComplete());
}

TEST(SessionCore, SettersGrowTheEntriesAndIgnoreAbsurdIndices) {
  TestSession s(Tocs::TwoTracks());
  s.SetYear(5, 1999);
  ASSERT_EQ(6u, s.entries().size());
  EXPECT_EQ(0, s.entries()[4].year);
  EXPECT_EQ(1999, s.entries()[5].year);
  s.SetTitle(1000000, L"far");
  EXPECT_EQ(6u, s.entries().size());
  EXPECT_EQ(L"misc", s.category());
}

TEST(PluginExports, TextsGoOutByTheTwoCallConvention) {
  wchar_t buffer[8];
  struct Case {
    uint32_t capacity;
    bool withBuffer;
    const wchar_t* text;
    uint32_t capacityAfter;
    const wchar_t* written;  // null: buffer untouched
  };
  const Case cases[] = {
      {0, true, L"", 1, nullptr},           {0, true, L"abc", 4, nullptr},
      {4, true, L"abc", 4, L"abc"},         {3, true, L"abc", 3, L""},
      {8, true, L"abcdefg", 8, L"abcdefg"}, {2, false, L"abc", 2, nullptr},
  };
  for (const Case& c : cases) {
    std::wmemcpy(buffer, L"#######", 8);
    DbString s{c.capacity, c.withBuffer ? buffer : nullptr};
    DbPlugin::WriteText(s, c.text);
    EXPECT_EQ(c.capacityAfter, s.capacity) << c.text;
    if (c.capacity == 0) {
      EXPECT_EQ(nullptr, s.buffer);
    }
    EXPECT_STREQ(c.written ? c.written : L"#######", buffer) << c.text;
  }
}

TEST(PluginExports, CopiesNoMoreOfTheTocThanItsLengthPromises) {
  std::vector<unsigned char> toc = Tocs::TwoTracks();
  EXPECT_EQ(toc, DbPlugin::CopyRawToc(toc.data()));
  // first track 3, last 5: three descriptors and the lead-out, 36 bytes
  std::vector<unsigned char> later = Tocs::Make({{0, 2, 0}, {1, 0, 0}, {2, 0, 0}}, {3, 0, 0});
  later[2] = 3;
  later[3] = 5;
  EXPECT_EQ(36u, DbPlugin::CopyRawToc(later.data()).size());
  // a last track of 99 in a header that promises one track
  std::vector<unsigned char> lying = Tocs::Make({{0, 2, 0}}, {3, 0, 0});
  lying[3] = 99;
  EXPECT_EQ(20u, DbPlugin::CopyRawToc(lying.data()).size());
  const unsigned char tiny[4] = {0, 0, 1, 1};
  EXPECT_EQ(4u, DbPlugin::CopyRawToc(tiny).size());
  EXPECT_TRUE(DbPlugin::CopyRawToc(nullptr).empty());
}

}  // namespace

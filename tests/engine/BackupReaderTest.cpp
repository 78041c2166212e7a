#include <gtest/gtest.h>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/ElementIds.h"
#include "engine/backup/PictureFrame.h"
#include "engine/cd/RawToc.h"
#include "engine/id3/ID3TagLib.h"
#include "tests/support/AllocationWatch.h"
#include "tests/engine/BackupFiles.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/SampleDiscs.h"

namespace {

void ExpectSameTexts(const DiscInfo& want, const DiscInfo& got) {
  ASSERT_EQ(want.tracks.size(), got.tracks.size());
  for (std::size_t k = 0; k < want.tracks.size(); ++k) {
    EXPECT_EQ(want.tracks[k].artist, got.tracks[k].artist) << k;
    EXPECT_EQ(want.tracks[k].title, got.tracks[k].title) << k;
    EXPECT_EQ(want.tracks[0].genre, got.tracks[k].genre) << k;  // every frame set has TCON
    EXPECT_EQ(want.tracks[k].year, got.tracks[k].year) << k;
  }
  EXPECT_EQ(want.tracks[0].genre, got.category);
  EXPECT_TRUE(got.source.empty());
  EXPECT_EQ(0, got.revision);
  EXPECT_EQ(0, got.discId);
}

TagFrame Picture(const std::wstring& description, unsigned char fill, int kind = 0) {
  TagFrame f;
  BackupFile::MakePictureFrame(f, description, Bytes(200, fill), kind);
  return f;
}

TEST(BackupReader, SingleDiscRoundTrip) {
  std::vector<BackupDisc> discs = {SampleDisc(12)};
  discs[0].disc.tracks[3].artist = L"\x65e5\x672c \x0416\x0443\x043a";
  discs[0].disc.tracks[4].year = 1977;
  discs[0].pictures = {Picture(L"front", 1, 1), Picture(L"", 2, 3)};
  discs[0].audioSize = 50000;
  const Bytes file = BuildBackup(discs);
  const auto read = ReadBackup(file);
  ASSERT_EQ(1u, read.size());
  const BackupDisc& d = read[0];
  ExpectSameTexts(discs[0].disc, d.disc);
  EXPECT_EQ(discs[0].toc, d.toc);
  ASSERT_EQ(2u, d.pictures.size());
  EXPECT_EQ(discs[0].pictures[1].data, d.pictures[1].data);
  const std::streamoff tagSize = std::streamoff(file.size()) - 50000;
  EXPECT_EQ(0, tagSize % 4096);
  EXPECT_EQ(tagSize, std::streamoff(d.audioStart));
  EXPECT_EQ(50000, d.audioSize);
}

TEST(BackupReader, ThreeDiscsRoundTripAndAnAppendedId3v1) {
  std::vector<BackupDisc> discs = {SampleDisc(3, 300, 1), SampleDisc(99, 20, 2),
                                   SampleDisc(2, 500, 3)};
  discs[0].audioSize = 30000;
  discs[1].audioSize = 20000;
  discs[2].audioSize = 10000;
  discs[1].disc.tracks[4].year = 2001;
  discs[0].pictures = {Picture(L"a", 1), Picture(L"b", 2, 4)};
  Bytes file = BuildBackup(discs);
  const std::streamoff tagSize = std::streamoff(file.size()) - 60000 - 2 * 48279;
  for (bool id3v1 : {false, true}) {
    if (id3v1) {
      Bytes v1 = Text("TAG");
      v1.resize(128, 0);
      file = file + v1;
    }
    const auto read = ReadBackup(file);
    ASSERT_EQ(3u, read.size());
    std::streamoff start = tagSize;
    for (int i = 0; i < 3; ++i) {
      ExpectSameTexts(discs[i].disc, read[i].disc);
      EXPECT_EQ(discs[i].toc, read[i].toc);
      EXPECT_EQ(start, std::streamoff(read[i].audioStart)) << i;
      EXPECT_EQ(discs[i].audioSize, read[i].audioSize) << i;
      start += discs[i].audioSize + 48279;
    }
    EXPECT_EQ(2u, read[0].pictures.size());
    EXPECT_TRUE(read[1].pictures.empty());
  }
}

// Discs numbered from a track other than 1 read back, alone and as disc 2.
TEST(BackupReader, DiscsNumberedFromAnyTrackReadBack) {
  for (int first : {1, 3, 99}) {
    const int tracks = 100 - std::max(first, 88);
    BackupDisc disc = SampleDisc(tracks, 450, 2);
    std::vector<int> lbas;
    for (int k = 0; k <= tracks; ++k) lbas.push_back(k * 450);
    disc.toc = MakeToc(lbas, first);
    disc.audioSize = 4000;
    for (std::size_t count : {1u, 2u}) {
      SCOPED_TRACE(testing::Message() << "first " << first << ", discs " << count);
      std::vector<BackupDisc> discs = {SampleDisc(2, 300, 1), disc};
      discs[0].audioSize = 3000;
      if (count == 1) discs.erase(discs.begin());
      const auto read = ReadBackup(BuildBackup(discs));
      ASSERT_EQ(count, read.size());
      EXPECT_EQ(disc.toc, read.back().toc);
      EXPECT_EQ(first, RawToc::FirstTrack(read.back().toc));
      ExpectSameTexts(disc.disc, read.back().disc);
      EXPECT_EQ(4000, read.back().audioSize);
    }
  }
}

// 99 discs are the most a backup holds: the writer stops at the hundredth.
TEST(BackupReader, NinetyNineDiscsReadBackAndAHundredthIsNotWritten) {
  std::vector<BackupDisc> discs;
  for (int i = 1; i <= 99; ++i) {
    discs.push_back(SampleDisc(2, 300, i));
    discs.back().audioSize = 100;
  }
  const auto read = ReadBackup(BuildBackup(discs));
  ASSERT_EQ(99u, read.size());
  EXPECT_EQ(L"Album 99", read[98].disc.tracks[0].title);
  EXPECT_FALSE(BackupFile::HasRoomForDisc(read));
  discs.push_back(SampleDisc(2, 300, 100));
  EXPECT_TRUE(BuildBackup(discs).empty());
}

TEST(BackupReader, TrackWithoutYearDoesNotTakeItsNeighboursYear) {
  for (int discCount : {1, 2}) {
    std::vector<BackupDisc> discs;
    for (int i = 1; i <= discCount; ++i) discs.push_back(SampleDisc(6, 300, i));
    discs.back().disc.tracks[4].year = 2001;
    for (BackupDisc& d : discs) d.audioSize = 1000;
    const auto read = ReadBackup(BuildBackup(discs));
    ASSERT_EQ(std::size_t(discCount), read.size());
    EXPECT_EQ(2001, read.back().disc.tracks[4].year);
    EXPECT_EQ(0, read.back().disc.tracks[5].year) << discCount;
  }
}

// The track texts go, but every track of the TOC keeps an entry, so that the
// disc can still be extracted and appended to.
TEST(BackupReader, SingleDiscWithoutOneChapterKeepsOnlyTheDiscTexts) {
  std::vector<BackupDisc> discs = {SampleDisc(5)};
  discs[0].audioSize = 1000;
  const Bytes file = EditTag(BuildBackup(discs), [](ID3::ID3TagLib& tag) {
    for (unsigned i = 0; i < tag.GetFrameCount(); ++i)
      if (tag.GetFrameId(i) == "CHAP" && tag.GetFrameData(i)[5] == '3') tag.RemoveFrame(i);
  });
  const auto read = ReadBackup(file);
  ASSERT_EQ(1u, read.size());
  ASSERT_EQ(6u, read[0].disc.tracks.size());
  EXPECT_EQ(L"Album 1", read[0].disc.tracks[0].title);
  for (std::size_t k = 1; k < 6; ++k) EXPECT_TRUE(read[0].disc.tracks[k].title.empty()) << k;
  EXPECT_EQ(5, RawToc::TrackCount(read[0].toc));
}

// A file from before the writer checked the entries: a disc's chapters name more
// tracks than its TOC. The extra entries go; the disc reads back whole.
TEST(BackupReader, ChaptersPastTheTocAreDropped) {
  std::vector<BackupDisc> discs = {SampleDisc(3, 300, 1), SampleDisc(2, 300, 2)};
  discs[0].audioSize = discs[1].audioSize = 1000;
  const Bytes file = EditTag(BuildBackup(discs), [](ID3::ID3TagLib& tag) {
    for (unsigned i = 0; i < tag.GetFrameCount(); ++i) {
      const Bytes& d = tag.GetFrameData(i);
      if (tag.GetFrameId(i) != "CHAP" || std::string(d.begin(), d.begin() + 12) != "disc2 track2")
        continue;
      Bytes extra = d;
      extra[11] = '7';
      tag.FrameData(tag.AddFrame("CHAP", BackupFile::kReadOnly)) = extra;
      break;
    }
  });
  const auto read = ReadBackup(file);
  ASSERT_EQ(2u, read.size());
  EXPECT_EQ(4u, read[0].disc.tracks.size());
  ASSERT_EQ(3u, read[1].disc.tracks.size());
  EXPECT_EQ(L"Song 2.2", read[1].disc.tracks[2].title);
}

// Files that are not valid backups read as no discs, whatever is wrong with them.
TEST(BackupReader, InvalidFilesGiveNoDiscs) {
  std::vector<BackupDisc> one = {SampleDisc(3)};
  one[0].audioSize = 2000;
  const Bytes single = BuildBackup(one);
  std::vector<BackupDisc> two = {SampleDisc(3, 300, 1), SampleDisc(2, 300, 2)};
  two[0].audioSize = two[1].audioSize = 2000;
  const Bytes multi = BuildBackup(two);

  auto replace = [](const Bytes& file, const std::string& id, unsigned nth,
                    std::function<void(Bytes&)> change) {
    return EditTag(file, [&](ID3::ID3TagLib& tag) {
      unsigned seen = 0;
      for (unsigned i = 0; i < tag.GetFrameCount(); ++i)
        if (tag.GetFrameId(i) == id && seen++ == nth) change(tag.FrameData(i));
    });
  };
  auto rename = [](Bytes& d, const std::string& from, const std::string& to) {
    const auto at = std::search(d.begin(), d.end(), from.begin(), from.end());
    if (at == d.end()) return;
    const std::ptrdiff_t pos = at - d.begin();
    d.erase(d.begin() + pos, d.begin() + pos + from.size());
    d.insert(d.begin() + pos, to.begin(), to.end());
  };
  auto setOffset = [](Bytes& d, int field, uint32_t v) {
    const std::size_t at = std::find(d.begin(), d.end(), 0) - d.begin() + 1 + 4 * field;
    for (int b = 0; b < 4; ++b) d[at + b] = static_cast<unsigned char>(v >> (24 - 8 * b));
  };
  auto withMcdi = [](const Bytes& toc) {
    return [toc](Bytes& d) {
      const auto at = std::search(d.begin(), d.end(), std::begin("MCDI"), std::end("MCDI") - 1);
      d.erase(at, d.end());
      d = d + Frame("MCDI", toc, 0x2000);
    };
  };

  auto renumber = [&](const Bytes& file, const std::string& to) {
    return EditTag(file, [&](ID3::ID3TagLib& tag) {
      for (unsigned i = 0; i < tag.GetFrameCount(); ++i)
        if (tag.GetFrameId(i) == "CTOC") rename(tag.FrameData(i), "disc2", to);
    });
  };

  MemoryOut plain;
  {
    auto tag = ID3::CreateEmpty();
    tag->FrameData(tag->AddFrame("TIT2", 0)) = tag->EncodeText(L"Song");
    tag->FrameData(tag->AddFrame("TPE1", 0)) = tag->EncodeText(L"Singer");
    tag->Write(plain.out);
  }
  Bytes badToc = one[0].toc;
  badToc[2] = 5;  // first track 5, last 3: no tracks at all
  Bytes shortToc(one[0].toc.begin(), one[0].toc.begin() + 20);
  shortToc[1] = 18;
  shortToc[3] = 12;  // tracks 1 to 12 in the numbers, one descriptor and the lead-out in the data
  Bytes ragged = one[0].toc;
  ragged[1] -= 4;  // three whole descriptors and half of the lead-out

  struct Case {
    const char* what;
    Bytes file;
  } cases[] = {
      {"empty file", {}},
      {"ordinary MP3 tag without MCDI", plain.bytes() + Bytes(3000, 0xFF)},
      {"top-level TOC whose count disagrees with its numbers",
       replace(single, "MCDI", 0, [](Bytes& d) { d[2] = 2; })},
      {"MCDI shorter than its length", replace(single, "MCDI", 0, [](Bytes& d) { d.resize(20); })},
      {"copy cut inside the tag", Bytes(multi.begin(), multi.begin() + 2000)},
      {"CTOC disc0", replace(multi, "CTOC", 1, [&](Bytes& d) { rename(d, "disc1", "disc0"); })},
      {"CTOC not listed",
       replace(multi, "CTOC", 2, [&](Bytes& d) { rename(d, "disc2", "disc7"); })},
      {"CTOC disc without MCDI",
       replace(multi, "CTOC", 2, [&](Bytes& d) { rename(d, "MCDI", "XCDI"); })},
      {"embedded TOC without tracks", replace(multi, "CTOC", 2, withMcdi(badToc))},
      {"embedded TOC of one descriptor for 12 tracks",
       replace(multi, "CTOC", 2, withMcdi(shortToc))},
      {"embedded TOC of partial descriptors", replace(multi, "CTOC", 2, withMcdi(ragged))},
      {"disc table without frames", replace(multi, "CTOC", 2,
                                            [](Bytes& d) {
                                              d.resize(std::search(d.begin(), d.end(),
                                                                   std::begin("TIT2"),
                                                                   std::end("TIT2") - 1) -
                                                       d.begin());
                                            })},
      // The disc table and the top-level list both carry the number, so that
      // only the disc-number limit stands between the number and the disc list.
      {"huge disc number", renumber(multi, "disc2000000000")},
      {"negative disc number", renumber(multi, "disc-1")},
      {"track 0", replace(multi, "CHAP", 1, [&](Bytes& d) { rename(d, "track1", "track0"); })},
      {"huge track number",
       replace(multi, "CHAP", 1, [&](Bytes& d) { rename(d, "track1", "track4000000"); })},
      {"chunk before any disc",
       replace(multi, "CHAP", 0, [&](Bytes& d) { rename(d, "chunk1", "chunk9"); })},
      {"chunk ends before it starts", replace(multi, "CHAP", 0,
                                              [&](Bytes& d) {
                                                setOffset(d, 3, 0);
                                                setOffset(d, 2, 10);
                                              })},
      {"chunk beyond the file",
       replace(multi, "CHAP", 4, [&](Bytes& d) { setOffset(d, 2, 0x7FFF0000); })},
      {"chunk end beyond the file",
       replace(multi, "CHAP", 0, [&](Bytes& d) { setOffset(d, 3, 0x7FFF0000); })},
      {"top-level MCDI in a two-disc file", EditTag(multi,
                                                    [&](ID3::ID3TagLib& tag) {
                                                      tag.FrameData(tag.AddFrame("MCDI", 0x2000)) =
                                                          one[0].toc;
                                                    })},
  };
  ASSERT_EQ(1u, ReadBackup(single).size());
  ASSERT_EQ(2u, ReadBackup(multi).size());
  // Far more than these files of a few kilobytes need.
  const std::size_t kMostAllocated = 1u << 20;
  for (const Case& c : cases) {
    EXPECT_TRUE(c.file.size() > 0 || c.what == cases[0].what) << c.what;
    std::vector<BackupDisc> read(1);
    // The limits refuse a hostile number before it sizes a list: no large
    // block is asked for, whether or not the machine could give it.
    const AllocationWatch allocations(kMostAllocated * 64);
    EXPECT_NO_THROW(read = ReadBackup(c.file)) << c.what;
    EXPECT_LE(allocations.Largest(), kMostAllocated) << c.what;
    EXPECT_TRUE(read.empty()) << c.what;
  }
}

TEST(BackupReader, ElementIdsAndNumbers) {
  struct Id {
    const char* id;
    bool chunk;
    unsigned disc, track;
  } ids[] = {{"chunk3", true, 3, 0},
             {"disc2 track14", false, 2, 14},
             {"chunk", true, 0, 0},
             {"disc2track1", false, 0, 0},
             {"track7", false, 0, 0},
             {"chunkx", true, 0, 0},
             {"disc-1 track2", false, 4294967295u, 2}};
  for (const Id& c : ids) {
    unsigned d = 9, t = 9;
    EXPECT_EQ(c.chunk, BackupFile::ParseChapterElementId(c.id, d, t)) << c.id;
    EXPECT_EQ(c.disc, d) << c.id;
    EXPECT_EQ(c.track, t) << c.id;
  }
  unsigned n = 9;
  EXPECT_TRUE(BackupFile::ParseDiscElementId("disc12", n));
  EXPECT_EQ(12u, n);
  EXPECT_TRUE(BackupFile::ParseDiscElementId("discs", n));
  EXPECT_EQ(0u, n);
  EXPECT_FALSE(BackupFile::ParseDiscElementId("chunk1", n));

  struct Number {
    const char* text;
    int value;
  } numbers[] = {{"12", 12},         {"-7", -7},  {"+3", 3},   {"", -1},
                 {" 12", -1},        {"12a", -1}, {"12 ", -1}, {"2147483647", 2147483647},
                 {"2147483648", -1}, {"-", -1}};
  for (const Number& c : numbers) EXPECT_EQ(c.value, BackupFile::ToIntOr(c.text, -1)) << c.text;
  EXPECT_EQ(1999, BackupFile::ToIntOrW(L"1999", 0));
  EXPECT_EQ(0, BackupFile::ToIntOrW(L"\x0661\x0669", 0));
}

}  // namespace

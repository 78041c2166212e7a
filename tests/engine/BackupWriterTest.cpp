#include <gtest/gtest.h>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/CueSheet.h"
#include "engine/backup/PictureFrame.h"
#include "engine/cd/RawToc.h"
#include "engine/id3/ID3TagLib.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/MemoryStreams.h"
#include "tests/engine/SampleDiscs.h"

namespace {

using Tag = std::unique_ptr<ID3::ID3TagLib>;

Tag WriteAndRead(const std::vector<BackupDisc>& discs, Bytes* file = nullptr) {
  MemoryOut m;
  EXPECT_TRUE(BackupFile::WriteTag(m.out, discs, L"backup.mp3"));
  if (file) *file = m.bytes();
  MemoryIn in(m.bytes() + Bytes(4000, 0xFF));
  return ID3::CreateFromStream(in.in);
}

std::vector<std::string> Ids(const ID3::ID3TagLib& tag) {
  std::vector<std::string> ids;
  for (unsigned i = 0; i < tag.GetFrameCount(); ++i) ids.push_back(tag.GetFrameId(i));
  return ids;
}

std::string ElementId(const Bytes& d) {
  return std::string(d.begin(), std::find(d.begin(), d.end(), 0));
}

// Field i of a CHAP: start time, end time, start offset, end offset.
uint32_t Field(const Bytes& chap, int i) {
  const std::size_t at = ElementId(chap).size() + 1 + 4 * i;
  return uint32_t(chap[at]) << 24 | chap[at + 1] << 16 | chap[at + 2] << 8 | chap[at + 3];
}

// The embedded frames of a CTOC or CHAP, from the given offset.
Tag Embedded(const Bytes& d, std::size_t from) {
  return ID3::CreateFromFrames(Bytes(d.begin() + from, d.end()));
}

TagFrame Picture(const std::wstring& description, int size, int kind = 0) {
  TagFrame f;
  EXPECT_TRUE(BackupFile::MakePictureFrame(f, description, Bytes(size, 0xD8), kind));
  return f;
}

TEST(BackupWriter, SingleDiscLayout) {
  BackupDisc disc = SampleDisc(12);
  disc.pictures = {Picture(L"front", 3000, 1), Picture(L"back", 2000, 2)};
  const Tag tag = WriteAndRead({disc});
  std::vector<std::string> expected = {"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TYER",
                                       "TLEN", "TMED", "COMM", "MCDI", "CTOC"};
  expected.insert(expected.end(), 12, "CHAP");
  expected.insert(expected.end(), 2, "APIC");
  EXPECT_EQ(expected, Ids(*tag));
  EXPECT_EQ(0u, tag->GetTagSize() % 4096);
  for (unsigned i = 0; i < tag->GetFrameCount(); ++i) {
    const std::string id = tag->GetFrameId(i);
    const bool structure = id == "CTOC" || id == "CHAP" || id == "MCDI";
    EXPECT_EQ(structure ? 0x2000 : 0, tag->GetFrameFlags(i)) << id;
  }
  EXPECT_EQ(disc.toc, tag->GetFrameData(9));
  EXPECT_EQ(L"Album 1", tag->DecodeText(tag->GetFrameData(0)));
  EXPECT_EQ(std::to_wstring(RawToc::TrackStartMs(0, disc.toc)),
            tag->DecodeText(tag->GetFrameData(6)));

  const Bytes& ctoc = tag->GetFrameData(10);
  Bytes head = Text("TOC") + Bytes{0, 0x03, 12};
  for (int k = 1; k <= 12; ++k) head = head + Text("track" + std::to_string(k)) + Bytes{0};
  ASSERT_GE(ctoc.size(), head.size());
  EXPECT_EQ(head, Bytes(ctoc.begin(), ctoc.begin() + head.size()));
  EXPECT_EQ(
      (std::vector<std::string>{"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TYER", "TLEN", "TMED"}),
      Ids(*Embedded(ctoc, head.size())));

  uint32_t previousEnd = 0;
  for (int k = 1; k <= 12; ++k) {
    const Bytes& chap = tag->GetFrameData(10 + k);
    EXPECT_EQ("track" + std::to_string(k), ElementId(chap));
    EXPECT_EQ(previousEnd, Field(chap, 0));
    previousEnd = Field(chap, 1);
    EXPECT_EQ(0xFFFFFFFFu, Field(chap, 2));
    EXPECT_EQ(0xFFFFFFFFu, Field(chap, 3));
    const Tag texts = Embedded(chap, ElementId(chap).size() + 17);
    EXPECT_EQ(
        (std::vector<std::string>{"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TRCK", "TLEN", "TMED"}),
        Ids(*texts));
    EXPECT_EQ(std::to_wstring(k), texts->DecodeText(texts->GetFrameData(5)));
  }
  EXPECT_EQ(uint32_t(RawToc::TrackStartMs(0, disc.toc)), previousEnd);
}

TEST(BackupWriter, CommentCarriesTheCueSheet) {
  const Tag tag = WriteAndRead({SampleDisc(2)});
  const Bytes& comm = tag->GetFrameData(8);
  const Bytes head =
      Bytes{0} + Text(BackupFile::CommentLanguage()) + Text("TAVRIN cue sheet data") + Bytes{0};
  ASSERT_EQ(head, Bytes(comm.begin(), comm.begin() + head.size()));
  const std::string cue(comm.begin() + head.size(), comm.end());
  EXPECT_EQ(0u, cue.find("REM cue sheet created by Velmora TAVRIN\r\nFILE \"backup.mp3\" MP3\r\n"));
  EXPECT_EQ(std::string::npos, cue.find("\n\n"));
  EXPECT_EQ("\r\n", cue.substr(cue.size() - 2));
  EXPECT_EQ(std::string::npos, cue.find('\0'));
}

TEST(BackupWriter, ThreeDiscLayout) {
  std::vector<BackupDisc> discs = {SampleDisc(3, 300, 1), SampleDisc(2, 450, 2),
                                   SampleDisc(4, 150, 3)};
  discs[0].audioStart = 0;
  discs[0].audioSize = 100000;
  discs[1].audioStart = 100000 + BackupFile::kGapBytes;
  discs[1].audioSize = 70000;
  discs[2].audioStart = std::streamoff(discs[1].audioStart) + 70000 + BackupFile::kGapBytes;
  discs[0].pictures = {Picture(L"cover", 500)};
  discs[1].pictures = {Picture(L"ignored", 500)};
  const Tag tag = WriteAndRead(discs);
  std::vector<std::string> expected = {"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TYER",
                                       "TMED", "CTOC", "CTOC", "CTOC", "CTOC"};
  for (int tracks : {3, 2, 4}) {
    expected.push_back("CHAP");
    expected.insert(expected.end(), tracks, "CHAP");
  }
  expected.push_back("APIC");
  ASSERT_EQ(expected, Ids(*tag));

  const Bytes top = Text("TOC") + Bytes{0, 0x03, 3} + Text("disc1") + Bytes{0} + Text("disc2") +
                    Bytes{0} + Text("disc3") + Bytes{0};
  EXPECT_EQ(top, tag->GetFrameData(7));
  const Bytes& disc2 = tag->GetFrameData(9);
  const Bytes head = Text("disc2") + Bytes{0, 0x01, 3} + Text("chunk2") + Bytes{0} +
                     Text("disc2 track1") + Bytes{0} + Text("disc2 track2") + Bytes{0};
  ASSERT_EQ(head, Bytes(disc2.begin(), disc2.begin() + head.size()));
  const Tag embedded = Embedded(disc2, head.size());
  EXPECT_EQ((std::vector<std::string>{"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TYER", "TLEN",
                                      "TMED", "TSET", "COMM", "MCDI"}),
            Ids(*embedded));
  EXPECT_EQ(L"2/3", embedded->DecodeText(embedded->GetFrameData(8)));
  EXPECT_EQ(0x2000, embedded->GetFrameFlags(10));
  EXPECT_EQ(discs[1].toc, embedded->GetFrameData(10));

  // Chunks: byte ranges from the end of the tag; times run on with a gap.
  const unsigned chunk1 = 11, chunk2 = 15, chunk3 = 18;
  EXPECT_EQ("chunk1", ElementId(tag->GetFrameData(chunk1)));
  EXPECT_EQ(0u, Field(tag->GetFrameData(chunk1), 2));
  EXPECT_EQ(100000u, Field(tag->GetFrameData(chunk1), 3));
  EXPECT_EQ(100000u + 48279u, Field(tag->GetFrameData(chunk2), 2));
  EXPECT_EQ(100000u + 48279u + 70000u, Field(tag->GetFrameData(chunk2), 3));
  EXPECT_EQ(100000u + 2 * 48279u + 70000u, Field(tag->GetFrameData(chunk3), 2));
  EXPECT_EQ(0xFFFFFFFFu, Field(tag->GetFrameData(chunk3), 3));
  const uint32_t disc1End = Field(tag->GetFrameData(chunk1 + 3), 1);
  EXPECT_EQ(uint32_t(RawToc::TrackStartMs(0, discs[0].toc)), disc1End);
  EXPECT_EQ(disc1End + 2011, Field(tag->GetFrameData(chunk2), 0));
  EXPECT_EQ(disc1End + 2011, Field(tag->GetFrameData(chunk2 + 1), 0));
  const Bytes& track = tag->GetFrameData(chunk2 + 2);
  EXPECT_EQ("disc2 track2", ElementId(track));
  // Track chapters carry no set position.
  EXPECT_EQ(
      (std::vector<std::string>{"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TRCK", "TLEN", "TMED"}),
      Ids(*Embedded(track, ElementId(track).size() + 17)));
  const Tag texts = Embedded(track, ElementId(track).size() + 17);
  EXPECT_EQ(L"Song 2.2", texts->DecodeText(texts->GetFrameData(0)));
}

TEST(BackupWriter, YearZeroAndEmptyTexts) {
  BackupDisc disc = SampleDisc(2);
  disc.disc.tracks[0].year = 0;
  disc.disc.tracks[2] = TrackText();
  const Tag tag = WriteAndRead({disc});
  for (const std::string& id : Ids(*tag)) EXPECT_NE("TYER", id);
  const Bytes& chap = tag->GetFrameData(tag->GetFrameCount() - 1);
  const Tag texts = Embedded(chap, ElementId(chap).size() + 17);
  EXPECT_EQ(Bytes{0}, texts->GetFrameData(0));
  EXPECT_EQ(Bytes{0}, texts->GetFrameData(1));
}

TEST(BackupWriter, RefusesWhatItCannotStore) {
  MemoryOut m;
  EXPECT_FALSE(BackupFile::WriteTag(m.out, {}, L"x.mp3"));
  EXPECT_FALSE(BackupFile::WriteSingleDiscTag(m.out, {}, L"x.mp3"));
  EXPECT_TRUE(m.bytes().empty());

  std::vector<BackupDisc> discs = {SampleDisc(1), SampleDisc(1)};
  discs[0].audioSize = 0x7FFFFFFF;
  discs[1].audioStart = std::streamoff(0x7FFFFFFF) + BackupFile::kGapBytes;
  EXPECT_FALSE(BackupFile::WriteTag(m.out, discs, L"x.mp3"));
  EXPECT_TRUE(m.bytes().empty());

  // What the reader would refuse: a TOC whose numbers disagree with its
  // descriptors, alone or beside a good disc, and a hundredth disc.
  BackupDisc ragged = SampleDisc(3);
  ragged.toc[3] = 4;
  EXPECT_FALSE(BackupFile::WriteTag(m.out, {ragged}, L"x.mp3"));
  EXPECT_FALSE(BackupFile::WriteSingleDiscTag(m.out, {ragged}, L"x.mp3"));
  EXPECT_FALSE(BackupFile::WriteTag(m.out, {SampleDisc(1), ragged}, L"x.mp3"));
  EXPECT_TRUE(m.bytes().empty());
}

// One entry for the disc and one per track of its TOC, no more and no fewer:
// a database answer of 256 entries would wrap the count byte, and more than 99
// make a file the reader refuses.
TEST(BackupWriter, RefusesEntriesThatDisagreeWithTheToc) {
  for (std::size_t entries : {std::size_t(0), std::size_t(1), std::size_t(3), std::size_t(5),
                              std::size_t(101), std::size_t(257)}) {
    SCOPED_TRACE(entries);
    BackupDisc odd = SampleDisc(3);
    odd.disc.tracks.resize(entries);
    MemoryOut m;
    EXPECT_FALSE(BackupFile::WriteTag(m.out, {odd}, L"x.mp3"));
    EXPECT_FALSE(BackupFile::WriteSingleDiscTag(m.out, {odd}, L"x.mp3"));
    std::vector<BackupDisc> two = {SampleDisc(2), odd};
    two[0].audioSize = 1000;
    two[1].audioStart = 1000 + BackupFile::kGapBytes;
    EXPECT_FALSE(BackupFile::WriteTag(m.out, two, L"x.mp3"));
    std::swap(two[0], two[1]);
    EXPECT_FALSE(BackupFile::WriteTag(m.out, two, L"x.mp3"));
    EXPECT_TRUE(m.bytes().empty());
  }
}

TEST(BackupWriter, FittingTheEntriesToTheTocDropsAndFills) {
  const BackupDisc sample = SampleDisc(3);
  DiscInfo many = sample.disc;
  many.tracks.resize(130, many.tracks[1]);
  BackupFile::FitEntriesToToc(many, sample.toc);
  ASSERT_EQ(4u, many.tracks.size());
  EXPECT_EQ(L"Song 1.3", many.tracks[3].title);
  DiscInfo few = sample.disc;
  few.tracks.resize(2);
  BackupFile::FitEntriesToToc(few, sample.toc);
  ASSERT_EQ(4u, few.tracks.size());
  EXPECT_EQ(L"Song 1.1", few.tracks[1].title);
  EXPECT_TRUE(few.tracks[3].title.empty() && few.tracks[3].artist.empty());
  DiscInfo none;
  BackupFile::FitEntriesToToc(none, {0, 2, 1, 1});  // no usable TOC: nothing to fit to
  EXPECT_TRUE(none.tracks.empty());
}

TEST(BackupWriter, GapIsOneValidPaddedFramePerBlock) {
  const auto& gap = BackupFile::GapFrame();
  ASSERT_EQ(627u, gap.size());
  EXPECT_EQ(48279, BackupFile::kGapBytes);
  EXPECT_EQ((Bytes{0xFF, 0xFB, 0xB2, 0x40, 0x00, 0x00, 0x08, 0x00}),
            Bytes(gap.begin(), gap.begin() + 8));
  EXPECT_EQ(0x04, gap[35]);
  EXPECT_EQ(Bytes(591, 0xFF), Bytes(gap.begin() + 36, gap.end()));
}

TEST(PictureFrame, LayoutAndRoundTrip) {
  const Bytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 1, 2, 3};
  TagFrame f;
  ASSERT_TRUE(BackupFile::MakePictureFrame(f, L"Front", jpeg, 1));
  EXPECT_EQ("APIC", f.id);
  EXPECT_EQ(0, f.flags);
  EXPECT_EQ((Bytes{0} + Text("image/jpeg") + Bytes{0, 3} + Text("Front") + Bytes{0} + jpeg),
            f.data);

  ASSERT_TRUE(BackupFile::MakePictureFrame(f, L"\x65e5", Bytes(60, 7), 4));
  EXPECT_EQ((Bytes{1} + Text("image/jpeg") + Bytes{0, 6, 0xFE, 0xFF, 0x65, 0xE5, 0, 0}),
            Bytes(f.data.begin(), f.data.begin() + 19));

  struct Case {
    int kind;
    std::wstring description;
  } cases[] = {{0, L"other"},        {1, L"front"}, {2, L"back"},        {3, L"inlay"},
               {4, L"\x65e5\x672c"}, {2, L""},      {7, L"unknown kind"}};
  for (const Case& c : cases) {
    ASSERT_TRUE(BackupFile::MakePictureFrame(f, c.description, Bytes(100, 9), c.kind));
    int kind = -1;
    std::wstring description;
    Bytes picture;
    ASSERT_TRUE(BackupFile::ParsePictureFrame(f, kind, description, picture));
    EXPECT_EQ(c.kind > 4 ? 0 : c.kind, kind);
    EXPECT_EQ(c.description, description);
    EXPECT_EQ(Bytes(100, 9), picture);
  }
  EXPECT_FALSE(BackupFile::MakePictureFrame(f, L"big", Bytes(10000000, 1)));
}

TEST(PictureFrame, ParseRefusals) {
  auto frame = [](const Bytes& data) { return TagFrame{"APIC", 0, data}; };
  const Bytes jpeg(60, 0xAB);
  struct Case {
    const char* what;
    TagFrame f;
    bool ok;
    int kind;
  } cases[] = {
      {"63 bytes", frame(Bytes{0} + Text("image/jpeg") + Bytes{0, 3, 'a', 0} + Bytes(48, 1)), false,
       0},
      {"64 bytes", frame(Bytes{0} + Text("image/jpeg") + Bytes{0, 3, 'a', 0} + Bytes(49, 1)), true,
       1},
      {"png", frame(Bytes{0} + Text("image/png") + Bytes{0, 4, 'a', 0} + jpeg), true, 2},
      {"gif", frame(Bytes{0} + Text("image/gif") + Bytes{0, 3, 'a', 0} + jpeg), false, 0},
      {"no mime end", frame(Bytes{0} + Text("image/jpeg") + Bytes(60, 'x')), false, 0},
      {"no terminator", frame(Bytes{0} + Text("image/jpeg") + Bytes{0, 3} + Bytes(60, 'x')), false,
       0},
      {"odd utf-16 zero",
       frame(Bytes{1} + Text("image/jpeg") + Bytes{0, 5, 0x41, 0, 0, 0x42, 0, 0} + jpeg), true, 3},
      {"other id", TagFrame{"APIX", 0, Bytes{0} + Text("image/jpeg") + Bytes{0, 3, 'a', 0} + jpeg},
       false, 0},
      {"ID3 type 17", frame(Bytes{0} + Text("image/jpeg") + Bytes{0, 17, 'a', 0} + jpeg), true, 0},
  };
  for (const Case& c : cases) {
    int kind = -1;
    std::wstring description;
    Bytes picture = {1};
    EXPECT_EQ(c.ok, BackupFile::ParsePictureFrame(c.f, kind, description, picture)) << c.what;
    EXPECT_EQ(c.ok ? c.kind : -1, c.ok ? kind : -1) << c.what;
    EXPECT_EQ(c.ok, !picture.empty()) << c.what;
  }
}

}  // namespace

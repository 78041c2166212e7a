#include <gtest/gtest.h>

#include "engine/id3/ID3TagLib.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/MemoryStreams.h"

namespace {

std::unique_ptr<ID3::ID3TagLib> Read(const Bytes& file) {
  MemoryIn m(file);
  return ID3::CreateFromStream(m.in);
}

std::vector<std::string> Ids(const ID3::ID3TagLib& tag) {
  std::vector<std::string> ids;
  for (unsigned i = 0; i < tag.GetFrameCount(); ++i) ids.push_back(tag.GetFrameId(i));
  return ids;
}

TEST(Id3Read, FramesSizesAndId3v1) {
  const Bytes frames = Frame("TIT2", {0, 'A', 'b'}) + Frame("MCDI", Bytes(20, 7), 0x2000);
  const Bytes audio(5000, 0x55);
  auto tag = Read(Tag(frames, 4096, audio));
  ASSERT_TRUE(tag);
  EXPECT_EQ(4096u, tag->GetTagSize());
  EXPECT_EQ(5000u, tag->GetDataSize());
  EXPECT_FALSE(tag->HasId3v1());
  EXPECT_EQ((std::vector<std::string>{"TIT2", "MCDI"}), Ids(*tag));
  EXPECT_EQ(0x2000, tag->GetFrameFlags(1));
  EXPECT_EQ(Bytes(20, 7), tag->GetFrameData(1));

  Bytes v1 = Text("TAG");
  v1.resize(128, ' ');
  auto withV1 = Read(Tag(frames, 4096, audio + v1));
  EXPECT_TRUE(withV1->HasId3v1());
  EXPECT_EQ(5000u, withV1->GetDataSize());
}

TEST(Id3Read, NoTagOrShortStreams) {
  auto plain = Read(Bytes(1000, 0xFF));
  EXPECT_EQ(0u, plain->GetTagSize());
  EXPECT_EQ(0u, plain->GetFrameCount());
  EXPECT_EQ(1000u, plain->GetDataSize());

  auto tiny = Read(Bytes(100, 0xFF));
  EXPECT_EQ(0u, tiny->GetDataSize());
  EXPECT_FALSE(tiny->HasId3v1());

  // "ID3" and a header cut short: no tag at all.
  auto cut = Read(Text("ID3") + Bytes{3, 0, 0});
  EXPECT_EQ(0u, cut->GetTagSize());
  EXPECT_EQ(0u, cut->GetFrameCount());
}

TEST(Id3Read, FrameListEndsAtTheFirstBrokenFrame) {
  const Bytes good = Frame("TIT2", {0, 'x'});
  struct Case {
    const char* what;
    Bytes frames;
    unsigned expected;
  } cases[] = {
      {"padding", good + Bytes(20, 0) + Frame("TPE1", {0, 'y'}), 1},
      {"id byte below '0'", good + Frame("TP/1", {0, 'y'}), 1},
      {"size 0 hides the rest", good + Frame("TPE1", {}) + Frame("TALB", {0, 'z'}), 1},
      {"frame runs past the tag", good + Text("TPE1") + BE32(9000) + Bytes{0, 0, 0}, 1},
      {"over ten million bytes", good + Text("APIC") + BE32(10000001) + Bytes{0, 0}, 1},
      {"two good frames", good + Frame("TPE1", {0, 'y'}), 2},
  };
  for (const Case& c : cases) {
    auto tag = Read(Tag(c.frames, 8192, Bytes(300, 0xFF)));
    EXPECT_EQ(c.expected, tag->GetFrameCount()) << c.what;
  }
}

TEST(Id3Read, Version24AndExtendedHeaders) {
  const Bytes frames = Frame("TIT2", {0, 'A'});
  Bytes v24 = Header(4086, 0, 4) + frames;
  v24.resize(4096, 0);
  EXPECT_EQ(1u, Read(v24 + Bytes(200, 0xFF))->GetFrameCount());

  // An extended header of 6 bytes: frames start at 20.
  Bytes ext = Header(4086, 0x40) + BE32(6) + Bytes{0, 0} + BE32(0) + frames;
  ext.resize(4096, 0);
  auto tag = Read(ext + Bytes(200, 0xFF));
  EXPECT_EQ((std::vector<std::string>{"TIT2"}), Ids(*tag));

  // An extended header larger than the tag leaves no frames to read, not the audio.
  Bytes huge = Header(4086, 0x40) + BE32(0xFFFFFFF0) + Bytes{0, 0} + BE32(0);
  huge.resize(4096, 0);
  const Bytes audio = Frame("TIT2", {0, 'B'}) + Bytes(200, 0xFF);
  auto broken = Read(huge + audio);
  EXPECT_EQ(0u, broken->GetFrameCount());
}

TEST(Id3Read, CopyCutShortInsideItsTagHasNoData) {
  const Bytes file = Tag(Frame("MCDI", Bytes(20, 1)), 8192);
  auto tag = Read(Bytes(file.begin(), file.begin() + 3000));
  EXPECT_EQ(8192u, tag->GetTagSize());
  EXPECT_EQ(0u, tag->GetDataSize());
}

TEST(Id3Read, EmbeddedFrames) {
  const Bytes big(10000001, 1);
  auto tag = ID3::CreateFromFrames(Frame("TIT2", {0, 'A'}) + Frame("APIC", big));
  EXPECT_EQ(2u, tag->GetFrameCount());  // no size limit inside a vector
  EXPECT_EQ(0u, tag->GetTagSize());

  struct Case {
    Bytes frames;
    unsigned expected;
  } cases[] = {
      {Frame("TIT2", {0, 'A'}) + Bytes{'T', 'P', 'E'}, 1},
      {Frame("TIT2", {0, 'A'}) + Text("TPE1") + BE32(0xFFFFFFF8) + Bytes{0, 0, 1}, 1},
      {Frame("TIT2", {0, 'A'}) + Text("TPE1") + BE32(3) + Bytes{0, 0, 1, 2}, 1},
      {Frame("TIT2", {}) + Frame("TPE1", {0, 'B'}), 0},
      {Bytes{}, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.expected, ID3::CreateFromFrames(c.frames)->GetFrameCount());
}

TEST(Id3Read, DecodeText) {
  auto tag = ID3::CreateEmpty();
  struct Case {
    Bytes data;
    std::wstring text;
  } cases[] = {
      {{0x00, 0x41, 0x42, 0x00, 0x43}, L"AB"},
      {{0x00, 0xE9}, L"\x00e9"},
      {{0x01, 0xFE, 0xFF, 0x00, 0x41, 0x00, 0x42}, L"AB"},
      {{0x01, 0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}, L"AB"},
      {{0x01, 0x41, 0x00, 0x42, 0x00}, L"AB"},
      {{0x01, 0xFE, 0xFF, 0x20, 0xAC, 0x00, 0x00, 0x00, 0x41}, L"\x20ac"},
      {{0x01, 0xFE, 0xFF, 0x00, 0x41, 0x00}, L"A"},
      {{0x01, 0xFF, 0xFE}, L""},
      {{0x01, 0x41}, L""},
      {{0x03, 0x41}, L""},
      {{}, L""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.text, tag->DecodeText(c.data));
}

}  // namespace

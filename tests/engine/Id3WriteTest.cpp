#include <gtest/gtest.h>

#include "engine/id3/ID3TagLib.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/MemoryStreams.h"

namespace {

TEST(Id3Write, TagEndsOnAMultipleOf4096WithEnoughPadding) {
  struct Case {
    std::size_t data;  // bytes of one frame's data
    std::size_t tagSize;
  } cases[] = {
      {6, 8192},               // used 26
      {4096 - 20, 8192},       // used 4096
      {4096 - 20 + 1, 12288},  // used 4097
  };
  for (const Case& c : cases) {
    auto tag = ID3::CreateEmpty();
    tag->FrameData(tag->AddFrame("TIT2", 0)) = Bytes(c.data, 'a');
    MemoryOut m;
    ASSERT_TRUE(tag->Write(m.out));
    ASSERT_EQ(c.tagSize, m.bytes().size());
    EXPECT_EQ(c.tagSize, tag->GetTagSize());
    const Bytes& b = m.bytes();
    EXPECT_EQ(c.tagSize - 10, std::size_t(b[6]) << 21 | b[7] << 14 | b[8] << 7 | b[9]);
    for (int i = 6; i < 10; ++i) EXPECT_LT(b[i], 0x80);
  }
  auto tag = ID3::CreateEmpty();
  tag->FrameData(tag->AddFrame("TIT2", 0)) = Bytes(6, 'a');
  MemoryOut m;
  tag->Write(m.out);
  EXPECT_EQ((Bytes{'I', 'D', '3', 3, 0, 0, 0x00, 0x00, 0x3F, 0x76}),
            Bytes(m.bytes().begin(), m.bytes().begin() + 10));
}

TEST(Id3Write, WrittenTagReadsBackInOrder) {
  auto tag = ID3::CreateEmpty();
  const char* ids[] = {"TIT2", "MCDI", "CTOC", "APIC", "TALB"};
  for (int i = 0; i < 5; ++i)
    tag->FrameData(tag->AddFrame(ids[i], i == 1 ? 0x2000 : 0)) = Bytes(10 + i, 'a' + i);
  MemoryOut m;
  ASSERT_TRUE(tag->Write(m.out));
  MemoryIn in(m.bytes() + Bytes(1000, 0xFF));
  auto back = ID3::CreateFromStream(in.in);
  ASSERT_EQ(5u, back->GetFrameCount());
  for (unsigned i = 0; i < 5; ++i) {
    EXPECT_EQ(ids[i], back->GetFrameId(i));
    EXPECT_EQ(Bytes(10 + i, 'a' + i), back->GetFrameData(i));
  }
  EXPECT_EQ(0x2000, back->GetFrameFlags(1));
  EXPECT_EQ(1000u, back->GetDataSize());
}

TEST(Id3Write, EmptyTagWritesOnlyItsHeaderAndFails) {
  auto tag = ID3::CreateEmpty();
  MemoryOut m;
  EXPECT_FALSE(tag->Write(m.out));
  EXPECT_EQ(10u, m.bytes().size());
}

TEST(Id3Write, ReadTagMustFitItsOwnSize) {
  MemoryIn in(Tag(Frame("TIT2", {0, 'A'}), 4096, Bytes(300, 0xFF)));
  auto tag = ID3::CreateFromStream(in.in);
  tag->FrameData(tag->AddFrame("APIC", 0)) = Bytes(4100, 1);
  MemoryOut tooBig;
  EXPECT_FALSE(tag->Write(tooBig.out));
  EXPECT_TRUE(tooBig.bytes().empty());
  tag->RemoveFrame(1);
  tag->RemoveFrame(7);  // past the end: nothing happens
  MemoryOut fits;
  EXPECT_TRUE(tag->Write(fits.out));
  EXPECT_EQ(4096u, fits.bytes().size());
}

// Size bytes read with their top bits set give a size that no header can hold.
TEST(Id3Write, TagTooLargeForItsHeaderIsNotWritten) {
  Bytes file = {'I', 'D', '3', 3, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  file.resize(310, 0);
  MemoryIn in(file);
  auto tag = ID3::CreateFromStream(in.in);
  ASSERT_GT(tag->GetTagSize(), 0x0FFFFFFFu + 10);
  tag->FrameData(tag->AddFrame("TIT2", 0)) = Bytes(6, 'a');
  MemoryOut m;
  EXPECT_FALSE(tag->Write(m.out));
  EXPECT_TRUE(m.bytes().empty());
}

TEST(Id3Write, FailingStreamFailsTheWrite) {
  auto tag = ID3::CreateEmpty();
  tag->FrameData(tag->AddFrame("TIT2", 0)) = Bytes(6, 'a');
  MemoryOut m;
  m.out.setstate(std::ios_base::badbit);
  EXPECT_FALSE(tag->Write(m.out));
}

TEST(Id3Write, EncodeTextAndSerializeFrame) {
  auto tag = ID3::CreateEmpty();
  EXPECT_EQ((Bytes{0x00, 0x41, 0x62, 0x63}), tag->EncodeText(L"Abc"));
  EXPECT_EQ((Bytes{0x00, 0xFF}), tag->EncodeText(L"\x00ff"));
  EXPECT_EQ((Bytes{0x01, 0xFE, 0xFF, 0x20, 0xAC, 0x00, 0x41}), tag->EncodeText(L"\x20ac"
                                                                               L"A"));
  EXPECT_EQ((Bytes{0x00}), tag->EncodeText(L""));
  EXPECT_TRUE(ID3::FitsLatin1(L""));
  EXPECT_FALSE(ID3::FitsLatin1(L"a\x0100"));
  for (const std::wstring& s : {std::wstring(L"Caf\x00e9"), std::wstring(L"\x65e5\x672c \x0416")})
    EXPECT_EQ(s, tag->DecodeText(tag->EncodeText(s)));
  EXPECT_EQ((Bytes{0x54, 0x4C, 0x45, 0x4E, 0, 0, 0, 3, 0, 0, 0x00, 0x31, 0x32}),
            tag->SerializeFrame("TLEN", 0, {0x00, 0x31, 0x32}));
  EXPECT_EQ(0u, tag->GetFrameCount());
  EXPECT_FALSE(tag->Unsupported(0));
}

}  // namespace

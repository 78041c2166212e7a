#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "recorder/RawStream.h"
#include "tests/engine/TocBuilder.h"
#include "tests/recorder/PatternReader.h"
#include "tests/recorder/QDecoder.h"
#include "tests/recorder/ScriptedAcm.h"

using namespace Recorder;
using Bytes = std::vector<unsigned char>;

namespace {

// Holds the stream by the reference it was made with.
struct Stream {
  Stream(int32_t end, bool cdText, const wchar_t* name = L"TAVRINStream",
         std::vector<int32_t>* asked = nullptr)
      : s(new RawStream(std::make_unique<PatternReader>(end, asked), cdText, name, 0, &hr)) {}
  ~Stream() { s->Release(); }
  RawStream* operator->() { return s; }
  HRESULT hr = E_FAIL;
  RawStream* s;
};

ULARGE_INTEGER SeekTo(IStream* s, int64_t offset, DWORD origin = STREAM_SEEK_SET) {
  LARGE_INTEGER li;
  li.QuadPart = offset;
  ULARGE_INTEGER pos{};
  EXPECT_EQ(s->Seek(li, origin, &pos), S_OK);
  return pos;
}

uint64_t SizeOf(IStream* s) {
  STATSTG st{};
  EXPECT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  return st.cbSize.QuadPart;
}

}  // namespace

TEST(RawStream, HandsOutSectorsSeamlesslyInAnyChunks) {
  for (bool cdText : {true, false}) {
    SCOPED_TRACE(cdText ? "CD-Text" : "packed P-Q");
    std::vector<int32_t> asked;
    Stream s(100, cdText, nullptr, &asked);
    const std::size_t sector = cdText ? 2448 : 2368;
    Bytes all(3 * sector + 500);
    ULONG got = 0;
    std::size_t at = 0;
    for (ULONG chunk : {1000u, 1000u, 1000u, 1u, 2351u, 97u}) {
      ASSERT_EQ(s->Read(all.data() + at, chunk, &got), S_OK);
      ASSERT_EQ(got, chunk);
      at += chunk;
    }
    ASSERT_EQ(s->Read(all.data() + at, ULONG(all.size() - at), &got), S_OK);
    EXPECT_EQ(asked, (std::vector<int32_t>{-22650, -22649, -22648, -22647}));
    for (std::size_t i = 0; i < all.size(); ++i) {
      const int32_t lba = -22650 + int32_t(i / sector);
      const int offset = int(i % sector);
      if (offset < 2352 || cdText) {
        ASSERT_EQ(all[i], PatternReader::Byte(lba, offset)) << i;
      }
    }
    if (!cdText) {
      // The packed form: Q bits of the raw bytes, three zeros, P.
      Bytes raw(96);
      for (int i = 0; i < 96; ++i) raw[i] = PatternReader::Byte(-22650, 2352 + i);
      Bytes q(12, 0);
      for (int i = 0; i < 96; ++i) q[i / 8] |= (raw[i] >> 6 & 1) << (7 - i % 8);
      EXPECT_EQ(Bytes(all.begin() + 2352, all.begin() + 2364), q);
      EXPECT_EQ(Bytes(all.begin() + 2364, all.begin() + 2368),
                (Bytes{0, 0, 0, Bytes::value_type(raw[0] & 0x80)}));
    }
  }
}

TEST(RawStream, PositionsByLbaAndCountsTheSectorsLeft) {
  const int32_t end = 336750;
  Stream s(end, true);
  EXPECT_EQ(s.hr, S_OK);
  EXPECT_EQ(SizeOf(s.s), uint64_t(uint32_t(end + 34222) * 2448u));
  for (int k : {11635, 22650, 900, 0}) {
    const ULARGE_INTEGER pos = SeekTo(s.s, int64_t(k) * 2448);
    EXPECT_EQ(pos.QuadPart, uint64_t(k) * 2448);
    EXPECT_EQ(SizeOf(s.s), uint64_t(k + end + k) * 2448);
    EXPECT_EQ((SizeOf(s.s) - pos.QuadPart) / 2448, uint64_t(end + k));
  }
  SeekTo(s.s, 900 * 2448 + 100);  // inside a sector: that sector's LBA
  SeekTo(s.s, -100, STREAM_SEEK_CUR);
  EXPECT_EQ(SeekTo(s.s, 0, STREAM_SEEK_CUR).QuadPart, 900u * 2448);
  Bytes b(2448);
  ULONG got = 0;
  ASSERT_EQ(s->Read(b.data(), 2448, &got), S_OK);
  EXPECT_EQ(b[0], PatternReader::Byte(-900, 0));
  EXPECT_EQ(SeekTo(s.s, 0, STREAM_SEEK_CUR).QuadPart, 900u * 2448);  // Read leaves the position

  LARGE_INTEGER li{};
  EXPECT_EQ(s->Seek(li, 3, nullptr), E_INVALIDARG);
  li.QuadPart = -1;
  EXPECT_TRUE(FAILED(s->Seek(li, STREAM_SEEK_SET, nullptr)));
  ULARGE_INTEGER size;
  size.QuadPart = 12345;
  EXPECT_EQ(s->SetSize(size), S_OK);
  EXPECT_EQ(SizeOf(s.s), 12345u);
}

TEST(RawStream, FailsPastTheEndUnlessBytesWereHandedOut) {
  Stream s(-22649, false);  // one sector
  Bytes b(5000);
  ULONG got = 0;
  EXPECT_EQ(s->Read(b.data(), 5000, &got), S_OK);
  EXPECT_EQ(got, 2368u);
  EXPECT_EQ(s->Read(b.data(), 10, &got), STG_E_READFAULT);
  EXPECT_EQ(got, 0u);
  Stream t(-22649, false);
  EXPECT_EQ(t->Read(b.data(), 5000, nullptr), STG_E_READFAULT);  // no count to tell
}

TEST(RawStream, StatNameInterfacesAndReferences) {
  Stream s(100, true);
  STATSTG st{};
  ASSERT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
  ASSERT_TRUE(st.pwcsName);
  EXPECT_STREQ(st.pwcsName, L"TAVRINStream");
  EXPECT_EQ(st.type, DWORD(STGTY_STREAM));
  EXPECT_EQ(st.grfMode, 0u);
  EXPECT_NE(st.mtime.dwLowDateTime | st.mtime.dwHighDateTime, 0u);
  CoTaskMemFree(st.pwcsName);
  ASSERT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(st.pwcsName, nullptr);
  Stream unnamed(100, true, nullptr);
  ASSERT_EQ(unnamed->Stat(&st, STATFLAG_DEFAULT), S_OK);
  EXPECT_STREQ(st.pwcsName, L"");
  CoTaskMemFree(st.pwcsName);

  for (REFIID iid : {IID_IUnknown, IID_ISequentialStream, IID_IStream}) {
    void* p = nullptr;
    ASSERT_EQ(s->QueryInterface(iid, &p), S_OK);
    EXPECT_EQ(p, static_cast<IStream*>(s.s));
    EXPECT_EQ(static_cast<IUnknown*>(p)->Release(), 1u);
  }
  void* p = &st;
  EXPECT_EQ(s->QueryInterface(IID_IStorage, &p), E_NOINTERFACE);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(s->AddRef(), 2u);
  EXPECT_EQ(s->Release(), 1u);

  ULARGE_INTEGER u{};
  IStream* clone = nullptr;
  EXPECT_EQ(s->Write("x", 1, nullptr), E_NOTIMPL);
  EXPECT_EQ(s->Revert(), E_NOTIMPL);
  EXPECT_EQ(s->LockRegion(u, u, 0), E_NOTIMPL);
  EXPECT_EQ(s->UnlockRegion(u, u, 0), E_NOTIMPL);
  EXPECT_EQ(s->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(s->Commit(0), S_OK);
}

TEST(RawStream, CopiesIntoAnotherStream) {
  Stream s(100, true), reference(100, true);
  IStream* target = nullptr;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &target), S_OK);
  ULARGE_INTEGER count, read, written;
  count.QuadPart = 5000;
  ASSERT_EQ(s->CopyTo(target, count, &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 5000u);
  EXPECT_EQ(written.QuadPart, 5000u);
  Bytes copied(5000), expected(5000);
  SeekTo(target, 0);
  ULONG got = 0;
  ASSERT_EQ(target->Read(copied.data(), 5000, &got), S_OK);
  EXPECT_EQ(got, 5000u);
  ASSERT_EQ(reference->Read(expected.data(), 5000, &got), S_OK);
  EXPECT_EQ(copied, expected);
  // Past the end the copy stops with the reader's failure.
  Stream shortStream(-22649, true);
  EXPECT_EQ(shortStream->CopyTo(target, count, &read, &written), STG_E_READFAULT);
  EXPECT_EQ(read.QuadPart, 2448u);
  target->Release();
}

// The stream read as a raw-CD writer reads it: positioned at the lead-in start
// the medium reports, its size taken from Stat, then read to the end in
// irregular pieces. Every sector's Q is decoded on its own.
TEST(RawStream, ReadLikeARawWriterFromTheLeadInToTheEnd) {
  const Bytes toc = MakeToc({0, 300, 600});
  Bytes cdText(144);
  for (std::size_t i = 0; i < cdText.size(); ++i) cdText[i] = Bytes::value_type(i * 7 + 1);
  for (bool withText : {true, false}) {
    SCOPED_TRACE(withText ? "P-W" : "P-Q");
    const Bytes& text = withText ? cdText : Bytes();
    auto reader = CreateMainChannelReader(
        L"C:\\none.mp3", 0, 1, toc, text,
        std::make_shared<ScriptedAcm>(SectorPcm(600, [](int s) { return 500 + s; })));
    ASSERT_TRUE(reader);
    HRESULT hr = E_FAIL;
    auto* stream = new RawStream(std::move(reader), withText, L"TAVRINStream", 0, &hr);
    ASSERT_EQ(hr, S_OK);
    IStream* s = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IStream, reinterpret_cast<void**>(&s)), S_OK);
    stream->Release();

    const int32_t leadInStart = -900;  // 99:50:00
    const std::size_t sector = withText ? 2448 : 2368;
    const ULARGE_INTEGER pos = SeekTo(s, int64_t(-leadInStart) * sector);
    const uint64_t sectors = (SizeOf(s) - pos.QuadPart) / sector;
    ASSERT_EQ(sectors, 750u + 150 + 600 + 6750);
    Bytes all(sectors * sector);
    std::size_t at = 0;
    for (int piece = 0; at < all.size(); ++piece) {
      const std::size_t n =
          std::min<std::size_t>(all.size() - at, piece % 2 ? sector + 1000 : 26 * sector);
      ULONG got = 0;
      ASSERT_EQ(s->Read(all.data() + at, ULONG(n), &got), S_OK);
      ASSERT_EQ(got, n);
      at += n;
    }
    for (uint64_t i = 0; i < sectors; ++i) {
      const int32_t x = leadInStart + int32_t(i);
      const unsigned char* sub = &all[i * sector + 2352];
      QDecoder::Sector q;
      if (withText) {
        q = QDecoder::Decode(sub);
      } else {
        std::copy(sub, sub + 12, q.q.begin());
        const unsigned crc = QDecoder::Crc16(sub, 10);
        q.crcOk = sub[10] == crc >> 8 && sub[11] == (crc & 0xFF);
        ASSERT_EQ(sub[12] | sub[13] | sub[14], 0);
        ASSERT_EQ(sub[15] & 0x7F, 0);
      }
      ASSERT_TRUE(q.crcOk) << x;
      if (withText && x < -150) {  // the CD-Text units in turn, from the first
        ASSERT_TRUE(std::equal(q.rw.begin(), q.rw.end(), cdText.begin() + 72 * (i % 2))) << x;
      }
      ASSERT_EQ(q.Frames(x < -150 ? 3 : 7), x < -150 ? x + 450150 : x + 150) << x;
      if (x >= 0 && x < 600) {
        ASSERT_EQ(int16_t(all[i * sector] | all[i * sector + 1] << 8), 500 + x);
      }
    }
    ULONG got = 0;
    Bytes more(10);
    EXPECT_EQ(s->Read(more.data(), 10, &got), STG_E_READFAULT);
    EXPECT_EQ(s->Release(), 0u);
  }
}

#include <windows.h>

#include <gtest/gtest.h>

#include <boost/iostreams/stream_buffer.hpp>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

#include "engine/streams/ByteSourceSB.h"
#include "engine/streams/ChunkStream.h"
#include "engine/streams/WFile.h"
#include "tests/support/TempDir.h"

namespace io = boost::iostreams;
using Bytes = std::vector<unsigned char>;
using ByteIStream = std::basic_istream<unsigned char>;
using ByteOStream = std::basic_ostream<unsigned char>;

namespace {

Bytes Pattern(std::size_t n) {
  Bytes v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i % 251);
  return v;
}

void WriteFile(const std::wstring& path, const Bytes& data) {
  io::stream_buffer<io::basic_wfile_sink<unsigned char>> sb(
      io::basic_wfile_sink<unsigned char>(path, std::ios_base::out | std::ios_base::binary));
  ByteOStream out(&sb);
  out.write(data.data(), data.size());
  out.flush();
  ASSERT_TRUE(out.good());
}

Bytes ReadAll(ByteIStream& in) {
  Bytes all;
  unsigned char buf[777];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) all.insert(all.end(), buf, buf + in.gcount());
  return all;
}

// One disc's audio: file, istream, seekable device, chunk window.
struct ChunkStream {
  ChunkStream(const std::wstring& path, std::streampos start, int32_t length)
      : sb(std::make_shared<ByteSourceSB>(path, std::ios_base::in | std::ios_base::binary)),
        file(sb.get()),
        stream(OpenChunkStream(file, start, length)),
        chunk(*stream) {}
  std::shared_ptr<ByteSourceSB> sb;
  ByteIStream file;
  std::shared_ptr<ByteIStream> stream;
  ByteIStream& chunk;
};

TEST(Streams, WritesAndReadsFilesByNonLatinWidePaths) {
  TempDir dir;
  const std::wstring path = dir / L"\x65e5\x672c \x0416\x0443\x043a \x00e9t\x00e9.mp3";
  const Bytes data = Pattern(100000);
  WriteFile(path, data);
  EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(path.c_str()));
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  ByteIStream in(&sb);
  EXPECT_EQ(data, ReadAll(in));
}

TEST(Streams, SinkEmptiesAnExistingFile) {
  TempDir dir;
  const std::wstring path = dir / L"f.bin";
  WriteFile(path, Pattern(5000));
  WriteFile(path, Pattern(10));
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  ByteIStream in(&sb);
  EXPECT_EQ(Pattern(10), ReadAll(in));
}

TEST(Streams, MissingFileLeavesTheDeviceClosedAndTheStreamFailsOnFirstUse) {
  TempDir dir;
  io::basic_wfile_source<unsigned char> src(dir / L"missing.bin");
  EXPECT_FALSE(src.is_open());
  unsigned char b;
  EXPECT_EQ(-1, src.read(&b, 1));
  ByteSourceSB sb(dir / L"missing.bin", std::ios_base::in | std::ios_base::binary);
  ByteIStream in(&sb);
  in.read(&b, 1);
  EXPECT_FALSE(in.good());
  io::basic_wfile_sink<unsigned char> sink(dir / L"no\\such\\folder.bin");
  EXPECT_FALSE(sink.is_open());
  EXPECT_EQ(0, sink.write(&b, 1));
}

TEST(Streams, CopiesShareTheOpenFile) {
  TempDir dir;
  WriteFile(dir / L"f.bin", Pattern(100));
  io::basic_wfile_source<unsigned char> a(dir / L"f.bin");
  {
    io::basic_wfile_source<unsigned char> b = a;
    unsigned char buf[10];
    EXPECT_EQ(10, b.read(buf, 10));
  }
  unsigned char c;
  ASSERT_TRUE(a.is_open());
  EXPECT_EQ(1, a.read(&c, 1));
  EXPECT_EQ(10, c);  // the copy moved the shared position
}

TEST(Streams, SeeksBeyondFourGigabytesInASparseFile) {
  TempDir dir;
  const std::wstring path = dir / L"big.bin";
  const std::streamoff offset = (std::streamoff(5) << 30) + 300;
  {
    io::basic_wfile_sink<unsigned char> sink(path);
    ASSERT_EQ(std::streamoff(offset), std::streamoff(sink.seek(offset, std::ios_base::beg)));
    const unsigned char tail[4] = {1, 2, 3, 4};
    ASSERT_EQ(4, sink.write(tail, 4));
  }
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  ByteIStream in(&sb);
  in.seekg(-2, std::ios_base::end);
  EXPECT_EQ(offset + 2, std::streamoff(in.tellg()));
  unsigned char got[2];
  in.read(got, 2);
  EXPECT_EQ(3, got[0]);
  EXPECT_EQ(4, got[1]);

  ChunkStream chunk(path, offset, 4);
  EXPECT_EQ((Bytes{1, 2, 3, 4}), ReadAll(chunk.chunk));
}

TEST(Streams, ChunkStreamDeliversExactlyItsRange) {
  TempDir dir;
  const Bytes data = Pattern(20000);
  WriteFile(dir / L"f.bin", data);
  ChunkStream s(dir / L"f.bin", 1000, 5000);
  EXPECT_EQ(Bytes(data.begin() + 1000, data.begin() + 6000), ReadAll(s.chunk));

  // Seeking back to the start reads the first byte of the range again.
  s.chunk.clear();
  s.chunk.seekg(0, std::ios_base::beg);
  unsigned char b = 0;
  s.chunk.read(&b, 1);
  EXPECT_EQ(data[1000], b);
  s.chunk.seekg(-100, std::ios_base::end);
  unsigned char buf[4096];
  s.chunk.read(buf, sizeof buf);
  EXPECT_EQ(100, s.chunk.gcount());
  s.chunk.clear();
  s.chunk.read(buf, sizeof buf);
  EXPECT_EQ(0, s.chunk.gcount());
}

TEST(Streams, SeekBeforeTheFirstReadIsKept) {
  TempDir dir;
  const Bytes data = Pattern(3000);
  WriteFile(dir / L"f.bin", data);
  for (std::ios_base::seekdir way : {std::ios_base::beg, std::ios_base::cur}) {
    ChunkStream s(dir / L"f.bin", 1000, 1000);
    s.chunk.seekg(417, way);
    unsigned char b[4];
    s.chunk.read(b, 4);
    EXPECT_EQ(Bytes(data.begin() + 1417, data.begin() + 1421), Bytes(b, b + 4));
  }
}

TEST(Streams, EmptyChunkAndChunkPastTheFileEnd) {
  TempDir dir;
  const Bytes data = Pattern(300);
  WriteFile(dir / L"f.bin", data);
  ChunkStream empty(dir / L"f.bin", 10, 0);
  EXPECT_TRUE(ReadAll(empty.chunk).empty());
  ChunkStream longer(dir / L"f.bin", 200, 100000);
  EXPECT_EQ(Bytes(data.begin() + 200, data.end()), ReadAll(longer.chunk));
}

TEST(Streams, TwoChunkStreamsShareOneIstream) {
  TempDir dir;
  const Bytes data = Pattern(4000);
  WriteFile(dir / L"f.bin", data);
  auto sb =
      std::make_shared<ByteSourceSB>(dir / L"f.bin", std::ios_base::in | std::ios_base::binary);
  ByteIStream file(sb.get());
  const std::shared_ptr<ByteIStream> a = OpenChunkStream(file, 0, 2000);
  const std::shared_ptr<ByteIStream> b = OpenChunkStream(file, 2000, 2000);
  EXPECT_EQ(Bytes(data.begin() + 2000, data.end()), ReadAll(*b));
  a->seekg(0, std::ios_base::beg);  // every switch between chunks seeks first
  EXPECT_EQ(Bytes(data.begin(), data.begin() + 2000), ReadAll(*a));
}

}  // namespace

// Runs thousands of mutated copies of real backup files through the tag reader,
// the backup-file reader and the frame scanner. Built for Windows (run under
// Wine) and natively with the address and undefined-behaviour sanitizers.
//   backup_fuzz ITERATIONS FILE...
// Fails on an exception, on a result that points outside its file, or on any
// single allocation above the bound below.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "engine/cd/RawToc.h"
#include "engine/id3/ID3TagLib.h"
#include "engine/mp3/MP3Seeker.h"
#include "engine/streams/ChunkFilter.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/SeekableDevice.h"
#include "tests/support/AllocationWatch.h"
#include "tests/engine/MemoryStreams.h"

namespace {

using Bytes = std::vector<unsigned char>;
namespace io = boost::iostreams;

// Frames are capped at ten million bytes; nothing needs much more than that.
const std::size_t kMaxAllocation = 64u << 20;

struct Failure {
  std::string what;
};

void Require(bool ok, const char* what) {
  if (!ok) throw Failure{what};
}

uint32_t BigEndian(const Bytes& b, std::size_t at) {
  return uint32_t(b[at]) << 24 | b[at + 1] << 16 | b[at + 2] << 8 | b[at + 3];
}

class Mutator {
 public:
  explicit Mutator(unsigned seed) : random_(seed) {}

  Bytes Mutate(const Bytes& original, std::size_t tagSize) {
    Bytes b = original;
    const int steps = 1 + Below(3);
    for (int s = 0; s < steps && !b.empty(); ++s) {
      // Most changes land in the tag, where the structure is.
      const std::size_t region = Below(10) < 8 ? std::min(tagSize, b.size()) : b.size();
      const std::size_t at = Below(region);
      switch (Below(7)) {
        case 0:
          for (int n = 1 + Below(8); n > 0; --n) b[Below(region)] ^= 1u << Below(8);
          break;
        case 1: {
          static const uint32_t values[] = {0,          1,        0xFFFFFFFF, 0x7FFFFFFF,
                                            0x80000000, 10000001, 0x0098967F, 0xFFFFFFF6,
                                            16,         21,       0x3F76,     0x00000100};
          const uint32_t v = values[Below(std::size(values))];
          for (int i = 0; i < 4 && at + i < b.size(); ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
          break;
        }
        case 2:
          b.resize(Below(b.size()));
          break;
        case 3:
          b.erase(b.begin() + at, b.begin() + std::min(b.size(), at + 1 + Below(64)));
          break;
        case 4: {
          const Bytes junk(1 + Below(64), static_cast<unsigned char>(Below(256)));
          b.insert(b.begin() + at, junk.begin(), junk.end());
          break;
        }
        case 5:
          MutateFrameHeader(b, tagSize);
          break;
        default:
          b[at] = static_cast<unsigned char>(Below(256));
      }
    }
    return b;
  }

 private:
  // The size or id of one of the tag's frames.
  void MutateFrameHeader(Bytes& b, std::size_t tagSize) {
    std::vector<std::size_t> headers;
    for (uint64_t o = 10; o + 10 <= std::min(tagSize, b.size());) {
      const uint64_t size = BigEndian(b, std::size_t(o) + 4);
      if (b[o] < 0x30 || size == 0) break;
      headers.push_back(std::size_t(o));
      o += 10 + size;
    }
    if (headers.empty()) return;
    const std::size_t o = headers[Below(headers.size())];
    if (Below(2)) {
      const uint32_t size = BigEndian(b, o + 4) + static_cast<uint32_t>(Below(64)) - 32;
      for (int i = 0; i < 4; ++i) b[o + 4 + i] = uint8_t(size >> (24 - 8 * i));
    } else {
      b[o + Below(4)] = static_cast<unsigned char>(Below(0x60));
    }
  }

  std::size_t Below(std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  std::mt19937 random_;
};

void ScanDisc(std::basic_istream<unsigned char>& file, const BackupDisc& d) {
  auto chunk = std::make_shared<io::filtering_byte_stream<io::input_seekable>>();
  chunk->push(io::chunkfilter<io::input_seekable, unsigned char>(d.audioStart, d.audioSize));
  chunk->push(io::SeekableDevice<unsigned char>(file));
  MP3::MP3Seeker seeker;
  seeker.Open(chunk);
  std::size_t frames = 0;
  while (seeker.NextFrame())
    Require(++frames <= std::size_t(d.audioSize) / 24 + 1, "scanner runs on");
  for (std::size_t i = 0; i < seeker.FrameCount(); ++i) {
    const std::streamoff p = seeker.FramePosition(i);
    Require(p >= 0 && p < d.audioSize, "frame outside its disc");
  }
}

void Check(const Bytes& file, bool scan) {
  {
    MemoryIn in(file);
    auto tag = ID3::CreateFromStream(in.in);
    Require(tag != nullptr, "no tag object");
    Require(tag->GetDataSize() <= file.size(), "data size beyond the file");
    for (unsigned i = 0; i < tag->GetFrameCount(); ++i) {
      const Bytes& data = tag->GetFrameData(i);
      if (tag->GetFrameId(i) == "APIC") {
        int kind = 0;
        std::wstring description;
        Bytes picture;
        BackupFile::ParsePictureFrame(TagFrame{"APIC", 0, data}, kind, description, picture);
        Require(picture.size() < data.size(), "picture larger than its frame");
      } else {
        tag->DecodeText(data);
      }
    }
  }
  MemoryIn in(file);
  const std::vector<BackupDisc> discs = BackupFile::ReadDiscs(in.in);
  for (const BackupDisc& d : discs) {
    const int32_t tracks = RawToc::TrackCount(d.toc);
    Require(tracks >= 1 && tracks <= 99, "disc without a usable TOC");
    Require(!d.disc.tracks.empty(), "disc without texts");
    Require(d.audioSize >= 0 && std::streamoff(d.audioStart) >= 0 &&
                std::streamoff(d.audioStart) + d.audioSize <= std::streamoff(file.size()),
            "audio outside the file");
    for (unsigned k = 0; k <= unsigned(tracks) + 1; ++k) {
      RawToc::TrackStartMs(k, d.toc);
      RawToc::TrackLengthMs(k, d.toc);
    }
    if (scan) {
      in.in.clear();
      ScanDisc(in.in, d);
    }
  }
}

Bytes Load(const char* path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  const int iterations = std::atoi(argv[1]);
  const AllocationWatch allocations(kMaxAllocation);
  int failures = 0, read = 0, total = 0;
  for (int f = 2; f < argc; ++f) {
    const Bytes original = Load(argv[f]);
    MemoryIn in(original);
    const std::size_t tagSize =
        static_cast<std::size_t>(ID3::CreateFromStream(in.in)->GetTagSize());
    if (original.empty() || tagSize == 0) {
      std::fprintf(stderr, "%s: not a tagged file\n", argv[f]);
      return 1;
    }
    Mutator mutator(static_cast<unsigned>(f * 7919));
    for (int i = 0; i < iterations; ++i, ++total) {
      const Bytes file = i == 0 ? original : mutator.Mutate(original, tagSize);
      try {
        Check(file, i % 16 == 0);
        MemoryIn again(file);
        read += !BackupFile::ReadDiscs(again.in).empty();
      } catch (const Failure& e) {
        std::fprintf(stderr, "%s, copy %d: %s\n", argv[f], i, e.what.c_str());
        ++failures;
      } catch (const std::exception& e) {
        std::fprintf(stderr, "%s, copy %d: exception %s\n", argv[f], i, e.what());
        ++failures;
      }
    }
  }
  std::printf("%d copies, %d read as backups, largest allocation %zu bytes, %d failures\n", total,
              read, allocations.Largest(), failures);
  return failures == 0 && read > 0 ? 0 : 1;
}

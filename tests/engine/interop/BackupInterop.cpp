// Writes the backup files that the host-side checkers read ("write DIR"), and
// reads them back after other programs have touched them ("verify DIR").
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <tuple>
#include <sstream>

#include "common/Utf8.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "engine/backup/CueSheet.h"
#include "engine/cd/RawToc.h"
#include "engine/mp3/MP3Seeker.h"
#include "engine/streams/ByteSourceSB.h"
#include "engine/streams/ChunkFilter.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/SeekableDevice.h"
#include "engine/streams/WFile.h"
#include "tests/engine/interop/InteropDiscs.h"
#include "tests/engine/interop/LameEncoder.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

namespace io = boost::iostreams;
using Bytes = std::vector<unsigned char>;

namespace {

struct Built {
  Interop::FileSpec spec;
  std::vector<BackupDisc> discs;  // audio positions relative to the end of the tag
  std::vector<Bytes> audio;       // each disc's MP3 stream
  std::vector<std::vector<int16_t>> pcm;
};

Bytes Jpeg(int width, int height, int seed) {
  std::vector<unsigned char> rgb(std::size_t(width) * height * 3);
  for (std::size_t i = 0; i < rgb.size(); ++i)
    rgb[i] = static_cast<unsigned char>(i * 7 + seed * 53);
  Bytes out;
  stbi_write_jpg_to_func(
      [](void* ctx, void* data, int size) {
        auto* o = static_cast<Bytes*>(ctx);
        o->insert(o->end(), static_cast<unsigned char*>(data),
                  static_cast<unsigned char*>(data) + size);
      },
      &out, width, height, 3, rgb.data(), 80);
  return out;
}

// The discs of a file with texts, pictures and their PCM; audio encoded only when asked.
Built Build(const Interop::FileSpec& spec, const TestAudio::LameEncoder* lame) {
  Built b{spec, {}, {}, {}};
  for (std::size_t i = 0; i < spec.discs.size(); ++i) {
    b.discs.push_back(Interop::MakeDisc(spec.discs[i], int(i + 1)));
    std::vector<int16_t> pcm;
    for (std::size_t k = 0; k < spec.discs[i].sectors.size(); ++k)
      TestAudio::AppendTone(pcm, spec.discs[i].sectors[k],
                            220.0 + 37.0 * double(k) + 90.0 * double(i));
    b.pcm.push_back(std::move(pcm));
  }
  for (std::size_t p = 0; p < spec.pictures.size(); ++p) {
    const Interop::PictureSpec& ps = spec.pictures[p];
    TagFrame f;
    if (!BackupFile::MakePictureFrame(f, ps.description, Jpeg(ps.width, ps.height, int(p)),
                                      ps.kind))
      throw std::runtime_error("picture frame");
    b.discs[0].pictures.push_back(f);
  }
  if (lame) {
    std::streamoff at = 0;
    for (std::size_t i = 0; i < b.discs.size(); ++i) {
      b.audio.push_back(lame->EncodeStream(b.pcm[i]));
      b.discs[i].audioStart = at;
      b.discs[i].audioSize = static_cast<int32_t>(b.audio[i].size());
      at += b.discs[i].audioSize + BackupFile::kGapBytes;
    }
  }
  return b;
}

void WriteBytes(const std::wstring& path, const std::vector<const Bytes*>& parts) {
  io::stream_buffer<io::basic_wfile_sink<unsigned char>> sb(
      io::basic_wfile_sink<unsigned char>(path, std::ios_base::out | std::ios_base::binary));
  std::basic_ostream<unsigned char> out(&sb);
  for (const Bytes* p : parts) out.write(p->data(), std::streamsize(p->size()));
  out.flush();
  if (!out.good()) throw std::runtime_error("cannot write " + Utf8::Encode(path));
}

Bytes ReadBytes(const std::wstring& path) {
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> in(&sb);
  Bytes all;
  unsigned char buf[65536];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) all.insert(all.end(), buf, buf + in.gcount());
  return all;
}

std::vector<BackupDisc> ReadDiscsOf(const std::wstring& path) {
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> in(&sb);
  return BackupFile::ReadDiscs(in);
}

std::string Json(const std::wstring& s) {
  std::string out = "\"";
  for (char c : Utf8::Encode(s)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// What the checkers need to know of a file, in the terms of the disc, not the tag.
void WriteManifest(const std::wstring& path, const Built& b, uint64_t tagSize) {
  std::ostringstream j;
  j << "{\"file\": " << Json(b.spec.name + L".mp3") << ", \"tagSize\": " << tagSize
    << ", \"discs\": [";
  for (std::size_t i = 0; i < b.discs.size(); ++i) {
    const BackupDisc& d = b.discs[i];
    j << (i ? ", " : "") << "{\"lbas\": [";
    for (int k = 1; k <= RawToc::TrackCount(d.toc) + 1; ++k)
      j << (k > 1 ? ", " : "") << RawToc::TrackAddress(unsigned(k), d.toc);
    j << "], \"audioStart\": " << std::streamoff(d.audioStart) << ", \"audioSize\": " << d.audioSize
      << ", \"pcmFrames\": " << b.pcm[i].size() / 2 << ", \"texts\": [";
    for (std::size_t k = 0; k < d.disc.tracks.size(); ++k) {
      const TrackText& t = d.disc.tracks[k];
      j << (k ? ", " : "") << "[" << Json(t.artist) << ", " << Json(t.title) << ", "
        << Json(t.genre) << ", " << t.year << "]";
    }
    j << "]}";
  }
  j << "], \"pictures\": [";
  for (std::size_t p = 0; p < b.spec.pictures.size(); ++p) {
    int kind = 0;
    std::wstring description;
    Bytes picture;
    BackupFile::ParsePictureFrame(b.discs[0].pictures[p], kind, description, picture);
    j << (p ? ", " : "") << "{\"kind\": " << kind << ", \"description\": " << Json(description)
      << ", \"size\": " << picture.size() << "}";
  }
  j << "]}\n";
  const std::string text = j.str();
  const Bytes bytes(text.begin(), text.end());
  WriteBytes(path, {&bytes});
}

// Every frame position of every disc, as the scanner finds it, from the file start.
std::vector<std::streamoff> ScanFrames(const std::wstring& path,
                                       const std::vector<BackupDisc>& discs) {
  auto sb = std::make_shared<ByteSourceSB>(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> file(sb.get());
  std::vector<std::streamoff> all;
  for (const BackupDisc& d : discs) {
    auto chunk = std::make_shared<io::filtering_byte_stream<io::input_seekable>>();
    chunk->push(io::chunkfilter<io::input_seekable, unsigned char>(d.audioStart, d.audioSize));
    chunk->push(io::SeekableDevice<unsigned char>(file));
    MP3::MP3Seeker seeker;
    seeker.Open(chunk);
    while (seeker.NextFrame()) {
    }
    for (std::size_t i = 0; i < seeker.FrameCount(); ++i)
      all.push_back(std::streamoff(d.audioStart) + std::streamoff(seeker.FramePosition(i)));
  }
  return all;
}

// The differences between what a file should hold and what the reader made of it.
std::string Compare(const Built& b, const std::vector<BackupDisc>& read, const Bytes& file) {
  std::ostringstream e;
  if (read.size() != b.discs.size()) {
    e << "discs " << read.size() << " != " << b.discs.size();
    return e.str();
  }
  for (std::size_t i = 0; i < read.size(); ++i) {
    const BackupDisc& want = b.discs[i];
    const BackupDisc& got = read[i];
    if (got.toc != want.toc) e << "disc " << i + 1 << ": TOC; ";
    if (got.disc.tracks.size() != want.disc.tracks.size()) {
      e << "disc " << i + 1 << ": " << got.disc.tracks.size() << " entries; ";
      continue;
    }
    for (std::size_t k = 0; k < got.disc.tracks.size(); ++k) {
      const TrackText& w = want.disc.tracks[k];
      const TrackText& g = got.disc.tracks[k];
      if (g.artist != w.artist || g.title != w.title || g.year != w.year ||
          g.genre != want.disc.tracks[0].genre)
        e << "disc " << i + 1 << " entry " << k << ": texts " << Utf8::Encode(g.title) << "; ";
    }
    if (got.disc.category != want.disc.tracks[0].genre) e << "disc " << i + 1 << ": category; ";
    const std::streamoff start = got.audioStart;
    if (got.audioSize != int32_t(b.audio[i].size()) || start < 0 ||
        std::size_t(start) + b.audio[i].size() > file.size() ||
        !std::equal(b.audio[i].begin(), b.audio[i].end(), file.begin() + start))
      e << "disc " << i + 1 << ": audio range " << start << "+" << got.audioSize << "; ";
  }
  // Pictures keep kind, description and bytes; a tag editor may change their order.
  auto pictureSet = [](const std::vector<TagFrame>& frames) {
    std::multiset<std::tuple<int, std::wstring, Bytes>> set;
    for (const TagFrame& f : frames) {
      int kind = 0;
      std::wstring description;
      Bytes bytes;
      if (BackupFile::ParsePictureFrame(f, kind, description, bytes))
        set.emplace(kind, description, bytes);
    }
    return set;
  };
  if (read[0].pictures.size() != b.discs[0].pictures.size() ||
      pictureSet(read[0].pictures) != pictureSet(b.discs[0].pictures))
    e << "pictures; ";
  for (std::size_t i = 1; i < read.size(); ++i)
    if (!read[i].pictures.empty()) e << "pictures on disc " << i + 1 << "; ";
  return e.str();
}

int WriteAll(const std::wstring& dir) {
  const TestAudio::LameEncoder lame;
  int failures = 0;
  for (const Interop::FileSpec& spec : Interop::Files()) {
    Built b = Build(spec, &lame);
    const std::wstring path = dir + L"\\" + spec.name + L".mp3";
    {
      io::stream_buffer<io::basic_wfile_sink<unsigned char>> sb(
          io::basic_wfile_sink<unsigned char>(path, std::ios_base::out | std::ios_base::binary));
      std::basic_ostream<unsigned char> out(&sb);
      if (!BackupFile::WriteTag(out, b.discs, spec.name + L".mp3")) throw std::runtime_error("tag");
      for (std::size_t i = 0; i < b.audio.size(); ++i) {
        if (i > 0)
          for (unsigned g = 0; g < BackupFile::kGapBlocks; ++g)
            out.write(BackupFile::GapFrame().data(), BackupFile::kGapBlockBytes);
        out.write(b.audio[i].data(), std::streamsize(b.audio[i].size()));
      }
      out.flush();
      if (!out.good()) throw std::runtime_error("audio");
    }
    const Bytes file = ReadBytes(path);
    const std::vector<BackupDisc> read = ReadDiscsOf(path);
    const uint64_t tagSize = read.empty() ? 0 : uint64_t(std::streamoff(read[0].audioStart));
    const std::string diff = Compare(b, read, file);
    if (!diff.empty()) {
      std::cerr << Utf8::Encode(spec.name) << ": read back wrongly: " << diff << "\n";
      ++failures;
    }
    for (BackupDisc& d : b.discs)
      d.audioStart = std::streamoff(d.audioStart) + std::streamoff(tagSize);
    WriteManifest(dir + L"\\" + spec.name + L".json", b, tagSize);

    std::ostringstream frames;
    const std::vector<std::streamoff> index = ScanFrames(path, read);
    for (std::streamoff p : index) frames << p << "\n";
    const std::string text = frames.str();
    const Bytes frameList(text.begin(), text.end());
    WriteBytes(dir + L"\\" + spec.name + L".frames", {&frameList});

    // Damaged frame headers: the scanner loses those frames and no others.
    Bytes damaged = file;
    std::vector<std::streamoff> expected;
    for (std::size_t n = 0; n < index.size(); ++n) {
      if (n % 97 == 50) {
        damaged[std::size_t(index[n]) + 2] |= 0xF0;
        continue;
      }
      expected.push_back(index[n]);
    }
    const std::wstring damagedPath = dir + L"\\" + spec.name + L"-damaged.mp3";
    WriteBytes(damagedPath, {&damaged});
    if (ScanFrames(damagedPath, read) != expected) {
      std::cerr << Utf8::Encode(spec.name) << ": damaged frames shift the index\n";
      ++failures;
    }

    if (spec.image) {
      const BackupDisc& d = b.discs[0];
      Bytes bin(reinterpret_cast<const unsigned char*>(b.pcm[0].data()),
                reinterpret_cast<const unsigned char*>(b.pcm[0].data() + b.pcm[0].size()));
      WriteBytes(dir + L"\\" + spec.name + L"-image.bin", {&bin});
      const std::string cue =
          BackupFile::MakeCueSheet(d, Utf8::Encode(spec.name) + "-image.bin", "BINARY", true);
      const Bytes cueBytes(cue.begin(), cue.end());
      WriteBytes(dir + L"\\" + spec.name + L"-image.cue", {&cueBytes});
    }
  }
  return failures;
}

// Files listed in touched.txt as "name how": "same" files must read as the
// originals; "reordered" ones may also be refused, but never misread.
int VerifyAll(const std::wstring& dir) {
  std::map<std::wstring, Built> built;
  for (const Interop::FileSpec& spec : Interop::Files()) {
    Built b = Build(spec, nullptr);
    const std::vector<BackupDisc> original = ReadDiscsOf(dir + L"\\" + spec.name + L".mp3");
    const Bytes file = ReadBytes(dir + L"\\" + spec.name + L".mp3");
    for (const BackupDisc& d : original)
      b.audio.emplace_back(file.begin() + std::streamoff(d.audioStart),
                           file.begin() + std::streamoff(d.audioStart) + d.audioSize);
    built[spec.name] = b;
  }
  const Bytes list = ReadBytes(dir + L"\\touched.txt");
  std::istringstream lines(std::string(list.begin(), list.end()));
  int failures = 0, checked = 0;
  for (std::string name, base, how; lines >> name >> base >> how;) {
    const std::wstring path = dir + L"\\" + Utf8::Decode(name);
    const auto read = ReadDiscsOf(path);
    const Bytes file = ReadBytes(path);
    const std::string diff = Compare(built.at(Utf8::Decode(base)), read, file);
    const bool refused = read.empty();
    std::cout << name << ": " << (refused ? "refused" : diff.empty() ? "read" : "MISREAD") << "\n";
    if (!diff.empty() && !(refused && how == "reordered")) {
      std::cerr << name << ": " << diff << "\n";
      ++failures;
    }
    ++checked;
  }
  return checked == 0 ? 1 : failures;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) return 2;
  try {
    const std::wstring mode = argv[1];
    if (mode == L"write") return WriteAll(argv[2]) == 0 ? 0 : 1;
    if (mode == L"verify") return VerifyAll(argv[2]) == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << e.what() << "\n";
  }
  return 1;
}

// The readers of packed-DIB headers and of picture densities, built for this
// machine with the address and undefined-behaviour sanitizers: every table
// layout is found where its BMP file header says, cut and damaged headers are
// never read past their end, and the densities ImageMagick wrote are read back.
// Usage: picture_headers_asan <dib table folder> <picture fixture folder>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "wizard/coverart/DibHeader.h"
#include "wizard/coverart/Picture.h"
#include "wizard/coverart/PictureDensity.h"

namespace {

int failures = 0;

void Expect(bool ok, const std::string& what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what.c_str());
    ++failures;
  }
}

std::vector<unsigned char> Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// A copy on the heap of exactly `size` bytes, so that the sanitizer sees any
// read past them.
bool ReadPictureOf(const std::vector<unsigned char>& bytes, size_t size,
                   DibLayout::HeaderInfo& info) {
  std::vector<unsigned char> exact(bytes.begin(), bytes.begin() + size);
  exact.shrink_to_fit();
  return DibLayout::ReadPicture(size ? exact.data() : nullptr, size, info);
}

void CheckTable(const std::string& dir) {
  std::ifstream list(dir + "/dibs.txt");
  int count = 0;
  std::mt19937 random(14);
  for (std::string name; std::getline(list, name);) {
    if (name.empty()) continue;
    ++count;
    const std::vector<unsigned char> bmp = Read(dir + "/" + name + ".bmp");
    Expect(bmp.size() > 54, name + ": file");
    if (bmp.size() <= 54) continue;
    const std::vector<unsigned char> dib(bmp.begin() + 14, bmp.end());
    DibLayout::HeaderInfo info;
    Expect(ReadPictureOf(dib, dib.size(), info), name + ": read");
    Expect(info.pixelsAt + 14 == U32(bmp, 10), name + ": pixels where bfOffBits says");
    Expect(info.width == 35 && (info.height == 21 || info.height == -21), name + ": size");
    const uint64_t end = info.pixelsAt + info.pixelBytes;
    Expect(end == dib.size() || info.profileAt >= end, name + ": pixels reach the end");
    for (size_t cut = 0; cut < dib.size(); ++cut) {
      DibLayout::HeaderInfo part;
      Expect(ReadPictureOf(dib, cut, part) == (cut >= end),
             name + ": cut at " + std::to_string(cut));
    }
    for (int round = 0; round < 2000; ++round) {
      std::vector<unsigned char> bad = dib;
      const int changes = 1 + int(random() % 4);
      for (int i = 0; i < changes; ++i) bad[random() % 160] = (unsigned char)random();
      DibLayout::HeaderInfo damaged;
      if (ReadPictureOf(bad, bad.size(), damaged))
        Expect(damaged.pixelsAt + damaged.pixelBytes <= bad.size() &&
                   damaged.tableEnd <= damaged.pixelsAt,
               name + ": damaged, round " + std::to_string(round));
    }
  }
  Expect(count >= 20, "table of layouts");
}

void CheckDensities(const std::string& dir) {
  struct Case {
    const char* file;
    int format;
    int32_t x, y;
  };
  const Case cases[] = {
      {"jpeg300dpi.jpg", FormatJpeg, 11811, 11811},
      {"jpegdpcm.jpg", FormatJpeg, 11800, 5900},
      {"jpeg.jpg", FormatJpeg, 0, 0},
      {"png300dpi.png", FormatPng, 11811, 11811},
      {"pngaspect.png", FormatPng, 0, 0},
      {"png8.png", FormatPng, 0, 0},
      {"gif.gif", FormatGif, 0, 0},
      {"jpegexifinch.jpg", FormatJpeg, 11811, 11811},
      {"jpegexifcm.jpg", FormatJpeg, 30000, 30000},
      {"jpegexifnounit.jpg", FormatJpeg, 0, 0},
      {"jpegjfifexif.jpg", FormatJpeg, 11811, 11811},  // the JFIF density counts first
  };
  std::mt19937 random(15);
  for (const Case& c : cases) {
    const std::vector<unsigned char> bytes = Read(dir + "/" + c.file);
    const PictureDensity::Density d = PictureDensity::Read(bytes, c.format);
    Expect(d.xPelsPerMeter == c.x && d.yPelsPerMeter == c.y,
           std::string(c.file) + ": " + std::to_string(d.xPelsPerMeter) + " x " +
               std::to_string(d.yPelsPerMeter));
    for (size_t cut = 0; cut < bytes.size() && cut < 512; ++cut) {
      std::vector<unsigned char> part(bytes.begin(), bytes.begin() + cut);
      part.shrink_to_fit();
      PictureDensity::Read(part, c.format);
    }
    for (int round = 0; round < 2000; ++round) {
      std::vector<unsigned char> bad(bytes.begin(),
                                     bytes.begin() + std::min<size_t>(bytes.size(), 400));
      for (int i = 0; i < 3; ++i) bad[random() % bad.size()] = (unsigned char)random();
      PictureDensity::Read(bad, c.format);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::printf("usage: %s <dib table folder> <picture fixture folder>\n", argv[0]);
    return 2;
  }
  CheckTable(argv[1]);
  CheckDensities(argv[2]);
  std::printf("%d failures\n", failures);
  return failures ? 1 : 0;
}

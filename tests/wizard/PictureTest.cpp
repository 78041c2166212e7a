// Picture recognition, decoding and JPEG encoding against ImageMagick's
// fixtures (written by make-pictures.sh before these tests run).
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "tests/wizard/DibTable.h"
#include "tests/wizard/FixtureFiles.h"
#include "wizard/coverart/CoverImage.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"

namespace {

const std::string kDir = "..\\fixtures\\pictures\\";

std::vector<unsigned char> ReadFile(const std::string& name) { return ReadBytes(kDir + name); }

void WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
  WriteBytes(kDir + "out\\" + name, bytes);
}

const BITMAPINFOHEADER& Header(const std::vector<unsigned char>& dib) {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

class Pictures : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override { CoUninitialize(); }
};

TEST(PictureFormat, LeadingBytesNameTheFormat) {
  auto bytes = [](const char* text, size_t size = 16, size_t length = 0) {
    std::string head(text, length ? length : std::strlen(text));
    head.resize(size, '\0');
    return std::vector<unsigned char>(head.begin(), head.end());
  };
  struct Case {
    std::vector<unsigned char> b;
    int format;  // 0: not a picture
  };
  const Case cases[] = {
      {bytes("GIF89a"), FormatGif},
      {bytes("GIF89a", 15), 0},  // too short, whatever it holds
      {bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF", 16, 10), FormatJpeg},
      {bytes("\xFF\xD8\xFF\xE1\x00\x10"
             "Exif",
             16, 10),
       0},  // a JPEG without JFIF is not taken
      {bytes("\x89PNG\r\n\x1A\n"), FormatPng},
      {bytes("BM"), FormatBmp},
      {bytes("II*"), FormatTiff},
      {bytes("MMBM GIF89a"), FormatTiff},  // tested first
      {bytes("RIFF"), 0},
  };
  for (const Case& c : cases) {
    int format = -1;
    EXPECT_EQ(GetPictureFormat(c.b, format), c.format != 0) << c.b.data();
    if (c.format) {
      EXPECT_EQ(format, c.format);
    }
  }
  // "MM" not followed by a TIFF decodes to nothing.
  EXPECT_EQ(DecodePictureToDib(bytes("MMBM GIF89a", 64)), nullptr);
}

TEST_F(Pictures, EveryFormatDecodesToTheSamePixelsAsImageMagickReads) {
  struct Case {
    const char* file;
    const char* expected;
    int tolerance;
  };
  const Case cases[] = {
      {"png8.png", "src.rgb", 0},   {"png16.png", "src.rgb", 0},
      {"pngpal.png", "pal.rgb", 0}, {"gif.gif", "pal.rgb", 0},
      {"bmp24.bmp", "src.rgb", 0},  {"bmp8.bmp", "pal.rgb", 0},
      {"bmprle.bmp", "pal.rgb", 0}, {"bmp1.bmp", "mono.rgb", 0},
      {"bmp32.bmp", "src.rgb", 0},  {"bmpcore.bmp", "src.rgb", 0},
      {"tiff.tif", "src.rgb", 0},   {"tifflzw.tif", "src.rgb", 0},
      {"jpeg.jpg", "jpeg.rgb", 3},  {"jpegprog.jpg", "jpegprog.rgb", 3},
  };
  for (const Case& c : cases) {
    const SharedBytes dib = DecodePictureToDib(ReadFile(c.file));
    ASSERT_NE(dib, nullptr) << c.file;
    const BITMAPINFOHEADER& h = Header(*dib);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(h.biWidth, 37);
    EXPECT_EQ(h.biHeight, 23) << c.file;  // bottom-up
    EXPECT_EQ(h.biSizeImage, 23u * 112);
    EXPECT_EQ(dib->size(), 40 + h.biSizeImage);
    EXPECT_LE(MaxDifference(TopDownRgb(*dib), ReadFile(c.expected)), c.tolerance) << c.file;
  }
  // A BMP's resolution is kept.
  EXPECT_EQ(Header(*DecodePictureToDib(ReadFile("bmp300dpi.bmp"))).biXPelsPerMeter, 11811);
  // A file whose pixels start after 64 of the 256 colours its header counts
  // keeps those 64 (the picture uses no others).
  const auto bmp8 = ReadFile("bmp8.bmp");
  ASSERT_EQ(bmp8.size(), 1078u + 23 * 40);
  std::vector<unsigned char> shortTable = bmp8;
  shortTable.erase(shortTable.begin() + 54 + 64 * 4, shortTable.begin() + 1078);
  const uint32_t pixelsAt = 54 + 64 * 4, colorsUsed = 0;
  std::memcpy(&shortTable[10], &pixelsAt, 4);
  std::memcpy(&shortTable[46], &colorsUsed, 4);
  const SharedBytes fromShortTable = DecodePictureToDib(shortTable);
  ASSERT_NE(fromShortTable, nullptr);
  EXPECT_EQ(TopDownRgb(*fromShortTable), ReadFile("pal.rgb"));
}

TEST_F(Pictures, ClipboardDibsOfAnyLayoutBecomePacked24BitDibs) {
  const auto src = ReadFile("src.rgb");
  // The DIB part of a BMP file is a CF_DIB block.
  for (const char* file : {"bmp32.bmp", "bmp24.bmp", "bmpcore.bmp"}) {
    const auto bmp = ReadFile(file);
    const SharedBytes dib = NormalizeDib(bmp.data() + 14, bmp.size() - 14);
    ASSERT_NE(dib, nullptr) << file;
    EXPECT_EQ(TopDownRgb(*dib), src) << file;
  }
  // A top-down DIB comes out bottom-up with the same picture.
  const SharedBytes bottomUp = DecodePictureToDib(ReadFile("png8.png"));
  std::vector<unsigned char> topDown(*bottomUp);
  auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(topDown.data());
  h.biHeight = -h.biHeight;
  const size_t stride = 112;
  for (int y = 0; y < 23; ++y)
    std::memcpy(&topDown[40 + y * stride], &(*bottomUp)[40 + (22 - y) * stride], stride);
  const SharedBytes normal = NormalizeDib(topDown.data(), topDown.size());
  ASSERT_NE(normal, nullptr);
  EXPECT_EQ(*normal, *bottomUp);
  // A block shorter than its header says is refused.
  EXPECT_EQ(NormalizeDib(topDown.data(), topDown.size() - 1), nullptr);
  EXPECT_EQ(NormalizeDib(topDown.data(), 39), nullptr);
}

// Every layout of the table, as a clipboard or a drop hands it over and as a
// BMP file, gives the pixels ImageMagick reads from the file.
TEST_F(Pictures, PackedDibsOfEveryLayoutGiveImageMagicksPixels) {
  const std::vector<std::string> names = DibTable::Names();
  ASSERT_GE(names.size(), 20u);
  for (const std::string& name : names) {
    const std::vector<unsigned char> expected = DibTable::File(name + ".rgb");
    const std::vector<unsigned char> dib = DibTable::PackedDib(name);
    const SharedBytes normal = NormalizeDib(dib.data(), dib.size());
    ASSERT_NE(normal, nullptr) << name;
    EXPECT_EQ(Header(*normal).biHeight, DibTable::kHeight) << name;
    EXPECT_EQ(TopDownRgb(*normal), expected) << name;
    const SharedBytes decoded = DecodePictureToDib(DibTable::File(name + ".bmp"));
    ASSERT_NE(decoded, nullptr) << name;
    EXPECT_EQ(TopDownRgb(*decoded), expected) << name;
    // Prepared as a scanned cover: no border on these mid tones, no stated
    // resolution, so only the JPEG encoding stands between.
    const SharedBytes cover = DecodePictureToDib(PrepareScannedImage(dib, 3780));
    ASSERT_NE(cover, nullptr) << name;
    EXPECT_EQ(TopDownRgb(*cover), DibTable::AsCover(name)) << name;
  }
}

// Bytes placed flush against an inaccessible page: a read past their end
// faults at once.
class GuardedBytes {
 public:
  explicit GuardedBytes(const std::vector<unsigned char>& bytes) {
    const size_t page = 4096, pages = (bytes.size() + page - 1) / page + 1;
    base_ = static_cast<unsigned char*>(
        VirtualAlloc(nullptr, pages * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(base_ + (pages - 1) * page, page, PAGE_NOACCESS, &old);
    data_ = base_ + (pages - 1) * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
  }
  ~GuardedBytes() { VirtualFree(base_, 0, MEM_RELEASE); }
  GuardedBytes(const GuardedBytes&) = delete;
  GuardedBytes& operator=(const GuardedBytes&) = delete;
  const unsigned char* data() const { return data_; }

 private:
  unsigned char* base_;
  unsigned char* data_;
};

// A cut block never reads past its end and gives nothing or the whole
// picture (a colour profile after the pixels may go); damaged headers give
// nothing or a picture that holds together.
TEST_F(Pictures, CutAndDamagedDibsOfEveryLayoutStayInTheirBlock) {
  std::mt19937 random(14);
  for (const std::string& name : DibTable::Names()) {
    const std::vector<unsigned char> dib = DibTable::PackedDib(name);
    const SharedBytes whole = NormalizeDib(dib.data(), dib.size());
    ASSERT_NE(whole, nullptr) << name;
    for (size_t cut = 0; cut < dib.size(); cut += 1 + cut / 8) {
      GuardedBytes part(std::vector<unsigned char>(dib.begin(), dib.begin() + cut));
      const SharedBytes normal = NormalizeDib(part.data(), cut);
      if (normal) {
        EXPECT_EQ(*normal, *whole) << name << " cut at " << cut;
      }
    }
    // The header, masks and table, damaged.
    for (int round = 0; round < 60; ++round) {
      auto bad = dib;
      const int changes = 1 + int(random() % 4);
      for (int i = 0; i < changes; ++i) bad[random() % 160] = (unsigned char)random();
      GuardedBytes guarded(bad);
      const SharedBytes normal = NormalizeDib(guarded.data(), bad.size());
      if (normal) {
        const BITMAPINFOHEADER& h = Header(*normal);
        EXPECT_EQ(normal->size(),
                  40 + size_t(h.biHeight) * ((size_t(h.biWidth) * 3 + 3) & ~size_t(3)))
            << name << " round " << round;
      }
    }
  }
}

// The resolution JPEG and PNG files state comes with their pixels; GIFs and
// files that state none or only an aspect ratio give 0.
TEST_F(Pictures, DecodedPicturesCarryTheResolutionOfTheFile) {
  struct Case {
    const char* name;
    std::vector<unsigned char> bytes;
    LONG x, y;
  };
  const Case cases[] = {
      {"JFIF 300 dpi", ReadFile("jpeg300dpi.jpg"), 11811, 11811},
      {"JFIF 118 x 59 per cm", ReadFile("jpegdpcm.jpg"), 11800, 5900},
      {"JFIF aspect only", ReadFile("jpeg.jpg"), 0, 0},
      {"Exif per inch, Motorola order", ReadFile("jpegexifinch.jpg"), 11811, 11811},
      {"Exif per cm, Intel order", ReadFile("jpegexifcm.jpg"), 30000, 30000},
      {"Exif without a unit", ReadFile("jpegexifnounit.jpg"), 0, 0},
      {"JFIF before Exif", ReadFile("jpegjfifexif.jpg"), 11811, 11811},
      {"pHYs 300 dpi", ReadFile("png300dpi.png"), 11811, 11811},
      {"pHYs aspect only", ReadFile("pngaspect.png"), 0, 0},
      {"no pHYs", ReadFile("png8.png"), 0, 0},
      {"GIF", ReadFile("gif.gif"), 0, 0},
  };
  for (const Case& c : cases) {
    const SharedBytes dib = DecodePictureToDib(c.bytes);
    ASSERT_NE(dib, nullptr) << c.name;
    EXPECT_EQ(Header(*dib).biXPelsPerMeter, c.x) << c.name;
    EXPECT_EQ(Header(*dib).biYPelsPerMeter, c.y) << c.name;
  }
  // Held Shift prepares a picture as a scanned cover: one stating 300 dpi is
  // brought to 96 dpi, one stating nothing keeps its pixel size.
  for (const char* file : {"jpeg300dpi.jpg", "png300dpi.png", "jpeg.jpg", "png8.png"}) {
    const bool stated = std::strstr(file, "300") != nullptr;
    const auto jpeg = PrepareScannedImage(*DecodePictureToDib(ReadFile(file)), 3780);
    const SharedBytes back = DecodePictureToDib(jpeg);
    ASSERT_NE(back, nullptr) << file;
    EXPECT_EQ(Header(*back).biWidth, stated ? 37 * 3780 / 11811 : 37) << file;
    EXPECT_EQ(Header(*back).biHeight, stated ? 23 * 3780 / 11811 : 23) << file;
    EXPECT_EQ(Header(*back).biXPelsPerMeter, 3780) << file;
  }
}

TEST_F(Pictures, CoverPicturesAreKeptAsJpegsAtQuality80) {
  CoverImageCollection covers;
  const char* files[] = {"png8.png", "gif.gif", "bmp24.bmp", "jpeg.jpg", "tiff.tif"};
  for (const char* file : files) {
    const SharedBytes dib = DecodePictureToDib(ReadFile(file));
    ASSERT_NE(dib, nullptr) << file;
    auto jpeg = std::make_shared<const std::vector<unsigned char>>(EncodeJpeg(*dib));
    ASSERT_FALSE(jpeg->empty()) << file;
    covers.Add(-1, jpeg, std::wstring(file, file + std::strlen(file)), KindUnspecified);
  }
  int id = 0;
  for (const CoverImage& c : covers) {
    EXPECT_EQ(c.id, ++id);
    // The program can read its own pictures again.
    int format = 0;
    ASSERT_TRUE(GetPictureFormat(*c.bytes, format));
    EXPECT_EQ(format, FormatJpeg);
    const SharedBytes back = DecodePictureToDib(*c.bytes);
    ASSERT_NE(back, nullptr);
    EXPECT_LE(
        MaxDifference(TopDownRgb(*back), TopDownRgb(*DecodePictureToDib(ReadFile(files[id - 1])))),
        96);
  }
  CoverImage tiff;
  tiff.id = 5;
  ASSERT_TRUE(covers.Find(tiff));
  WriteFile("fromtiff.jpg", *tiff.bytes);

  // The density follows the picture's resolution (checked with ImageMagick).
  SharedBytes dib = DecodePictureToDib(ReadFile("png8.png"));
  WriteFile("nodensity.jpg", EncodeJpeg(*dib));
  auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(dib->data());
  h.biXPelsPerMeter = h.biYPelsPerMeter = 3780;
  WriteFile("dpi96.jpg", EncodeJpeg(*dib));

  // Not a 24-bit DIB: nothing.
  h.biBitCount = 32;
  EXPECT_TRUE(EncodeJpeg(*dib).empty());
  EXPECT_TRUE(EncodeJpeg({}).empty());
}

// Hostile or damaged picture data never crashes and never yields a DIB that
// does not hold together.
TEST_F(Pictures, DamagedAndHostilePicturesGiveNothingOrAValidDib) {
  auto valid = [](const SharedBytes& dib) {
    if (!dib) return true;
    const BITMAPINFOHEADER& h = Header(*dib);
    return h.biSize == 40 && h.biBitCount == 24 && h.biWidth > 0 && h.biHeight > 0 &&
           dib->size() == 40 + size_t(h.biHeight) * ((size_t(h.biWidth) * 3 + 3) & ~size_t(3));
  };
  std::mt19937 random(1234);
  for (const char* file :
       {"png8.png", "pngpal.png", "gif.gif", "bmp24.bmp", "bmp8.bmp", "bmprle.bmp", "bmp1.bmp",
        "bmp32.bmp", "bmpcore.bmp", "jpeg.jpg", "jpegprog.jpg", "tiff.tif"}) {
    const auto good = ReadFile(file);
    for (size_t cut = 0; cut < good.size(); cut += 1 + good.size() / 40) {
      std::vector<unsigned char> part(good.begin(), good.begin() + cut);
      EXPECT_TRUE(valid(DecodePictureToDib(part))) << file << " cut at " << cut;
    }
    for (int round = 0; round < 150; ++round) {
      auto bad = good;
      const int changes = 1 + int(random() % 6);
      for (int i = 0; i < changes; ++i) bad[random() % bad.size()] = (unsigned char)random();
      EXPECT_TRUE(valid(DecodePictureToDib(bad))) << file << " round " << round;
    }
  }

  // Headers that lie about sizes.
  const auto bmp = ReadFile("bmp24.bmp");
  ASSERT_GT(bmp.size(), 54u);
  auto patched = [&](size_t at, uint32_t value, size_t width = 4) {
    auto b = bmp;
    for (size_t i = 0; i < width; ++i) b.at(at + i) = (unsigned char)(value >> (8 * i));
    return b;
  };
  const std::vector<unsigned char> lies[] = {
      patched(18, 0x7FFFFFFF),  // width
      patched(22, 0x80000000),  // height
      patched(18, 10000),       // more rows than the file holds
      patched(10, 0xFFFFFFF0),  // pixels beyond the end
      patched(14, 0xFFFFFFFF),  // header size
      patched(30, 1),           // RLE8 on a 24-bit bitmap
      patched(46, 100000),      // colour table
      patched(28, 0, 2),        // no bits per pixel
  };
  for (const auto& b : lies) EXPECT_EQ(DecodePictureToDib(b), nullptr);
  // 10000 x 10000 pixels is more than a cover picture may have.
  auto png = ReadFile("png8.png");
  ASSERT_GT(png.size(), 24u);
  for (size_t i : {16, 20}) {
    const unsigned char tenThousand[] = {0, 0, 0x27, 0x10};
    std::memcpy(&png[i], tenThousand, 4);
  }
  EXPECT_EQ(DecodePictureToDib(png), nullptr);
}

}  // namespace

// The DIB functions and the resizer. Scaled pictures of a table of sizes and
// formats are written to ..\fixtures\resize for check-resize.py, which
// recomputes every one of them with its own implementation of the filter.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "wizard/coverart/DibResize.h"

namespace {

using DIB::Bytes;

const BITMAPINFOHEADER& Header(const Bytes& dib) {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

unsigned char* Bits(Bytes& dib) { return dib.data() + sizeof(BITMAPINFOHEADER); }

// A one-row grey picture of those values, scaled to `width`.
std::vector<int> ScaleRow(const std::vector<int>& values, int width) {
  Bytes src = DIB::Create(int(values.size()), 1, 0, DIB::FormatGrey);
  for (size_t i = 0; i < values.size(); ++i) Bits(src)[i] = static_cast<unsigned char>(values[i]);
  auto r = DIB::CreateResizer(int(values.size()), 1, 0, 0, false, width, 1, 0, 0, false,
                              DIB::FormatGrey);
  Bytes dst = r->NewTargetDib();
  EXPECT_TRUE(r->ResizeDib(src.data(), dst.data()));
  return std::vector<int>(Bits(dst), Bits(dst) + width);
}

TEST(DibResizer, BoxFilterOnOneRow) {
  EXPECT_EQ(ScaleRow({0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, 5),
            (std::vector<int>{0, 10, 25, 45, 65}));  // pixels 8 and 9 are not used
  EXPECT_EQ(ScaleRow({0, 100}, 6), (std::vector<int>{0, 50, 66, 75, 80, 83}));
  // A single pixel enlarged stays itself, reading nothing beside it.
  EXPECT_EQ(ScaleRow({77}, 4), (std::vector<int>{77, 77, 77, 77}));
}

TEST(DibFunctions, SizesFormatsAndCreatedPixels) {
  struct Case {
    int format, bits, rowBytesOf10;
  };
  for (const Case& c :
       {Case{0, 24, 32}, Case{1, 32, 40}, Case{2, 16, 20}, Case{3, 8, 12}, Case{7, 8, 12}}) {
    EXPECT_EQ(DIB::BitsPerPixel(c.format), c.bits);
    EXPECT_EQ(DIB::RowBytes(10, c.format), c.rowBytesOf10);
  }
  Bytes dib = DIB::Create(5, 3, RGB(10, 20, 30), DIB::FormatRgb24);
  const BITMAPINFOHEADER& h = Header(dib);
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biWidth, 5);
  EXPECT_EQ(h.biHeight, 3);
  EXPECT_EQ(h.biPlanes, 1);
  EXPECT_EQ(h.biBitCount, 24);
  EXPECT_EQ(h.biSizeImage, 3u * 16);
  EXPECT_EQ(h.biXPelsPerMeter, 96);
  EXPECT_EQ(dib.size(), 40u + 48);
  EXPECT_EQ(Bits(dib)[16 * 2 + 3 * 4], 30);  // B, G, R of a COLORREF
  EXPECT_EQ(Bits(dib)[16 * 2 + 3 * 4 + 2], 10);
  EXPECT_EQ(Header(DIB::Create(4, 2, 0, DIB::FormatYuy2)).biCompression, DIB::kFourccYuy2);
  for (int bits : {8, 24, 16, 32, 1, 4}) {
    Bytes d = DIB::Create(1, 1, 0, 0);
    reinterpret_cast<BITMAPINFOHEADER*>(d.data())->biBitCount = WORD(bits);
    EXPECT_EQ(DIB::FormatOf(d.data()), bits == 8 ? 3 : bits == 24 ? 0 : bits == 16 ? 2 : 1);
  }
  EXPECT_TRUE(DIB::Create(-1, 5, 0, 0).empty());
  EXPECT_TRUE(DIB::Create(100000, 100000, 0, 0).empty());
}

TEST(DibFunctions, CopyRectClipsAndRefuses) {
  Bytes src = DIB::Create(4, 3, 0, DIB::FormatGrey);
  for (int r = 0; r < 3; ++r)  // memory row r is row 2 - r from the top
    for (int x = 0; x < 4; ++x) Bits(src)[r * 4 + x] = static_cast<unsigned char>(10 * (2 - r) + x);
  Bytes dst = DIB::Create(3, 3, 0, DIB::FormatGrey);
  EXPECT_TRUE(DIB::CopyRect(src.data(), 4, 0, 2, 2, dst.data(), 0, 0));  // x = width: nothing
  EXPECT_FALSE(DIB::CopyRect(src.data(), 5, 0, 2, 2, dst.data(), 0, 0));
  EXPECT_FALSE(DIB::CopyRect(src.data(), 0, 4, 2, 2, dst.data(), 0, 0));
  EXPECT_FALSE(DIB::CopyRect(src.data(), 0, 0, 2, 2, dst.data(), 4, 0));
  EXPECT_EQ(dst, DIB::Create(3, 3, 0, DIB::FormatGrey));
  // Source rows 1.. from column 2, clipped to 2 x 2, into the target at (1, 0).
  EXPECT_TRUE(DIB::CopyRect(src.data(), 2, 1, 9, 9, dst.data(), 1, 0));
  const unsigned char top[] = {0, 12, 13}, middle[] = {0, 22, 23};
  EXPECT_EQ(0, std::memcmp(Bits(dst) + 2 * 4, top, 3));
  EXPECT_EQ(0, std::memcmp(Bits(dst) + 1 * 4, middle, 3));
  EXPECT_EQ(Bits(dst)[0], 0);
}

TEST(DibFunctions, GreyConversion) {
  Bytes rgb = DIB::Create(2, 1, RGB(200, 100, 1), DIB::FormatRgb24);
  Bytes grey = DIB::ToGrey(rgb.data());
  EXPECT_EQ(Header(grey).biBitCount, 8);
  EXPECT_EQ(Bits(grey)[0], (1 + 100 + 200) / 3);
  Bytes rgb32 = DIB::Create(1, 1, 0, DIB::FormatRgb32);
  const unsigned char px[] = {3, 4, 6, 255};
  std::memcpy(Bits(rgb32), px, 4);
  EXPECT_EQ(DIB::ToGrey(rgb32.data())[40], 4);  // the fourth byte is not a colour
  Bytes yuy2 = DIB::Create(2, 1, 0, DIB::FormatYuy2);
  const unsigned char pair[] = {50, 128, 60, 128};
  std::memcpy(Bits(yuy2), pair, 4);
  Bytes fromYuy2 = DIB::ToGrey(yuy2.data());
  EXPECT_EQ(Bits(fromYuy2)[0], 50);
  EXPECT_EQ(Bits(fromYuy2)[1], 60);
  // A top-down source keeps its picture.
  Bytes topDown = DIB::Create(1, 2, 0, DIB::FormatGrey);
  reinterpret_cast<BITMAPINFOHEADER*>(topDown.data())->biHeight = -2;
  Bits(topDown)[0] = 9;  // top row
  Bytes g = DIB::ToGrey(topDown.data());
  EXPECT_EQ(Bits(g)[4], 9);  // top row of a bottom-up DIB
}

TEST(DibFunctions, MedianNeedsAWidthOfEightKPlusTwo) {
  Bytes wrong = DIB::Create(100, 5, 0, DIB::FormatGrey);
  Bits(wrong)[2 * 100 + 50] = 255;
  const Bytes before = wrong;
  EXPECT_FALSE(DIB::Median3x3(wrong.data()));
  EXPECT_EQ(wrong, before);
  EXPECT_FALSE(DIB::Median3x3(DIB::Create(98, 5, 0, DIB::FormatRgb24).data()));
  EXPECT_TRUE(DIB::Median3x3(DIB::Create(10, 2, 0, DIB::FormatGrey).data()));  // too few rows

  Bytes dib = DIB::Create(98, 5, 0, DIB::FormatGrey);
  const int stride = 100;
  Bits(dib)[2 * stride + 50] = 255;  // a lone bright pixel in the interior
  for (int x = 0; x < 98; ++x) Bits(dib)[x] = Bits(dib)[4 * stride + x] = 200;  // border rows
  Bits(dib)[2 * stride] = Bits(dib)[2 * stride + 97] = 7;                       // border columns
  EXPECT_TRUE(DIB::Median3x3(dib.data()));
  EXPECT_EQ(Bits(dib)[2 * stride + 50], 0);
  EXPECT_EQ(Bits(dib)[50], 200);
  EXPECT_EQ(Bits(dib)[2 * stride], 7);
  EXPECT_EQ(Bits(dib)[2 * stride + 97], 7);
  EXPECT_EQ(Bits(dib)[1 * stride + 1], 0);  // next to the bright row: median of 0, 7, 200
}

// Pixels of a wide picture fitted into a square: black bars above and below.
TEST(DibResizer, BarsFitAPictureIntoAnotherShape) {
  Bytes src = DIB::Create(200, 100, RGB(255, 255, 255), DIB::FormatRgb24);
  auto fitted = DIB::CreateResizer(200, 100, 3, 0, false, 64, 64, 3, 0, false, 0);
  Bytes dst = fitted->NewTargetDib();
  ASSERT_TRUE(fitted->ResizeDib(src.data(), dst.data()));
  std::vector<int> litRows;
  for (int top = 0; top < 64; ++top)
    if (Bits(dst)[(63 - top) * 192 + 96] > 128) litRows.push_back(top);
  ASSERT_FALSE(litRows.empty());
  EXPECT_EQ(litRows.front(), 17);
  EXPECT_EQ(litRows.back(), 48);
  EXPECT_EQ(litRows.size(), 32u);
  // Without aspect handling on either side the picture is stretched.
  for (int modes : {0x03, 0x30, 0x00}) {
    auto stretched =
        DIB::CreateResizer(200, 100, modes >> 4, 0, false, 64, 64, modes & 15, 0, false, 0);
    Bytes s = stretched->NewTargetDib();
    ASSERT_TRUE(stretched->ResizeDib(src.data(), s.data()));
    EXPECT_EQ(Bits(s)[0], 255);
    EXPECT_EQ(Bits(s)[63 * 192 + 189], 255);
  }
  // A PAL frame is 4:3 whatever its pixels: no bars, so its corner stays lit.
  Bytes pal = DIB::Create(720, 576, RGB(255, 255, 255), DIB::FormatRgb24);
  auto video = DIB::CreateResizer(720, 576, 3, 0, false, 320, 240, 2, 0, false, 0);
  Bytes v = video->NewTargetDib();
  ASSERT_TRUE(video->ResizeDib(pal.data(), v.data()));
  EXPECT_EQ(Bits(v)[239 * 960], 255);
  EXPECT_EQ(Bits(v)[0], 255);
}

TEST(DibResizer, RowsAreTurnedOnceBetweenTopDownAndBottomUp) {
  // Two rows, 0 on top and 200 below, in a top-down DIB; into 8 x 4 with
  // aspect handling the picture gets bars at its sides first.
  for (int aspect : {0, 3}) {
    Bytes src = DIB::Create(2, 2, 0, DIB::FormatGrey);
    reinterpret_cast<BITMAPINFOHEADER*>(src.data())->biHeight = -2;
    Bits(src)[4] = Bits(src)[5] = 200;  // second memory row: the bottom
    auto r = DIB::CreateResizer(2, 2, aspect, 0, true, 8, 4, aspect, 0, false, DIB::FormatGrey);
    Bytes dst = r->NewTargetDib();
    ASSERT_TRUE(r->ResizeDib(src.data(), dst.data()));
    // Bottom-up target: memory row 3 is the top.
    EXPECT_EQ(Bits(dst)[3 * 8 + 4], 0) << aspect;
    EXPECT_GT(Bits(dst)[4], 100) << aspect;  // mostly the bottom row
  }
}

TEST(DibResizer, HeadersMustCarryTheInitialisedSizes) {
  auto r = DIB::CreateResizer(10, 10, 0, 0, false, 5, 5, 0, 0, false, 0);
  Bytes src = DIB::Create(10, 9, 0, 0), dst = r->NewTargetDib();
  EXPECT_FALSE(r->ResizeDib(src.data(), dst.data()));
  Bytes wide = DIB::Create(11, 10, 0, 0);
  EXPECT_FALSE(r->ResizeDib(wide.data(), dst.data()));
  EXPECT_EQ(r->NewSourceDib().size(), 40u + 10 * 32);
  HGLOBAL block = nullptr;
  void* p = r->NewTargetDibGlobal(block);
  ASSERT_NE(p, nullptr);
  EXPECT_GE(GlobalSize(block), 40u + 5 * 16);
  EXPECT_EQ(static_cast<BITMAPINFOHEADER*>(p)->biWidth, 5);
  EXPECT_EQ(static_cast<unsigned char*>(p)[40 + 5 * 16 - 1], 0);
  GlobalUnlock(block);
  GlobalFree(block);
  // Zero sizes do nothing and succeed.
  auto none = DIB::CreateResizer(0, 10, 0, 0, false, 5, 5, 0, 0, false, 0);
  EXPECT_TRUE(none->ResizeDib(DIB::Create(0, 10, 0, 0).data(), dst.data()));
}

// The table that check-resize.py recomputes: every format, up and down, one
// pixel, odd widths, bars, flips and interlaced video heights.
TEST(DibResizer, TableOfSizesForTheIndependentCheck) {
  struct Case {
    const char* name;
    int sw, sh, sa;
    bool sdown;
    int tw, th, ta;
    bool tdown;
    int format;
  };
  const Case cases[] = {
      {"grey_down", 60, 48, 0, false, 15, 12, 0, false, 3},
      {"grey_up", 7, 5, 0, false, 23, 17, 0, false, 3},
      {"grey_odd", 33, 19, 0, false, 13, 31, 0, false, 3},
      {"rgb24_down", 101, 77, 0, false, 37, 29, 0, false, 0},
      {"rgb24_up", 9, 11, 0, false, 31, 26, 0, false, 0},
      {"rgb24_onepixel", 1, 1, 0, false, 5, 3, 0, false, 0},
      {"rgb24_onecolumn", 1, 9, 0, false, 4, 4, 0, false, 0},
      {"rgb24_onerow", 9, 1, 0, false, 3, 5, 0, false, 0},
      {"rgb24_toone", 13, 7, 0, false, 1, 1, 0, false, 0},
      {"rgb24_same_other_rows", 5, 4, 0, false, 5, 4, 0, false, 0},
      {"rgb24_flip", 21, 14, 0, true, 10, 20, 0, false, 0},
      {"rgb24_copyflip", 13, 6, 0, true, 13, 6, 0, false, 0},
      {"rgb24_bars_wide", 50, 20, 3, false, 16, 16, 3, false, 0},
      {"rgb24_bars_tall", 20, 50, 3, false, 30, 18, 3, false, 0},
      {"rgb24_bars_flip", 30, 12, 3, true, 20, 20, 3, false, 0},
      {"rgb24_16x9_to_4x3", 32, 18, 1, false, 16, 12, 2, false, 0},
      {"rgb24_4x3_to_16x9", 24, 18, 2, false, 32, 18, 1, false, 0},
      {"rgb32_down", 45, 30, 0, false, 17, 11, 0, false, 1},
      {"rgb32_up", 5, 6, 0, false, 19, 14, 0, false, 1},
      {"rgb32_bars", 40, 10, 3, false, 12, 12, 3, false, 1},
      {"yuy2_down", 40, 20, 0, false, 14, 9, 0, false, 2},
      {"yuy2_up", 6, 4, 0, false, 22, 10, 0, false, 2},
      {"yuy2_bars", 40, 12, 3, false, 20, 20, 3, false, 2},
      {"grey_fieldwise", 16, 480, 3, false, 16, 576, 3, false, 3},
      {"grey_onefield", 12, 576, 3, false, 12, 288, 3, false, 3},
  };
  std::mt19937 random(99);
  std::ofstream list("..\\fixtures\\resize\\cases.txt");
  ASSERT_TRUE(list.good()) << "fixture folder missing";
  for (const Case& c : cases) {
    const int sourceRowBytes = std::string(c.name).find("other_rows") != std::string::npos
                                   ? DIB::RowBytes(c.sw, c.format) + 4
                                   : 0;
    auto r = DIB::CreateResizer(c.sw, c.sh, c.sa, sourceRowBytes, c.sdown, c.tw, c.th, c.ta, 0,
                                c.tdown, c.format);
    Bytes src = r->NewSourceDib(), dst = r->NewTargetDib();
    for (size_t i = 40; i < src.size(); ++i) src[i] = static_cast<unsigned char>(random());
    std::memset(dst.data() + 40, 0xEE, dst.size() - 40);  // every written byte must be computed
    ASSERT_TRUE(r->ResizeDib(src.data(), dst.data())) << c.name;
    for (const auto& [suffix, dib] :
         {std::pair<const char*, Bytes*>{".src", &src}, {".dst", &dst}}) {
      std::ofstream out(std::string("..\\fixtures\\resize\\") + c.name + suffix, std::ios::binary);
      out.write(reinterpret_cast<const char*>(dib->data()), std::streamsize(dib->size()));
    }
    list << c.name << ' ' << c.sw << ' ' << c.sh << ' ' << c.sa << ' ' << c.sdown << ' '
         << (sourceRowBytes ? sourceRowBytes : DIB::RowBytes(c.sw, c.format)) << ' ' << c.tw << ' '
         << c.th << ' ' << c.ta << ' ' << c.tdown << ' ' << c.format << '\n';
  }
}

}  // namespace

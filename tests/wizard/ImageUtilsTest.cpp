// Scanned-cover clean-up and display bitmaps. The sheets are ImageMagick's
// (make-cleanup-pictures.sh); the JPEGs written here are checked again with
// ImageMagick by check-cleanup.sh.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "tests/wizard/FixtureFiles.h"
#include "wizard/coverart/DibResize.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"

namespace {

const std::string kDir = "..\\fixtures\\scans\\";

std::vector<unsigned char> ReadFile(const std::string& name) { return ReadBytes(kDir + name); }

void WriteFile(const std::string& name, const std::vector<unsigned char>& bytes) {
  WriteBytes(kDir + "out\\" + name, bytes);
}

// The DIB part of a BMP file.
std::vector<unsigned char> DibOfBmp(const std::vector<unsigned char>& bmp) {
  return bmp.size() > 14 ? std::vector<unsigned char>(bmp.begin() + 14, bmp.end())
                         : std::vector<unsigned char>();
}

// A BMP file of a packed DIB without colour table.
std::vector<unsigned char> BmpOfDib(const std::vector<unsigned char>& dib) {
  BITMAPFILEHEADER f = {};
  f.bfType = 0x4D42;
  f.bfSize = DWORD(14 + dib.size());
  f.bfOffBits = 14 + 40;
  std::vector<unsigned char> out(14 + dib.size());
  std::memcpy(out.data(), &f, 14);
  std::memcpy(out.data() + 14, dib.data(), dib.size());
  return out;
}

const BITMAPINFOHEADER& Header(const std::vector<unsigned char>& dib) {
  return *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

// Grey value at (x, top-down y) of a packed 24-bit DIB.
int GreyAt(const std::vector<unsigned char>& dib, int x, int y) {
  const BITMAPINFOHEADER& h = Header(dib);
  const int rows = std::abs(h.biHeight);
  const int stride = (h.biWidth * 3 + 3) & ~3;
  const unsigned char* p =
      dib.data() + h.biSize + size_t(h.biHeight > 0 ? rows - 1 - y : y) * stride + 3 * x;
  return (p[0] + p[1] + p[2]) / 3;
}

TEST(ScanCleanupSteps, ShortRunsAreDropped) {
  auto run = [](int length) { return std::vector<int>(size_t(length), 5); };
  auto joined = [](std::initializer_list<std::vector<int>> parts) {
    std::vector<int> v;
    for (const auto& p : parts) {
      v.insert(v.end(), p.begin(), p.end());
      v.push_back(-1);
    }
    return v;
  };
  struct Case {
    std::vector<int> profile;
    size_t kept;
  };
  const Case cases[] = {
      {joined({run(19)}), 0},            // a first run needs 20 entries
      {joined({run(20)}), 20},           //
      {joined({run(25), run(18)}), 25},  // later runs need 19 (the gap counts)
      {joined({run(25), run(19)}), 44},  //
      {joined({{}, {}, run(30)}), 30},   // gaps side by side
  };
  for (const Case& c : cases) {
    std::vector<int> v = c.profile;
    ScanCleanup::DropShortRuns(v);
    EXPECT_EQ(v.size(), c.kept);
    for (int e : v) EXPECT_EQ(e, 5);
  }
}

TEST(ScanCleanupSteps, BorderSlopes) {
  std::vector<int> ramp(63);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = int(100 + i / 2);
  EXPECT_EQ(ScanCleanup::EstimateBorderSlope(ramp), 0);  // too short
  ramp.push_back(131);
  // 64 entries: 16 windows; the largest mean (centre 39) against the first window.
  EXPECT_NEAR(ScanCleanup::EstimateBorderSlope(ramp), (float(119) - float(111)) / 39, 1e-6);
  std::vector<int> flat(500, 300);
  EXPECT_EQ(ScanCleanup::EstimateBorderSlope(flat), 0);
  // An extreme window centred where the reference window starts gives 0, not infinity.
  std::vector<int> bump(80, 0);
  for (int i = 8; i <= 55; ++i) bump[i] = 1000;
  EXPECT_EQ(ScanCleanup::EstimateBorderSlope(bump), 0);
}

TEST(ScanCleanupSteps, SlopesMustAgree) {
  struct Case {
    std::vector<float> slopes;
    bool agree;
    float reference;
  };
  const Case cases[] = {
      {{0.01f, 0.02f, 0.30f, 0.40f}, false, 0.30f},
      {{0.50f, 0.07f, 0.06f, 0.05f}, true, 0.07f},
      {{0, 0, 0, 0}, true, 0},
      {{}, false, 0},
  };
  for (const Case& c : cases) {
    float reference = -1;
    EXPECT_EQ(ScanCleanup::AgreeOnSlope(c.slopes, reference), c.agree);
    if (!c.slopes.empty()) {
      EXPECT_FLOAT_EQ(reference, c.reference);
    }
  }
  EXPECT_NEAR(ScanCleanup::SlopeToDegrees(0.07f), -4.0045f, 1e-3);
  EXPECT_NEAR(ScanCleanup::SlopeToDegrees(std::tan(1.9f * 3.14159265f / 180)), -1.9f, 2e-3);
}

struct Sheet {
  const char* file;
  double degrees;  // as ImageMagick turned it, clockwise
};

// The 400 x 560 sheet lying askew: found, straightened when askew by more
// than 2 degrees, and cut out within a few pixels.
TEST(ScanCleanup, ScannedSheetsAreStraightenedAndCropped) {
  for (const Sheet& s : {Sheet{"white5", 5}, Sheet{"blackccw4", -4}, Sheet{"white2_6", -2.6},
                         Sheet{"white1_6", 1.6}, Sheet{"white1", 1}}) {
    const auto jpeg = PrepareScannedImage(DibOfBmp(ReadFile(std::string(s.file) + ".bmp")), 3780);
    ASSERT_FALSE(jpeg.empty()) << s.file;
    WriteFile(std::string(s.file) + ".jpg", jpeg);
    const SharedBytes out = DecodePictureToDib(jpeg);
    ASSERT_NE(out, nullptr);
    const int w = Header(*out).biWidth, h = Header(*out).biHeight;
    if (std::fabs(s.degrees) > 2) {
      // One background column and row are kept at the left and bottom.
      EXPECT_NEAR(w, 401, 3) << s.file;
      EXPECT_NEAR(h, 561, 3) << s.file;
      // Straight: a few pixels in from every corner lies the sheet, not background.
      for (int x : {4, w - 5})
        for (int y : {4, h - 5}) {
          const int g = GreyAt(*out, x, y);
          EXPECT_TRUE(g > 25 && g < 200) << s.file << " corner " << x << "," << y << ": " << g;
        }
    } else {
      // Left as it lies; the box holds the skewed sheet but little more.
      const double slant = std::sin(std::fabs(s.degrees) * 3.14159265 / 180);
      EXPECT_GE(w, 400) << s.file;
      EXPECT_LE(w, 400 + 560 * slant + 3) << s.file;
      EXPECT_GE(h, 560) << s.file;
      EXPECT_LE(h, 560 + 400 * slant + 3) << s.file;
      EXPECT_GT(GreyAt(*out, 2, 2), 200) << "a skew triangle at the corner of " << s.file;
    }
  }
}

TEST(ScanCleanup, WithoutBordersThePictureIsOnlyRescaled) {
  // Mid-grey everywhere: no border is found and the pixel size follows the resolution.
  struct Case {
    int w, h;
    LONG ppm;
    int expectW, expectH;
  };
  for (const Case& c : {Case{2480, 3508, 11811, 793, 1122}, Case{300, 200, 0, 300, 200},
                        Case{300, 200, -5, 300, 200}, Case{300, 200, 1890, 600, 400}}) {
    std::vector<unsigned char> dib = DIB::Create(c.w, c.h, RGB(128, 128, 128), DIB::FormatRgb24);
    auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
    h.biXPelsPerMeter = h.biYPelsPerMeter = c.ppm;
    const auto jpeg = PrepareScannedImage(dib, 3780);
    const SharedBytes out = DecodePictureToDib(jpeg);
    ASSERT_NE(out, nullptr) << c.w;
    EXPECT_EQ(Header(*out).biWidth, c.expectW);
    EXPECT_EQ(Header(*out).biHeight, c.expectH);
    if (c.w == 2480) WriteFile("a4.jpg", jpeg);
  }
  WriteFile("grey.jpg", PrepareScannedImage(DibOfBmp(ReadFile("grey.bmp")), 3780));
}

TEST(ScanCleanup, AnyDibLayoutAndHostileInput) {
  const auto dib = DibOfBmp(ReadFile("white5.bmp"));
  ASSERT_GT(dib.size(), 40u);
  const auto reference = PrepareScannedImage(dib, 3780);
  // The same sheet stored top-down gives the same picture.
  std::vector<unsigned char> topDown = dib;
  auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(topDown.data());
  const int rows = h.biHeight, stride = (h.biWidth * 3 + 3) & ~3;
  h.biHeight = -rows;
  for (int y = 0; y < rows; ++y)
    std::memcpy(&topDown[40 + size_t(y) * stride], &dib[40 + size_t(rows - 1 - y) * stride],
                size_t(stride));
  EXPECT_EQ(PrepareScannedImage(topDown, 3780), reference);

  // An 8-bit grey scan with its palette is taken too.
  std::vector<unsigned char> grey(40 + 1024 + 64 * 64, 0);
  BITMAPINFOHEADER g = {};
  g.biSize = 40;
  g.biWidth = g.biHeight = 64;
  g.biPlanes = 1;
  g.biBitCount = 8;
  std::memcpy(grey.data(), &g, 40);
  for (int i = 0; i < 256; ++i) std::memset(&grey[40 + 4 * i], i, 3);
  std::memset(&grey[40 + 1024], 128, 64 * 64);
  const SharedBytes fromGrey = DecodePictureToDib(PrepareScannedImage(grey, 3780));
  ASSERT_NE(fromGrey, nullptr);
  EXPECT_EQ(Header(*fromGrey).biWidth, 64);

  // A resolution of 1 pixel per metre would make the picture 3780 times larger.
  std::vector<unsigned char> tiny = DIB::Create(100, 100, RGB(128, 128, 128), DIB::FormatRgb24);
  reinterpret_cast<BITMAPINFOHEADER*>(tiny.data())->biXPelsPerMeter = 1;
  EXPECT_TRUE(PrepareScannedImage(tiny, 3780).empty());

  EXPECT_TRUE(PrepareScannedImage({}, 3780).empty());
  EXPECT_TRUE(PrepareScannedImage(std::vector<unsigned char>(dib.begin(), dib.begin() + 1000), 3780)
                  .empty());
  std::mt19937 random(5);
  const auto small = DIB::Create(70, 90, RGB(250, 250, 250), DIB::FormatRgb24);
  for (int round = 0; round < 200; ++round) {
    auto bad = small;
    for (int i = 0; i < 4; ++i) bad[random() % 40] = static_cast<unsigned char>(random());
    const auto jpeg = PrepareScannedImage(bad, 3780);
    if (!jpeg.empty()) {
      EXPECT_NE(DecodePictureToDib(jpeg), nullptr);
    }
  }
}

TEST(DisplayBitmaps, PictureFittedAndCentredWithATransparentFrame) {
  auto picture = BmpOfDib(DIB::Create(200, 100, RGB(250, 250, 250), DIB::FormatRgb24));
  HBITMAP color = HBITMAP(1), mask = HBITMAP(1);
  ASSERT_TRUE(MakeDisplayBitmaps(picture, 64, 64, color, mask));
  ASSERT_NE(color, nullptr);
  ASSERT_NE(mask, nullptr);
  HDC dc = GetDC(nullptr);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = 40;
  info.bmiHeader.biWidth = 64;
  info.bmiHeader.biHeight = -64;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  std::vector<unsigned char> pixels(64 * 64 * 3);
  ASSERT_EQ(GetDIBits(dc, color, 0, 64, pixels.data(), &info, DIB_RGB_COLORS), 64);
  std::vector<unsigned char> maskBits(64 * 64 * 3);
  ASSERT_EQ(GetDIBits(dc, mask, 0, 64, maskBits.data(), &info, DIB_RGB_COLORS), 64);
  ReleaseDC(nullptr, dc);
  BITMAP b = {};
  GetObject(mask, sizeof b, &b);
  EXPECT_EQ(b.bmBitsPixel, 1);
  for (int y : {0, 10, 15, 50, 63}) {
    EXPECT_EQ(pixels[size_t(y) * 192 + 96], 0) << y;      // black bars
    EXPECT_EQ(maskBits[size_t(y) * 192 + 96], 255) << y;  // transparent
  }
  for (int y : {18, 32, 47}) {
    EXPECT_GT(pixels[size_t(y) * 192 + 96], 240) << y;
    EXPECT_EQ(maskBits[size_t(y) * 192 + 96], 0) << y;  // opaque
  }
  DeleteObject(color);
  DeleteObject(mask);

  // Not a picture, or no size: nothing.
  for (auto [bytes, w, h] : {std::tuple{std::vector<unsigned char>(100, 7), 64, 64},
                             std::tuple{picture, 0, 64}, std::tuple{picture, 64, -1}}) {
    color = mask = HBITMAP(1);
    EXPECT_FALSE(MakeDisplayBitmaps(bytes, w, h, color, mask));
    EXPECT_EQ(color, nullptr);
    EXPECT_EQ(mask, nullptr);
  }
  // A one-pixel picture fills the whole square.
  auto dot = BmpOfDib(DIB::Create(1, 1, RGB(250, 250, 250), DIB::FormatRgb24));
  ASSERT_TRUE(MakeDisplayBitmaps(dot, 16, 16, color, mask));
  DeleteObject(color);
  DeleteObject(mask);
}

}  // namespace

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "wizard/coverart/DibResize.h"

namespace DIB {

namespace {

// Largest DIB these functions make.
constexpr uint64_t kMaxDibBytes = 1ull << 30;

const BITMAPINFOHEADER& HeaderOf(const void* dib) {
  return *static_cast<const BITMAPINFOHEADER*>(dib);
}

int Rows(const BITMAPINFOHEADER& h) { return int(std::llabs(h.biHeight)); }

// Row r counted from the top.
const unsigned char* RowFromTop(const void* dib, int r) {
  const BITMAPINFOHEADER& h = HeaderOf(dib);
  const int rowBytes = RowBytes(h.biWidth, FormatOf(dib));
  const int memoryRow = h.biHeight > 0 ? h.biHeight - 1 - r : r;
  return static_cast<const unsigned char*>(dib) + h.biSize + size_t(memoryRow) * rowBytes;
}

unsigned char* RowFromTop(void* dib, int r) {
  return const_cast<unsigned char*>(RowFromTop(static_cast<const void*>(dib), r));
}

// The nine values' median by the usual exchange network on whole rows.
inline void Order(unsigned char& a, unsigned char& b) {
  const unsigned char lo = std::min(a, b);
  b = std::max(a, b);
  a = lo;
}

unsigned char Median9(unsigned char p[9]) {
  Order(p[1], p[2]);
  Order(p[4], p[5]);
  Order(p[7], p[8]);
  Order(p[0], p[1]);
  Order(p[3], p[4]);
  Order(p[6], p[7]);
  Order(p[1], p[2]);
  Order(p[4], p[5]);
  Order(p[7], p[8]);
  Order(p[0], p[3]);
  Order(p[5], p[8]);
  Order(p[4], p[7]);
  Order(p[3], p[6]);
  Order(p[1], p[4]);
  Order(p[2], p[5]);
  Order(p[4], p[7]);
  Order(p[4], p[2]);
  Order(p[6], p[4]);
  Order(p[4], p[2]);
  return p[4];
}

}  // namespace

int BitsPerPixel(int format) {
  switch (format) {
    case FormatRgb24:
      return 24;
    case FormatRgb32:
      return 32;
    case FormatYuy2:
      return 16;
    default:
      return 8;
  }
}

int RowBytes(int width, int format) {
  switch (format) {
    case FormatRgb24:
      return (3 * width + 3) & ~3;
    case FormatRgb32:
      return 4 * width;
    case FormatYuy2:
      return 2 * width;
    default:
      return (width + 3) & ~3;
  }
}

int FormatOf(const void* dib) {
  switch (HeaderOf(dib).biBitCount) {
    case 8:
      return FormatGrey;
    case 24:
      return FormatRgb24;
    case 16:
      return FormatYuy2;
    default:
      return FormatRgb32;
  }
}

Bytes Create(int width, int height, int color, int format) {
  if (width < 0 || height < 0 || width > 0x7FFFFFF) return {};
  const uint64_t rowBytes = uint64_t(RowBytes(width, format));
  const uint64_t image = rowBytes * uint64_t(height);
  if (image > kMaxDibBytes) return {};
  Bytes dib(sizeof(BITMAPINFOHEADER) + size_t(image));
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = WORD(BitsPerPixel(format));
  h.biCompression = format == FormatYuy2 ? kFourccYuy2 : BI_RGB;
  h.biSizeImage = DWORD(image);
  h.biXPelsPerMeter = h.biYPelsPerMeter = 96;
  std::memcpy(dib.data(), &h, sizeof h);
  if (format == FormatRgb24 && color != 0) {
    const unsigned char bgr[3] = {static_cast<unsigned char>(color >> 16),
                                  static_cast<unsigned char>(color >> 8),
                                  static_cast<unsigned char>(color)};
    for (int y = 0; y < height; ++y) {
      unsigned char* row = dib.data() + sizeof h + size_t(y) * rowBytes;
      for (int x = 0; x < width; ++x) std::memcpy(row + 3 * x, bgr, 3);
    }
  }
  return dib;
}

bool CopyRect(const void* source, int x, int y, int width, int height, void* target, int targetX,
              int targetY) {
  const BITMAPINFOHEADER& s = HeaderOf(source);
  const BITMAPINFOHEADER& t = HeaderOf(target);
  if (x < 0 || y < 0 || targetX < 0 || targetY < 0) return false;
  if (x > s.biWidth || y > Rows(s)) return false;
  width = std::max(0, std::min(width, int(s.biWidth) - x));
  height = std::max(0, std::min(height, Rows(s) - y));
  if (width == 0 || height == 0) return true;
  if (targetX > t.biWidth || targetY > Rows(t)) return false;
  width = std::min(width, int(t.biWidth) - targetX);
  height = std::min(height, Rows(t) - targetY);
  if (width == 0 || height == 0) return true;
  const int bits = BitsPerPixel(FormatOf(source));
  const size_t bytes = size_t(width) * bits / 8;
  for (int i = 0; i < height; ++i)
    std::memcpy(RowFromTop(target, targetY + i) + size_t(targetX) * bits / 8,
                RowFromTop(source, y + i) + size_t(x) * bits / 8, bytes);
  return true;
}

Bytes ToGrey(const void* dib) {
  const BITMAPINFOHEADER& h = HeaderOf(dib);
  const int width = h.biWidth, rows = Rows(h);
  Bytes grey = Create(width, rows, 0, FormatGrey);
  if (grey.empty()) return grey;
  const int greyRowBytes = RowBytes(width, FormatGrey);
  for (int r = 0; r < rows; ++r) {
    const unsigned char* from = RowFromTop(dib, r);
    unsigned char* to =
        grey.data() + sizeof(BITMAPINFOHEADER) + size_t(rows - 1 - r) * greyRowBytes;
    if (h.biCompression == BI_RGB && (h.biBitCount == 24 || h.biBitCount == 32)) {
      const int step = h.biBitCount / 8;
      for (int x = 0; x < width; ++x) {
        const unsigned char* p = from + size_t(x) * step;
        to[x] = static_cast<unsigned char>((p[0] + p[1] + p[2]) / 3);
      }
    } else if (h.biCompression == BI_RGB && h.biBitCount == 8) {
      std::memcpy(to, from, size_t(width));
    } else if (h.biCompression == kFourccYuy2 && h.biBitCount == 16) {
      for (int x = 0; x < width; ++x) to[x] = from[2 * x];
    }
  }
  return grey;
}

bool Median3x3(void* dib) {
  const BITMAPINFOHEADER& h = HeaderOf(dib);
  const int width = h.biWidth, rows = Rows(h);
  if (FormatOf(dib) != FormatGrey || width < 2 || width % 8 != 2) return false;
  if (rows < 3) return true;
  const int rowBytes = RowBytes(width, FormatGrey);
  unsigned char* bits = static_cast<unsigned char*>(dib) + h.biSize;
  Bytes out(bits, bits + size_t(rows) * rowBytes);
  for (int r = 1; r < rows - 1; ++r) {
    const unsigned char* above = bits + size_t(r - 1) * rowBytes;
    const unsigned char* here = above + rowBytes;
    const unsigned char* below = here + rowBytes;
    unsigned char* to = out.data() + size_t(r) * rowBytes;
    for (int x = 1; x < width - 1; ++x) {
      unsigned char p[9] = {above[x - 1], above[x],     above[x + 1], here[x - 1], here[x],
                            here[x + 1],  below[x - 1], below[x],     below[x + 1]};
      to[x] = Median9(p);
    }
  }
  std::memcpy(bits, out.data(), out.size());
  return true;
}

}  // namespace DIB

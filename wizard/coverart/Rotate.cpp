#include "wizard/coverart/Rotate.h"

#include <cmath>
#include <cstdlib>

#include "wizard/coverart/Picture.h"

namespace DIB {

Bytes Rotate24(const Bytes& dib, float degrees, unsigned char background) {
  const auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  const int w = h.biWidth, rows = int(std::llabs(h.biHeight));
  const double angle = double(degrees) * 3.14159265358979323846 / 180;
  const double c = std::cos(angle), s = std::sin(angle);
  const long long nw = std::llround(std::fabs(w * c) + std::fabs(rows * s));
  const long long nh = std::llround(std::fabs(w * s) + std::fabs(rows * c));
  if (nw <= 0 || nh <= 0 || nw > kMaxPictureSide || nh > kMaxPictureSide ||
      nw * nh > kMaxPicturePixels)
    return {};
  Bytes out = Create(int(nw), int(nh), RGB(background, background, background), FormatRgb24);
  if (out.empty()) return out;
  const int inRowBytes = RowBytes(w, FormatRgb24), outRowBytes = RowBytes(int(nw), FormatRgb24);
  const unsigned char* in = dib.data() + h.biSize;
  unsigned char* to = out.data() + sizeof(BITMAPINFOHEADER);
  const unsigned char outside[3] = {background, background, background};
  // Rows counted from the top of the picture, whichever way it is stored.
  auto pixel = [&](int x, int y) -> const unsigned char* {
    if (x < 0 || y < 0 || x >= w || y >= rows) return outside;
    const int memoryRow = h.biHeight > 0 ? rows - 1 - y : y;
    return in + size_t(memoryRow) * inRowBytes + size_t(x) * 3;
  };
  const double cx = (w - 1) / 2.0, cy = (rows - 1) / 2.0;
  const double ncx = (nw - 1) / 2.0, ncy = (nh - 1) / 2.0;
  for (long long y = 0; y < nh; ++y) {
    unsigned char* row = to + size_t(nh - 1 - y) * outRowBytes;
    const double dy = y - ncy;
    for (long long x = 0; x < nw; ++x) {
      // The source point that the turn brings here.
      const double dx = x - ncx;
      const double sx = cx + dx * c + dy * s, sy = cy - dx * s + dy * c;
      if (sx <= -1 || sy <= -1 || sx >= w || sy >= rows) continue;
      const int x0 = int(std::floor(sx)), y0 = int(std::floor(sy));
      const double fx = sx - x0, fy = sy - y0;
      const unsigned char* p00 = pixel(x0, y0);
      const unsigned char* p10 = pixel(x0 + 1, y0);
      const unsigned char* p01 = pixel(x0, y0 + 1);
      const unsigned char* p11 = pixel(x0 + 1, y0 + 1);
      for (int ch = 0; ch < 3; ++ch) {
        const double top = p00[ch] + (p10[ch] - p00[ch]) * fx;
        const double bottom = p01[ch] + (p11[ch] - p01[ch]) * fx;
        row[x * 3 + ch] = static_cast<unsigned char>(std::lround(top + (bottom - top) * fy));
      }
    }
  }
  return out;
}

}  // namespace DIB

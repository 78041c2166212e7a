#include "wizard/coverart/Dib.h"

#include <cstdlib>
#include <cstring>

namespace DibLayout {

SharedBytes Make24(int width, int height, LONG xPelsPerMeter, LONG yPelsPerMeter) {
  const uint32_t image = Stride24(width) * uint32_t(height);
  auto dib = std::make_shared<std::vector<unsigned char>>(sizeof(BITMAPINFOHEADER) + image);
  BITMAPINFOHEADER h = {};
  h.biSize = sizeof h;
  h.biWidth = width;
  h.biHeight = height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = BI_RGB;
  h.biSizeImage = image;
  h.biXPelsPerMeter = xPelsPerMeter;
  h.biYPelsPerMeter = yPelsPerMeter;
  std::memcpy(dib->data(), &h, sizeof h);
  return dib;
}

const BITMAPINFOHEADER* Check24(const std::vector<unsigned char>& dib) {
  if (dib.size() < sizeof(BITMAPINFOHEADER)) return nullptr;
  const auto* h = reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  if (h->biSize != sizeof *h || h->biBitCount != 24 || h->biCompression != BI_RGB ||
      h->biPlanes != 1 || h->biWidth <= 0 || h->biWidth > kMaxPictureSide || h->biHeight == 0 ||
      std::llabs(h->biHeight) > kMaxPictureSide)
    return nullptr;
  const uint64_t rows = uint64_t(std::llabs(h->biHeight)) * Stride24(h->biWidth);
  return rows <= dib.size() - sizeof *h ? h : nullptr;
}

}  // namespace DibLayout

#include "wizard/coverart/Dib.h"

#include <cstring>

#include "wizard/coverart/DibHeader.h"

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
  HeaderInfo layout;
  if (!ReadPicture(dib.data(), dib.size(), layout) ||
      layout.headerBytes != sizeof(BITMAPINFOHEADER) || layout.bits != 24 ||
      layout.compression != BI_RGB || layout.pixelsAt != layout.headerBytes)
    return nullptr;
  return reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
}

}  // namespace DibLayout

#include <cstring>
#include <new>

#include "wizard/coverart/DibResize.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"

namespace {

// Where the resized white picture is at least this bright, the picture lies.
constexpr int kOpaqueFrom = 128;

HBITMAP ColorBitmap(const DIB::Bytes& dib) {
  BITMAPINFO info = {};
  std::memcpy(&info.bmiHeader, dib.data(), sizeof(BITMAPINFOHEADER));
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap) {
    std::memcpy(bits, dib.data() + sizeof(BITMAPINFOHEADER), dib.size() - sizeof(BITMAPINFOHEADER));
    GdiFlush();
  }
  return bitmap;
}

// A monochrome bitmap (1 = white = transparent) from the resized white picture.
HBITMAP MaskBitmap(const DIB::Bytes& white, int width, int height) {
  const int rowBytes = DIB::RowBytes(width, DIB::FormatRgb24);
  const int maskRowBytes = (width + 15) / 16 * 2;
  std::vector<unsigned char> bits(size_t(maskRowBytes) * height, 0);
  const unsigned char* rows = white.data() + sizeof(BITMAPINFOHEADER);
  for (int y = 0; y < height; ++y) {
    // Bitmap rows run top-down, the DIB's bottom-up.
    const unsigned char* from = rows + size_t(height - 1 - y) * rowBytes;
    unsigned char* to = &bits[size_t(y) * maskRowBytes];
    for (int x = 0; x < width; ++x) {
      const unsigned char* p = from + 3 * x;
      if ((p[0] + p[1] + p[2]) / 3 < kOpaqueFrom)
        to[x / 8] |= static_cast<unsigned char>(0x80 >> (x % 8));
    }
  }
  return CreateBitmap(width, height, 1, 1, bits.data());
}

}  // namespace

bool MakeDisplayBitmaps(const std::vector<unsigned char>& picture, int width, int height,
                        HBITMAP& color, HBITMAP& mask) try {
  color = mask = nullptr;
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
    return false;
  const SharedBytes dib = DecodePictureToDib(picture);
  if (!dib) return false;
  const auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(dib->data());
  const auto resizer =
      DIB::CreateResizer(h.biWidth, h.biHeight, DIB::AspectPicture, 0, false, width, height,
                         DIB::AspectPicture, 0, false, DIB::FormatRgb24);
  if (!resizer) return false;
  const DIB::Bytes white = DIB::Create(h.biWidth, h.biHeight, 0xFFFFFF, DIB::FormatRgb24);
  DIB::Bytes shown = resizer->NewTargetDib();
  DIB::Bytes covered = resizer->NewTargetDib();
  if (white.empty() || shown.empty() || covered.empty() ||
      !resizer->ResizeDib(dib->data(), shown.data()) ||
      !resizer->ResizeDib(white.data(), covered.data()))
    return false;
  color = ColorBitmap(shown);
  mask = MaskBitmap(covered, width, height);
  if (color && mask) return true;
  if (color) DeleteObject(color);
  if (mask) DeleteObject(mask);
  color = mask = nullptr;
  return false;
} catch (const std::bad_alloc&) {
  return false;
}

// Sizes of the DIBs that scanners deliver; every header version.
#include <cstdint>
#include <cstring>

#include "wizard/coverart/DibHeader.h"
#include "wizard/coverart/WiaWrap.h"

namespace WiaWrap {

namespace {

constexpr ULONG kCoreHeader = 12;
constexpr ULONG kFileHeader = 14;
constexpr uint64_t kLargest = 0xFFFFFFFFull;

}  // namespace

ULONG DibHeaderSize(const void* dib, size_t available) {
  DibLayout::HeaderInfo layout;
  return DibLayout::ReadHeader(dib, available, layout) ? layout.headerBytes : 0;
}

ULONG DibRowBytes(LONG width, WORD bitsPerPixel) {
  const uint64_t bytes = (uint64_t(uint32_t(width)) * bitsPerPixel + 31) / 32 * 4;
  return bytes <= kLargest ? ULONG(bytes) : 0;
}

ULONG DibTotalSize(const void* dib, size_t available) {
  DibLayout::HeaderInfo layout;
  if (!DibLayout::ReadHeader(dib, available, layout)) return 0;
  // A stated image size counts; without one only uncompressed rows are known.
  uint64_t pixels = layout.sizeImage;
  if (!pixels) {
    if (layout.compression != BI_RGB && layout.compression != BI_BITFIELDS) return 0;
    pixels = layout.pixelBytes;
  }
  uint64_t total = layout.pixelsAt + pixels;
  const uint64_t profileEnd = layout.profileAt + layout.profileBytes;
  if (profileEnd > total) total = profileEnd;
  return total <= kLargest ? ULONG(total) : 0;
}

ULONG DibPixelOffset(const void* dib, size_t available) {
  DibLayout::HeaderInfo layout;
  if (!DibLayout::ReadHeader(dib, available, layout)) return 0;
  return layout.pixelsAt <= kLargest ? ULONG(layout.pixelsAt) : 0;
}

bool DibFixHeight(void* dib, size_t dataSize, bool topDown) {
  DibLayout::HeaderInfo layout;
  if (!DibLayout::ReadHeader(dib, dataSize, layout)) return false;
  if (layout.height != 0) return true;
  const ULONG rowBytes = DibRowBytes(layout.width, layout.bits);
  if (!rowBytes) return false;
  auto* p = static_cast<unsigned char*>(dib);
  if (dataSize < layout.pixelsAt) return false;
  uint64_t image = layout.sizeImage;
  if (layout.headerBytes == kCoreHeader) {
    const uint64_t rows = (dataSize - layout.pixelsAt) / rowBytes;
    if (rows > 0xFFFF) return false;
    const WORD height = WORD(rows);
    std::memcpy(p + offsetof(BITMAPCOREHEADER, bcHeight), &height, sizeof height);
    return true;
  }
  if (!image) {
    // A profile that does not lie in front of the pixels follows them.
    const uint64_t after = layout.pixelsAt == layout.tableEnd ? layout.profileBytes : 0;
    if (dataSize - layout.pixelsAt < after) return false;
    image = dataSize - layout.pixelsAt - after;
    if (image > kLargest) return false;
    const DWORD sizeImage = DWORD(image);
    std::memcpy(p + offsetof(BITMAPINFOHEADER, biSizeImage), &sizeImage, sizeof sizeImage);
  }
  const uint64_t rows = image / rowBytes;
  if (rows > 0x7FFFFFFF) return false;
  const LONG height = topDown ? -LONG(rows) : LONG(rows);
  std::memcpy(p + offsetof(BITMAPINFOHEADER, biHeight), &height, sizeof height);
  return true;
}

bool DibFillFileHeader(const void* dib, size_t available, BITMAPFILEHEADER* header) {
  const ULONG total = DibTotalSize(dib, available);
  const ULONG pixels = DibPixelOffset(dib, available);
  if (!header || !total || !pixels || total > kLargest - kFileHeader) return false;
  header->bfType = 0x4D42;
  header->bfSize = total + kFileHeader;
  header->bfReserved1 = header->bfReserved2 = 0;
  header->bfOffBits = pixels + kFileHeader;
  return true;
}

}  // namespace WiaWrap

// Sizes of the DIBs that scanners deliver; every header version.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "wizard/coverart/WiaWrap.h"

namespace WiaWrap {

namespace {

constexpr ULONG kCoreHeader = 12;
constexpr ULONG kInfoHeader = 40;
constexpr ULONG kV4Header = 108;
constexpr ULONG kV5Header = 124;
constexpr ULONG kMaskBytes = 12;
constexpr ULONG kFileHeader = 14;
constexpr uint64_t kLargest = 0xFFFFFFFFull;

// The fields every version has, read from either header layout.
struct Fields {
  ULONG size = 0;
  LONG width = 0, height = 0;
  WORD bits = 0;
  DWORD compression = BI_RGB;
  DWORD sizeImage = 0;
  DWORD colorsUsed = 0;
  DWORD profileData = 0, profileSize = 0;
};

bool Read(const void* dib, size_t available, Fields& f) {
  f.size = DibHeaderSize(dib, available);
  if (!f.size) return false;
  const auto* p = static_cast<const unsigned char*>(dib);
  if (f.size == kCoreHeader) {
    BITMAPCOREHEADER c;
    std::memcpy(&c, p, sizeof c);
    f.width = c.bcWidth;
    f.height = c.bcHeight;
    f.bits = c.bcBitCount;
    return true;
  }
  BITMAPINFOHEADER h;
  std::memcpy(&h, p, sizeof h);
  f.width = h.biWidth;
  f.height = h.biHeight;
  f.bits = h.biBitCount;
  f.compression = h.biCompression;
  f.sizeImage = h.biSizeImage;
  f.colorsUsed = h.biClrUsed;
  if (f.size == kV5Header) {
    BITMAPV5HEADER v5;
    std::memcpy(&v5, p, sizeof v5);
    f.profileData = v5.bV5ProfileData;
    f.profileSize = v5.bV5ProfileSize;
  }
  return true;
}

uint64_t ColorTable(const Fields& f) {
  if (f.size == kCoreHeader) return f.bits <= 8 ? 3ull << f.bits : 0;
  if (f.colorsUsed) return 4ull * f.colorsUsed;
  return f.bits <= 8 ? 4ull << f.bits : 0;
}

bool BitFields(const Fields& f) { return f.size == kInfoHeader && f.compression == BI_BITFIELDS; }

}  // namespace

ULONG DibHeaderSize(const void* dib, size_t available) {
  if (!dib || available < 4) return 0;
  ULONG size;
  std::memcpy(&size, dib, 4);
  if (size != kCoreHeader && size != kInfoHeader && size != kV4Header && size != kV5Header)
    return 0;
  return size <= available ? size : 0;
}

ULONG DibRowBytes(LONG width, WORD bitsPerPixel) {
  const uint64_t bytes = (uint64_t(uint32_t(width)) * bitsPerPixel + 31) / 32 * 4;
  return bytes <= kLargest ? ULONG(bytes) : 0;
}

ULONG DibTotalSize(const void* dib, size_t available) {
  Fields f;
  if (!Read(dib, available, f)) return 0;
  uint64_t pixels = f.sizeImage;
  if (!pixels) {
    if (f.compression != BI_RGB && f.compression != BI_BITFIELDS) return 0;
    pixels = uint64_t(DibRowBytes(f.width, f.bits)) * uint64_t(std::llabs(f.height));
  }
  uint64_t total = f.size + ColorTable(f) + pixels;
  if (BitFields(f)) total += kMaskBytes;
  if (f.size == kV5Header) total = (total > f.profileData ? total : f.profileData) + f.profileSize;
  return total <= kLargest ? ULONG(total) : 0;
}

ULONG DibPixelOffset(const void* dib, size_t available) {
  Fields f;
  if (!Read(dib, available, f)) return 0;
  uint64_t offset = f.size + ColorTable(f);
  if (BitFields(f)) offset += kMaskBytes;
  if (f.size == kV5Header && f.profileData <= offset) offset += f.profileSize;
  return offset <= kLargest ? ULONG(offset) : 0;
}

bool DibFixHeight(void* dib, size_t dataSize, bool topDown) {
  Fields f;
  if (!Read(dib, dataSize, f)) return false;
  if (f.height != 0) return true;
  const ULONG rowBytes = DibRowBytes(f.width, f.bits);
  if (!rowBytes) return false;
  auto* p = static_cast<unsigned char*>(dib);
  uint64_t before = f.size + ColorTable(f);
  if (f.size == kCoreHeader) {
    if (dataSize < before) return false;
    const uint64_t rows = (dataSize - before) / rowBytes;
    if (rows > 0xFFFF) return false;
    const WORD height = WORD(rows);
    std::memcpy(p + offsetof(BITMAPCOREHEADER, bcHeight), &height, sizeof height);
    return true;
  }
  uint64_t image = f.sizeImage;
  if (!image) {
    if (BitFields(f)) before += kMaskBytes;
    if (f.size == kV5Header) before += f.profileSize;
    if (dataSize < before) return false;
    image = dataSize - before;
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

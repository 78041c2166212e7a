#include "wizard/coverart/DibHeader.h"

#include <cstdlib>

#include "wizard/coverart/Picture.h"

namespace DibLayout {

namespace {

constexpr uint32_t kCoreHeader = 12;
constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kV2Header = 52;  // with the red, green and blue masks
constexpr uint32_t kV3Header = 56;  // and the alpha mask
constexpr uint32_t kV4Header = 108;
constexpr uint32_t kV5Header = 124;
constexpr uint32_t kMaskBytes = 12;
constexpr uint64_t kLargestRow = 0xFFFFFFFF;
// Where version 4 and 5 headers keep the colour space and the profile.
constexpr size_t kColorSpaceAt = 56;
constexpr size_t kProfileDataAt = 112;
constexpr size_t kProfileSizeAt = 116;
constexpr uint32_t kProfileLinked = 0x4C494E4B;    // "LINK"
constexpr uint32_t kProfileEmbedded = 0x4D424544;  // "MBED"

// Little-endian fields of a header whose size has been checked.
uint32_t U32(const unsigned char* p, size_t at) {
  return p[at] | uint32_t(p[at + 1]) << 8 | uint32_t(p[at + 2]) << 16 | uint32_t(p[at + 3]) << 24;
}
uint16_t U16(const unsigned char* p, size_t at) { return uint16_t(p[at] | p[at + 1] << 8); }
int32_t S32(const unsigned char* p, size_t at) { return int32_t(U32(p, at)); }

uint32_t HeaderSize(const unsigned char* dib, size_t available) {
  if (!dib || available < 4) return 0;
  const uint32_t size = U32(dib, 0);
  if (size != kCoreHeader && size != kInfoHeader && size != kV2Header && size != kV3Header &&
      size != kV4Header && size != kV5Header)
    return 0;
  return size <= available ? size : 0;
}

// BITMAPCOREHEADER: 16-bit sides, a table of 3-byte entries for 8 bits and less.
void ReadCore(const unsigned char* p, HeaderInfo& out) {
  out.width = U16(p, 4);
  out.height = U16(p, 6);
  out.planes = U16(p, 8);
  out.bits = U16(p, 10);
  out.entryBytes = 3;
  out.colors = out.bits <= 8 ? 1u << out.bits : 0;
  out.tableAt = kCoreHeader;
}

// Every later version begins with the 40 bytes of BITMAPINFOHEADER; masks
// follow them, inside the header from version 2 on, after it in a 40-byte one.
void ReadInfo(const unsigned char* p, HeaderInfo& out) {
  out.width = S32(p, 4);
  out.height = S32(p, 8);
  out.planes = U16(p, 12);
  out.bits = U16(p, 14);
  out.compression = U32(p, 16);
  out.sizeImage = U32(p, 20);
  out.xPelsPerMeter = S32(p, 24);
  out.yPelsPerMeter = S32(p, 28);
  const uint32_t colorsUsed = U32(p, 32);
  out.tableAt = out.headerBytes;
  if (out.compression == kBitFields && out.headerBytes == kInfoHeader) out.tableAt += kMaskBytes;
  if (colorsUsed)
    out.colors = colorsUsed;
  else
    out.colors = out.bits <= 8 ? 1u << out.bits : 0;
  if (out.headerBytes == kV5Header) {
    const uint32_t space = U32(p, kColorSpaceAt);
    if ((space == kProfileLinked || space == kProfileEmbedded) && U32(p, kProfileSizeAt)) {
      out.profileAt = U32(p, kProfileDataAt);
      out.profileBytes = U32(p, kProfileSizeAt);
    }
  }
}

}  // namespace

bool ReadHeader(const void* dib, size_t available, HeaderInfo& out) {
  out = HeaderInfo();
  const auto* p = static_cast<const unsigned char*>(dib);
  out.headerBytes = HeaderSize(p, available);
  if (!out.headerBytes) return false;
  if (out.headerBytes == kCoreHeader)
    ReadCore(p, out);
  else
    ReadInfo(p, out);
  if (out.compression == kBitFields) {
    if (available < kInfoHeader + kMaskBytes) return false;
    for (size_t i = 0; i < 3; ++i) out.masks[i] = U32(p, kInfoHeader + 4 * i);
  }
  out.tableEnd = out.tableAt + uint64_t(out.colors) * out.entryBytes;
  if (out.compression == kRgb || out.compression == kBitFields) {
    out.rowBytes = (uint64_t(uint32_t(out.width)) * out.bits + 31) / 32 * 4;
    if (out.rowBytes > kLargestRow) return false;
    out.pixelBytes = out.rowBytes * uint64_t(std::llabs(out.height));
  } else {
    out.pixelBytes = out.sizeImage;
  }
  out.pixelsAt = out.tableEnd;
  if (out.profileBytes) {
    if (out.profileAt < out.tableEnd) return false;
    // A profile where the pixels would start, or within their span, lies in
    // front of them; otherwise it follows them.
    if (out.profileAt == out.tableEnd || out.profileAt < out.tableEnd + out.pixelBytes)
      out.pixelsAt = out.profileAt + out.profileBytes;
  }
  return true;
}

bool Drawable(const HeaderInfo& in) {
  const uint16_t bits = in.bits;
  const uint32_t compression = in.compression;
  if (in.planes != 1 || in.height == INT32_MIN) return false;
  const long long width = in.width, height = std::llabs(in.height);
  if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
      width * height > kMaxPicturePixels)
    return false;
  if (!(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32))
    return false;
  const bool rle = (compression == kRle8 && bits == 8) || (compression == kRle4 && bits == 4);
  if (!(compression == kRgb || rle || (compression == kBitFields && (bits == 16 || bits == 32))))
    return false;
  if (rle && (in.height < 0 || in.sizeImage == 0)) return false;  // bottom-up, sized
  // Deeper bitmaps may carry a table for palette displays, of 256 colours at most.
  return in.colors <= (bits > 8 ? 256u : 1u << bits);
}

bool ReadPicture(const void* dib, size_t available, HeaderInfo& out) {
  return ReadHeader(dib, available, out) && Drawable(out) &&
         out.pixelsAt + out.pixelBytes <= available;
}

}  // namespace DibLayout

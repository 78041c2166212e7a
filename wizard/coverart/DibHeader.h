#pragma once
// The one reader of packed-DIB headers (as on the clipboard, in a drop, from a
// scanner or after a BMP file header): which header version, which pixel
// layout, and where colour table, colour masks, colour profile and pixels lie.
// It reads the bytes by their offsets and needs no system header.
#include <cstddef>
#include <cstdint>

namespace DibLayout {

// Pixel layouts (biCompression).
constexpr uint32_t kRgb = 0;
constexpr uint32_t kRle8 = 1;
constexpr uint32_t kRle4 = 2;
constexpr uint32_t kBitFields = 3;

struct HeaderInfo {
  uint32_t headerBytes = 0;  // 12, 40, 52, 56, 108 or 124
  int32_t width = 0;
  int32_t height = 0;  // negative: rows run top-down
  uint16_t planes = 0;
  uint16_t bits = 0;
  uint32_t compression = kRgb;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0, yPelsPerMeter = 0;
  // Red, green and blue masks of a kBitFields bitmap, else 0.
  uint32_t masks[3] = {};
  // The colour table: entries of 3 (core header) or 4 bytes.
  uint32_t colors = 0;
  uint32_t entryBytes = 4;
  uint64_t tableAt = 0;  // after the header and the masks that follow it
  uint64_t tableEnd = 0;
  // The colour profile of a version-5 header, relative to the header's start.
  uint64_t profileAt = 0, profileBytes = 0;
  uint64_t rowBytes = 0;    // for uncompressed layouts, else 0
  uint64_t pixelBytes = 0;  // rows × row bytes, or the image size when compressed
  // Where the pixels start in a packed DIB: after the table, and after a
  // profile that lies between the table and the pixels.
  uint64_t pixelsAt = 0;
};

// The fields of any known header version of which `available` bytes can be
// read, and where the parts of the packed DIB lie; a height of 0 is taken.
// False for another header size, a header longer than the bytes there are,
// or a profile that overlaps header or table.
bool ReadHeader(const void* dib, size_t available, HeaderInfo& out);

// Whether the header describes a bitmap that can be drawn: one plane, a depth
// of 1, 4, 8, 16, 24 or 32 bits with an uncompressed, bit-field or matching
// (bottom-up, sized) RLE layout, sides and pixel count within the picture
// limits, and at most 2^bits colours for 8 bits and less, 256 for more.
bool Drawable(const HeaderInfo& header);

// ReadHeader for a drawable bitmap whose every part, up to the pixels' end,
// lies within `available`.
bool ReadPicture(const void* dib, size_t available, HeaderInfo& out);

}  // namespace DibLayout

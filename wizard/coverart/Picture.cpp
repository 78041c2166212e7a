#include "wizard/coverart/Picture.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "wizard/coverart/Dib.h"
#include <stb/stb_image.h>

namespace {

constexpr size_t kShortestPicture = 16;
constexpr size_t kFileHeaderBytes = 14;

bool SideOk(long long width, long long height) {
  return width > 0 && height > 0 && width <= kMaxPictureSide && height <= kMaxPictureSide &&
         width * height <= kMaxPicturePixels;
}

uint32_t Read32(const unsigned char* p) {
  return p[0] | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// A BITMAPINFO in memory of its own, with room for a full colour table.
struct Info {
  BITMAPINFOHEADER header;
  RGBQUAD colors[256];
};

// Reads a DIB header of any version (core headers converted) into `out` with
// its colour table or bit-field masks; `tableBytes` is how much the table or
// masks take after the header in the source. False when the header does not hold up.
bool ReadHeader(const unsigned char* dib, size_t size, Info& out, size_t& headerBytes,
                size_t& tableBytes) {
  std::memset(&out, 0, sizeof out);
  if (size < 4) return false;
  headerBytes = Read32(dib);
  BITMAPINFOHEADER& h = out.header;
  const bool core = headerBytes == sizeof(BITMAPCOREHEADER);
  if (core) {
    if (size < headerBytes) return false;
    BITMAPCOREHEADER c;
    std::memcpy(&c, dib, sizeof c);
    h.biWidth = c.bcWidth;
    h.biHeight = c.bcHeight;
    h.biPlanes = c.bcPlanes;
    h.biBitCount = c.bcBitCount;
  } else {
    if (headerBytes < sizeof(BITMAPINFOHEADER) || headerBytes > 1024 || size < headerBytes)
      return false;
    std::memcpy(&h, dib, sizeof h);
  }
  h.biSize = sizeof h;
  const int bpp = h.biBitCount;
  const bool bitFields = h.biCompression == BI_BITFIELDS;
  if (h.biPlanes != 1 || h.biHeight == LONG(0x80000000) ||
      !SideOk(h.biWidth, std::llabs(h.biHeight)))
    return false;
  if (!(bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32)) return false;
  const bool rle = h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4;
  if (!(h.biCompression == BI_RGB || (h.biCompression == BI_RLE8 && bpp == 8) ||
        (h.biCompression == BI_RLE4 && bpp == 4) || (bitFields && (bpp == 16 || bpp == 32))))
    return false;
  if (rle && h.biHeight < 0) return false;  // compressed bitmaps are bottom-up
  size_t colors = 0;
  if (bpp <= 8) {
    if (h.biClrUsed > (1u << bpp)) return false;
    colors = h.biClrUsed ? h.biClrUsed : (1u << bpp);
  } else if (h.biClrUsed > 256) {
    return false;  // an optional table of more than 256 colours
  }
  const size_t entry = core ? sizeof(RGBTRIPLE) : sizeof(RGBQUAD);
  tableBytes = colors * entry;
  if (bitFields) {
    // The masks follow a 40-byte header; later headers hold them.
    const unsigned char* masks = dib + (headerBytes == sizeof h ? headerBytes : 40);
    if (headerBytes == sizeof h) tableBytes += 12;
    if (size < 40 + 12) return false;
    std::memcpy(out.colors, masks, 12);
    h.biClrUsed = 0;
    colors = 0;
  }
  if (size < headerBytes + tableBytes) return false;
  const unsigned char* table = dib + headerBytes;
  for (size_t i = 0; i < colors && bpp <= 8; ++i) {
    out.colors[i].rgbBlue = table[i * entry];
    out.colors[i].rgbGreen = table[i * entry + 1];
    out.colors[i].rgbRed = table[i * entry + 2];
  }
  h.biClrUsed = bpp <= 8 ? DWORD(colors) : 0;
  return true;
}

// Draws the pixels through GDI into a new 24-bit bottom-up DIB.
SharedBytes Render(Info& info, const unsigned char* bits, size_t bitsBytes) {
  BITMAPINFOHEADER& h = info.header;
  const int width = h.biWidth;
  const int height = int(std::llabs(h.biHeight));
  if (h.biCompression == BI_RLE8 || h.biCompression == BI_RLE4) {
    if (h.biSizeImage == 0 || h.biSizeImage > bitsBytes) return nullptr;
  } else {
    const uint64_t stride = (uint64_t(width) * h.biBitCount + 31) / 32 * 4;
    if (stride * height > bitsBytes) return nullptr;
    h.biSizeImage = 0;
  }
  SharedBytes out = DibLayout::Make24(width, height, h.biXPelsPerMeter, h.biYPelsPerMeter);
  BITMAPINFO target = {};
  std::memcpy(&target.bmiHeader, out->data(), sizeof(BITMAPINFOHEADER));
  void* pixels = nullptr;
  HBITMAP section = CreateDIBSection(nullptr, &target, DIB_RGB_COLORS, &pixels, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  bool drawn = false;
  if (section && dc) {
    HGDIOBJ old = SelectObject(dc, section);
    drawn = StretchDIBits(dc, 0, 0, width, height, 0, 0, width, height, bits,
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY) == height;
    GdiFlush();
    if (drawn)
      std::memcpy(out->data() + sizeof(BITMAPINFOHEADER), pixels,
                  out->size() - sizeof(BITMAPINFOHEADER));
    SelectObject(dc, old);
  }
  if (dc) DeleteDC(dc);
  if (section) DeleteObject(section);
  return drawn ? out : nullptr;
}

SharedBytes DecodeBmp(const std::vector<unsigned char>& bytes) {
  if (bytes.size() < kFileHeaderBytes + 4) return nullptr;
  const uint32_t pixelsAt = Read32(&bytes[10]);
  const unsigned char* dib = &bytes[kFileHeaderBytes];
  const size_t dibBytes = bytes.size() - kFileHeaderBytes;
  Info info;
  size_t headerBytes = 0, tableBytes = 0;
  if (!ReadHeader(dib, dibBytes, info, headerBytes, tableBytes)) return nullptr;
  // The file header says where the pixels are; without it they follow the table.
  size_t at = pixelsAt ? pixelsAt : kFileHeaderBytes + headerBytes + tableBytes;
  if (at < kFileHeaderBytes + headerBytes || at >= bytes.size()) return nullptr;
  return Render(info, &bytes[at], bytes.size() - at);
}

SharedBytes DecodeWithStb(const std::vector<unsigned char>& bytes) {
  if (bytes.size() > 0x7FFFFFFF) return nullptr;
  const int length = int(bytes.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) ||
      !SideOk(width, height))
    return nullptr;
  unsigned char* rgb = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 3);
  if (!rgb) return nullptr;
  SharedBytes dib = DibLayout::Make24(width, height);
  const uint32_t stride = DibLayout::Stride24(width);
  for (int y = 0; y < height; ++y) {
    const unsigned char* from = rgb + size_t(y) * width * 3;
    unsigned char* to = dib->data() + sizeof(BITMAPINFOHEADER) + size_t(height - 1 - y) * stride;
    for (int x = 0; x < width; ++x) {
      to[x * 3] = from[x * 3 + 2];
      to[x * 3 + 1] = from[x * 3 + 1];
      to[x * 3 + 2] = from[x * 3];
    }
  }
  stbi_image_free(rgb);
  return dib;
}

}  // namespace

SharedBytes DecodeTiff(const std::vector<unsigned char>& bytes);

bool GetPictureFormat(const std::vector<unsigned char>& b, int& format) {
  if (b.size() < kShortestPicture) return false;
  auto at = [&b](size_t offset, const char* text) {
    return std::memcmp(&b[offset], text, std::strlen(text)) == 0;
  };
  if (at(0, "II") || at(0, "MM")) {
    format = FormatTiff;
  } else if (at(1, "PNG")) {
    format = FormatPng;
  } else if (at(6, "JFIF")) {
    format = FormatJpeg;
  } else if (at(0, "BM")) {
    format = FormatBmp;
  } else if (at(0, "GIF")) {
    format = FormatGif;
  } else {
    return false;
  }
  return true;
}

SharedBytes DecodePictureToDib(const std::vector<unsigned char>& bytes) {
  int format = 0;
  if (!GetPictureFormat(bytes, format)) return nullptr;
  switch (format) {
    case FormatBmp:
      return DecodeBmp(bytes);
    case FormatTiff:
      return DecodeTiff(bytes);
    default:
      return DecodeWithStb(bytes);
  }
}

SharedBytes NormalizeDib(const unsigned char* dib, size_t size) {
  Info info;
  size_t headerBytes = 0, tableBytes = 0;
  if (!dib || !ReadHeader(dib, size, info, headerBytes, tableBytes)) return nullptr;
  const size_t at = headerBytes + tableBytes;
  if (at >= size) return nullptr;
  return Render(info, dib + at, size - at);
}

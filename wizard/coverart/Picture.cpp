#include "wizard/coverart/Picture.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "wizard/coverart/Dib.h"
#include "wizard/coverart/DibHeader.h"
#include "wizard/coverart/PictureDensity.h"
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

// The 40-byte header GDI is given for a bitmap of any header version, with
// its colour table or bit-field masks.
void MakeInfo(const DibLayout::HeaderInfo& in, const unsigned char* dib, Info& out) {
  std::memset(&out, 0, sizeof out);
  BITMAPINFOHEADER& h = out.header;
  h.biSize = sizeof h;
  h.biWidth = in.width;
  h.biHeight = in.height;
  h.biPlanes = 1;
  h.biBitCount = in.bits;
  h.biCompression = in.compression;
  h.biSizeImage = in.rowBytes ? 0 : in.sizeImage;  // only compressed pixels need it
  h.biXPelsPerMeter = in.xPelsPerMeter;
  h.biYPelsPerMeter = in.yPelsPerMeter;
  if (in.compression == BI_BITFIELDS) {
    std::memcpy(out.colors, in.masks, sizeof in.masks);
  } else if (in.bits <= 8) {
    // Tables of deeper bitmaps are only hints for palette displays.
    h.biClrUsed = in.colors;
    const unsigned char* table = dib + in.tableAt;
    for (size_t i = 0; i < in.colors; ++i) {
      out.colors[i].rgbBlue = table[i * in.entryBytes];
      out.colors[i].rgbGreen = table[i * in.entryBytes + 1];
      out.colors[i].rgbRed = table[i * in.entryBytes + 2];
    }
  }
}

// Draws the pixels through GDI into a new 24-bit bottom-up DIB.
SharedBytes Render(Info& info, const unsigned char* bits) {
  BITMAPINFOHEADER& h = info.header;
  const int width = h.biWidth;
  const int height = int(std::llabs(h.biHeight));
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
  DibLayout::HeaderInfo layout;
  if (!DibLayout::ReadHeader(dib, dibBytes, layout) || !DibLayout::Drawable(layout)) return nullptr;
  // The file header says where the pixels are; without it they lie as in a
  // packed bitmap. A table cut short by the pixels keeps the entries before them.
  const uint64_t at = pixelsAt ? pixelsAt - uint64_t(kFileHeaderBytes) : layout.pixelsAt;
  if ((pixelsAt && pixelsAt < kFileHeaderBytes) || at < layout.tableAt ||
      at + layout.pixelBytes > dibBytes)
    return nullptr;
  if (at < layout.tableEnd) {
    layout.colors = uint32_t((at - layout.tableAt) / layout.entryBytes);
    layout.tableEnd = at;
  }
  Info info;
  MakeInfo(layout, dib, info);
  return Render(info, dib + at);
}

SharedBytes DecodeWithStb(const std::vector<unsigned char>& bytes, int format) {
  if (bytes.size() > 0x7FFFFFFF) return nullptr;
  const int length = int(bytes.size());
  int width = 0, height = 0, channels = 0;
  if (!stbi_info_from_memory(bytes.data(), length, &width, &height, &channels) ||
      !SideOk(width, height))
    return nullptr;
  unsigned char* rgb = stbi_load_from_memory(bytes.data(), length, &width, &height, &channels, 3);
  if (!rgb) return nullptr;
  const PictureDensity::Density density = PictureDensity::Read(bytes, format);
  SharedBytes dib = DibLayout::Make24(width, height, density.xPelsPerMeter, density.yPelsPerMeter);
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
      return DecodeWithStb(bytes, format);
  }
}

SharedBytes NormalizeDib(const unsigned char* dib, size_t size) {
  DibLayout::HeaderInfo layout;
  if (!DibLayout::ReadPicture(dib, size, layout)) return nullptr;
  Info info;
  MakeInfo(layout, dib, info);
  return Render(info, dib + layout.pixelsAt);
}

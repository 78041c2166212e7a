#include <windows.h>

#include <cmath>
#include <cstdlib>

#include "wizard/coverart/Dib.h"
#include "wizard/coverart/ImageUtils.h"
#include <stb/stb_image_write.h>

namespace {

constexpr int kJpegQuality = 80;
// The JFIF APP0 segment stands at the start of every file the writer makes;
// its density fields follow the version.
constexpr size_t kJfifUnits = 13;

void Append(void* context, void* data, int size) {
  auto* out = static_cast<std::vector<unsigned char>*>(context);
  const auto* bytes = static_cast<const unsigned char*>(data);
  out->insert(out->end(), bytes, bytes + size);
}

unsigned Dpi(LONG pelsPerMeter) {
  const long dpi = std::lround(pelsPerMeter * 0.0254);
  return dpi > 0 && dpi <= 0xFFFF ? unsigned(dpi) : 0;
}

}  // namespace

std::vector<unsigned char> EncodeJpeg(const std::vector<unsigned char>& dib) {
  const BITMAPINFOHEADER* h = DibLayout::Check24(dib);
  if (!h) return {};
  const int width = h->biWidth;
  const int height = int(std::llabs(h->biHeight));
  const bool bottomUp = h->biHeight > 0;
  const uint32_t stride = DibLayout::Stride24(width);
  std::vector<unsigned char> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row =
        dib.data() + h->biSize + size_t(bottomUp ? height - 1 - y : y) * stride;
    unsigned char* to = &rgb[size_t(y) * width * 3];
    for (int x = 0; x < width; ++x) {
      to[x * 3] = row[x * 3 + 2];
      to[x * 3 + 1] = row[x * 3 + 1];
      to[x * 3 + 2] = row[x * 3];
    }
  }
  std::vector<unsigned char> jpeg;
  if (!stbi_write_jpg_to_func(&Append, &jpeg, width, height, 3, rgb.data(), kJpegQuality) ||
      jpeg.size() < kJfifUnits + 5)
    return {};
  const unsigned x = Dpi(h->biXPelsPerMeter), y = Dpi(h->biYPelsPerMeter);
  if (x && y) {
    jpeg[kJfifUnits] = 1;  // dots per inch
    jpeg[kJfifUnits + 1] = static_cast<unsigned char>(x >> 8);
    jpeg[kJfifUnits + 2] = static_cast<unsigned char>(x);
    jpeg[kJfifUnits + 3] = static_cast<unsigned char>(y >> 8);
    jpeg[kJfifUnits + 4] = static_cast<unsigned char>(y);
  }
  return jpeg;
}

#pragma once
// The table of packed-DIB layouts that make-dib-table.py writes as BMP files
// beside ImageMagick's decoding of each, and pixel comparisons against it.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tests/wizard/FixtureFiles.h"
#include "wizard/coverart/Dib.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"

namespace DibTable {

// The folder of the table, seen from a test's working folder.
inline const std::string kDir = "..\\fixtures\\dibs\\";

// The names of the layouts, each with <name>.bmp and <name>.rgb.
inline std::vector<std::string> Names() {
  std::ifstream in(kDir + "dibs.txt");
  std::vector<std::string> names;
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) names.push_back(line);
  return names;
}

inline std::vector<unsigned char> File(const std::string& name) { return ReadBytes(kDir + name); }

// The packed DIB of a table file, as a clipboard or a scanner holds it.
inline std::vector<unsigned char> PackedDib(const std::string& name) {
  std::vector<unsigned char> bmp = File(name + ".bmp");
  bmp.erase(bmp.begin(), bmp.begin() + std::min<size_t>(14, bmp.size()));
  return bmp;
}

// The picture's size in every layout.
constexpr int kWidth = 35;
constexpr int kHeight = 21;

}  // namespace DibTable

// A packed 24-bit DIB's pixels as top-down RGB, as ImageMagick writes "rgb:".
inline std::vector<unsigned char> TopDownRgb(const std::vector<unsigned char>& dib) {
  const auto& h = *reinterpret_cast<const BITMAPINFOHEADER*>(dib.data());
  const int w = h.biWidth, rows = std::abs(h.biHeight);
  const size_t stride = (size_t(w) * 3 + 3) & ~size_t(3);
  std::vector<unsigned char> rgb;
  for (int y = 0; y < rows; ++y) {
    const unsigned char* row =
        dib.data() + h.biSize + size_t(h.biHeight > 0 ? rows - 1 - y : y) * stride;
    for (int x = 0; x < w; ++x) rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
  }
  return rgb;
}

// The largest difference of two pictures' channels; 256 when their sizes differ.
inline int MaxDifference(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b) {
  if (a.size() != b.size()) return 256;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

namespace DibTable {

// The pixels ImageMagick read from a table file after the program's own JPEG
// encoding and decoding: what a cover made from that layout shows, pixel for
// pixel, when the layout was read right.
inline std::vector<unsigned char> AsCover(const std::string& name) {
  const std::vector<unsigned char> rgb = File(name + ".rgb");
  const SharedBytes dib = DibLayout::Make24(kWidth, kHeight);
  const uint32_t stride = DibLayout::Stride24(kWidth);
  for (int y = 0; y < kHeight && rgb.size() == size_t(kWidth) * kHeight * 3; ++y) {
    unsigned char* row = dib->data() + sizeof(BITMAPINFOHEADER) + (kHeight - 1 - y) * stride;
    for (int x = 0; x < kWidth; ++x)
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = rgb[(size_t(y) * kWidth + x) * 3 + 2 - c];
  }
  const SharedBytes back = DecodePictureToDib(EncodeJpeg(*dib));
  return back ? TopDownRgb(*back) : std::vector<unsigned char>();
}

}  // namespace DibTable

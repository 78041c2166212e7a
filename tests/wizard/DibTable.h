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

// Pictures coming back from JPEG quality 80 may differ by this much in a
// channel; a shifted or striped picture differs by far more.
constexpr int kJpegTolerance = 24;

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

#pragma once
// Packed 24-bit DIBs: making one and checking one.
#include <windows.h>

#include <cstdint>

#include "wizard/coverart/Picture.h"

namespace DibLayout {

constexpr uint32_t Stride24(int width) { return (uint32_t(width) * 3 + 3) & ~3u; }

// A zeroed packed bottom-up 24-bit DIB of that size.
SharedBytes Make24(int width, int height, LONG xPelsPerMeter = 0, LONG yPelsPerMeter = 0);

// The header of a packed 24-bit uncompressed DIB with a 40-byte header, no
// colour table and rows that all lie in the block; null otherwise.
const BITMAPINFOHEADER* Check24(const std::vector<unsigned char>& dib);

}  // namespace DibLayout

#pragma once
// The resolution a JPEG or PNG file states in its headers: the JFIF density
// (or, without one, the Exif resolution) of a JPEG, the pHYs chunk of a PNG.
// GIF files state none.
#include <cstdint>
#include <vector>

namespace PictureDensity {

struct Density {
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
};

// The file's density in pixels per metre; both 0 when it states none, only an
// aspect ratio, or values that do not hold up.
Density Read(const std::vector<unsigned char>& bytes, int format);

// Pixels per metre of so many per inch; 0 for values no picture has.
int32_t FromDpi(double perInch);

}  // namespace PictureDensity

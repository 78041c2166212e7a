#include "wizard/coverart/PictureDensity.h"

#include <cmath>
#include <cstring>

#include "wizard/coverart/Picture.h"

namespace PictureDensity {

namespace {

// Resolution units of the file formats.
enum class Unit { None, Inch, Centimetre, Metre };

constexpr double kMetresPerInch = 0.0254;
constexpr double kLargestPerMetre = 0x7FFFFFFF;

// Bytes read at an offset, with every read checked against the end.
class Reader {
 public:
  Reader(const unsigned char* bytes, size_t size, bool bigEndian = true)
      : bytes_(bytes), size_(size), bigEndian_(bigEndian) {}
  bool Has(size_t at, size_t count) const { return at <= size_ && count <= size_ - at; }
  uint32_t Get(size_t at, size_t count) const {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t byte = bytes_[at + i];
      value |= bigEndian_ ? byte << (8 * (count - 1 - i)) : byte << (8 * i);
    }
    return value;
  }
  bool Text(size_t at, const char* text) const {
    const size_t n = std::strlen(text) + 1;  // with its terminating zero
    return Has(at, n) && std::memcmp(bytes_ + at, text, n) == 0;
  }

 private:
  const unsigned char* bytes_;
  size_t size_;
  bool bigEndian_;
};

int32_t PerMetre(double value, Unit unit) {
  double perMetre = 0;
  switch (unit) {
    case Unit::Inch:
      perMetre = value / kMetresPerInch;
      break;
    case Unit::Centimetre:
      perMetre = value * 100;
      break;
    case Unit::Metre:
      perMetre = value;
      break;
    case Unit::None:
      return 0;
  }
  return perMetre >= 1 && perMetre <= kLargestPerMetre ? int32_t(std::lround(perMetre)) : 0;
}

Density Make(double x, double y, Unit unit) {
  Density d;
  d.xPelsPerMeter = PerMetre(x, unit);
  d.yPelsPerMeter = PerMetre(y, unit);
  if (!d.xPelsPerMeter || !d.yPelsPerMeter) d = Density();
  return d;
}

// APP0 "JFIF": version (2 bytes), units (0 aspect only, 1 per inch, 2 per
// centimetre), X and Y density (2 bytes each, big-endian).
Density FromJfif(const Reader& r, size_t at, size_t end) {
  if (!r.Text(at, "JFIF") || at + 12 > end) return {};
  const uint32_t units = r.Get(at + 7, 1);
  const Unit unit = units == 1 ? Unit::Inch : units == 2 ? Unit::Centimetre : Unit::None;
  return Make(r.Get(at + 8, 2), r.Get(at + 10, 2), unit);
}

// APP1 "Exif": a TIFF structure whose first directory may hold
// XResolution (282) and YResolution (283), rationals, and
// ResolutionUnit (296: 1 none, 2 inch, the default, 3 centimetre).
Density FromExif(const unsigned char* bytes, size_t at, size_t end) {
  const size_t tiff = at + 6;
  if (tiff + 8 > end) return {};
  const unsigned char* t = bytes + tiff;
  const bool intel = t[0] == 'I' && t[1] == 'I';
  if (!intel && !(t[0] == 'M' && t[1] == 'M')) return {};
  const Reader r(t, end - tiff, !intel);
  const uint32_t directory = r.Get(4, 4);
  if (!r.Has(directory, 2)) return {};
  const uint32_t entries = r.Get(directory, 2);
  double resolution[2] = {0, 0};
  Unit unit = Unit::Inch;
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = directory + 2 + size_t(i) * 12;
    if (!r.Has(entry, 12)) return {};
    const uint32_t tag = r.Get(entry, 2), type = r.Get(entry + 2, 2);
    if ((tag == 282 || tag == 283) && type == 5) {
      const uint32_t value = r.Get(entry + 8, 4);
      if (!r.Has(value, 8)) return {};
      const uint32_t numerator = r.Get(value, 4), denominator = r.Get(value + 4, 4);
      if (denominator) resolution[tag - 282] = double(numerator) / denominator;
    } else if (tag == 296 && type == 3) {
      const uint32_t code = r.Get(entry + 8, 2);
      unit = code == 2 ? Unit::Inch : code == 3 ? Unit::Centimetre : Unit::None;
    }
  }
  return Make(resolution[0], resolution[1], unit);
}

// Walks the segments in front of the first scan.
Density FromJpeg(const std::vector<unsigned char>& bytes) {
  const Reader r(bytes.data(), bytes.size());
  Density jfif, exif;
  size_t at = 2;  // after the start of image
  while (r.Has(at, 4) && bytes[at] == 0xFF) {
    const uint32_t marker = bytes[at + 1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) break;  // start of scan, end of image
    const size_t length = r.Get(at + 2, 2);
    if (length < 2 || !r.Has(at + 2, length)) break;
    const size_t data = at + 4, end = at + 2 + length;
    if (marker == 0xE0 && !jfif.xPelsPerMeter) jfif = FromJfif(r, data, end);
    if (marker == 0xE1 && !exif.xPelsPerMeter && r.Text(data, "Exif"))
      exif = FromExif(bytes.data(), data, end);
    at = end;
  }
  return jfif.xPelsPerMeter ? jfif : exif;
}

// Chunks after the signature: length, type, data, CRC; pHYs holds pixels per
// unit on X and Y (4 bytes each) and the unit (1: the metre, 0: aspect only).
Density FromPng(const std::vector<unsigned char>& bytes) {
  const Reader r(bytes.data(), bytes.size());
  size_t at = 8;
  while (r.Has(at, 8)) {
    const size_t length = r.Get(at, 4);
    const size_t data = at + 8;
    if (!r.Has(data, length)) break;
    const unsigned char* type = &bytes[at + 4];
    if (std::memcmp(type, "IDAT", 4) == 0) break;  // pHYs comes before the pixels
    if (std::memcmp(type, "pHYs", 4) == 0) {
      if (length < 9) break;
      return Make(r.Get(data, 4), r.Get(data + 4, 4),
                  r.Get(data + 8, 1) == 1 ? Unit::Metre : Unit::None);
    }
    at = data + length + 4;
  }
  return {};
}

}  // namespace

Density Read(const std::vector<unsigned char>& bytes, int format) {
  switch (format) {
    case FormatJpeg:
      return FromJpeg(bytes);
    case FormatPng:
      return FromPng(bytes);
    default:
      return {};
  }
}

int32_t FromDpi(double perInch) { return perInch > 0 ? PerMetre(perInch, Unit::Inch) : 0; }

}  // namespace PictureDensity

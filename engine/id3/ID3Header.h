#pragma once
#include <cstdint>

#include "engine/id3/ID3TagLib.h"

namespace ID3 {

// The 10-byte tag header and the optional extended header.
class ID3Header {
 public:
  virtual ~ID3Header() = default;

  // Reads from the stream's position. A header length of 0 afterwards means
  // that there is no usable tag.
  void Parse(ByteIStream& is);
  // The bytes before the first frame as the writer puts them.
  Bytes Render(uint32_t tagSize) const;
  uint32_t RenderedLength() const;

  bool extended = false;
  bool unsynchronised = false;
  bool hasCrc = false;
  uint16_t version = 0x0300;
  uint32_t tagSize = 0;
  uint32_t headerLength = 10;
  uint32_t paddingSize = 0;
  uint32_t crc = 0;
};

// The largest tag whose size the header's four 7-bit bytes can hold.
const uint32_t kMaxTagSize = 0x0FFFFFFF + 10;

// A read fails when the stream is no longer good after it.
inline bool ReadExact(ByteIStream& is, unsigned char* p, std::streamsize n) {
  is.read(p, n);
  return is.good();
}

inline uint32_t ReadBE32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}
inline void AppendBE32(Bytes& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<unsigned char>(v >> shift));
}

}  // namespace ID3

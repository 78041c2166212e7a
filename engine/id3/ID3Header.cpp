#include "engine/id3/ID3Header.h"

namespace ID3 {
void ID3Header::Parse(ByteIStream& is) {
  *this = ID3Header();
  headerLength = 0;
  unsigned char b[7];
  if (!ReadExact(is, b, 3) || b[0] != 'I' || b[1] != 'D' || b[2] != '3') return;
  // A header cut short is no tag at all.
  if (!ReadExact(is, b, 7)) return;
  version = static_cast<uint16_t>(b[0] * 256 + b[1]);
  unsynchronised = (b[2] & 0x80) != 0;
  extended = (b[2] & 0x40) != 0;
  // The size bytes are combined as read, without clearing their top bits.
  tagSize = (uint32_t(b[3]) << 21 | uint32_t(b[4]) << 14 | uint32_t(b[5]) << 7 | b[6]) + 10;
  if (!extended) {
    headerLength = 10;
    return;
  }
  unsigned char ext[6];
  if (!ReadExact(is, ext, 4)) return;
  const uint64_t length = uint64_t(ReadBE32(ext)) + 14;
  if (ReadExact(is, ext, 6)) {
    hasCrc = (ext[0] & 0x80) != 0;
    paddingSize = ReadBE32(ext + 2);
  }
  // An extended header that claims more than the tag leaves no room for frames.
  if (length > tagSize) return;
  headerLength = static_cast<uint32_t>(length);
}

uint32_t ID3Header::RenderedLength() const { return extended ? (hasCrc ? 24 : 20) : 10; }

Bytes ID3Header::Render(uint32_t size) const {
  const uint32_t body = size - 10;
  Bytes out = {'I',
               'D',
               '3',
               0x03,
               0x00,
               static_cast<unsigned char>((unsynchronised ? 0x80 : 0) | (extended ? 0x40 : 0)),
               static_cast<unsigned char>(body >> 21 & 0x7F),
               static_cast<unsigned char>(body >> 14 & 0x7F),
               static_cast<unsigned char>(body >> 7 & 0x7F),
               static_cast<unsigned char>(body & 0x7F)};
  if (extended) {
    AppendBE32(out, hasCrc ? 10 : 6);
    out.push_back(hasCrc ? 0x80 : 0x00);
    out.push_back(0x00);
    AppendBE32(out, paddingSize);
    if (hasCrc) AppendBE32(out, crc);
  }
  return out;
}

}  // namespace ID3

#include "engine/id3/ID3Frame.h"

#include "engine/id3/ID3Header.h"

namespace ID3 {
namespace {

bool IsIdByte(unsigned char c) { return c >= 0x30; }

}  // namespace

void ID3Frame::ReadFrom(ByteIStream& is) {
  data.clear();
  unsigned char h[4];
  if (!ReadExact(is, h, 4)) return;
  for (unsigned char c : h)
    if (!IsIdByte(c)) return;
  id.assign(h, h + 4);
  if (!ReadExact(is, h, 4)) return;
  const uint32_t size = ReadBE32(h);
  if (size > kMaxStreamFrameSize) return;
  if (!ReadExact(is, h, 2)) return;
  flags = static_cast<uint16_t>(h[0] << 8 | h[1]);
  data.resize(size);
  if (size != 0 && !ReadExact(is, data.data(), size)) data.clear();
}

std::size_t ID3Frame::ParseAt(const Bytes& frames, std::size_t o) {
  data.clear();
  if (frames.size() < kFrameHeaderSize || o > frames.size() - kFrameHeaderSize) return o;
  for (std::size_t i = 0; i < 4; ++i)
    if (!IsIdByte(frames[o + i])) return o;
  const uint32_t size = ReadBE32(&frames[o + 4]);
  // Checked in this order so that o + 10 + size cannot wrap.
  if (frames.size() < size || frames.size() - size < o + kFrameHeaderSize) return o;
  id.assign(frames.begin() + o, frames.begin() + o + 4);
  flags = static_cast<uint16_t>(frames[o + 8] << 8 | frames[o + 9]);
  data.assign(frames.begin() + o + kFrameHeaderSize, frames.begin() + o + kFrameHeaderSize + size);
  return o + kFrameHeaderSize + size;
}

}  // namespace ID3

#pragma once
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

inline Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

inline Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

inline Bytes BE32(uint32_t v) {
  return {static_cast<unsigned char>(v >> 24), static_cast<unsigned char>(v >> 16),
          static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v)};
}

// A frame as stored: id, big-endian size and flags, data.
inline Bytes Frame(const std::string& id, const Bytes& data, uint16_t flags = 0) {
  return Text(id) + BE32(static_cast<uint32_t>(data.size())) +
         Bytes{static_cast<unsigned char>(flags >> 8), static_cast<unsigned char>(flags)} + data;
}

// A tag header whose size field holds `size` (bytes after the header) in 7-bit bytes.
inline Bytes Header(uint32_t size, unsigned char flags = 0, unsigned char major = 3) {
  return {'I',
          'D',
          '3',
          major,
          0,
          flags,
          static_cast<unsigned char>(size >> 21 & 0x7F),
          static_cast<unsigned char>(size >> 14 & 0x7F),
          static_cast<unsigned char>(size >> 7 & 0x7F),
          static_cast<unsigned char>(size & 0x7F)};
}

// A whole tag of these frames padded to `size` bytes, then `audio`.
inline Bytes Tag(const Bytes& frames, uint32_t size, const Bytes& audio = {}) {
  Bytes t = Header(size - 10) + frames;
  t.resize(size, 0);
  return t + audio;
}

#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A subchannel decoder written from the Red Book rules, sharing no code with the
// recorder: it takes a raw 96-byte P-W subchannel apart and checks it.
namespace QDecoder {

inline unsigned Crc16(const unsigned char* p, std::size_t n) {
  unsigned crc = 0;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= unsigned(p[i]) << 8;
    for (int b = 0; b < 8; ++b) crc = (crc & 0x8000 ? crc << 1 ^ 0x1021 : crc << 1) & 0xFFFF;
  }
  return crc ^ 0xFFFF;  // the parity is stored inverted
}

inline bool IsBcd(unsigned char b) { return (b >> 4) <= 9 && (b & 15) <= 9; }
inline int FromBcd(unsigned char b) { return (b >> 4) * 10 + (b & 15); }

struct Sector {
  bool pUniform = true;  // P is the same in all 96 symbols
  bool p = false;
  std::array<unsigned char, 12> q{};
  bool crcOk = false;
  std::array<unsigned char, 72> rw{};  // R-W symbols joined back into bytes
  int control() const { return q[0] >> 4; }
  int adr() const { return q[0] & 15; }
  // Frames of an M:S:F at Q bytes at..at+2, -1 when not valid BCD times.
  int Frames(int at) const {
    if (!IsBcd(q[at]) || !IsBcd(q[at + 1]) || !IsBcd(q[at + 2])) return -1;
    const int m = FromBcd(q[at]), s = FromBcd(q[at + 1]), f = FromBcd(q[at + 2]);
    if (s > 59 || f > 74) return -1;
    return (m * 60 + s) * 75 + f;
  }
};

inline Sector Decode(const unsigned char* raw) {
  Sector s;
  s.p = raw[0] & 0x80;
  for (int i = 0; i < 96; ++i) {
    if (bool(raw[i] & 0x80) != s.p) s.pUniform = false;
    if (raw[i] & 0x40) s.q[i / 8] |= 0x80 >> (i % 8);
    for (int b = 0; b < 6; ++b)
      if (raw[i] >> (5 - b) & 1) s.rw[(6 * i + b) / 8] |= 0x80 >> ((6 * i + b) % 8);
  }
  const unsigned crc = Crc16(s.q.data(), 10);
  s.crcOk = s.q[10] == (crc >> 8) && s.q[11] == (crc & 0xFF);
  return s;
}

}  // namespace QDecoder

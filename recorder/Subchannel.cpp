#include "recorder/Subchannel.h"

#include <cstring>

namespace Recorder {
namespace {

// For every Q byte value, the eight raw subchannel bytes that carry its bits in
// bit 6, most significant bit first, as one little-endian word.
struct QSpreadTable {
  QSpreadTable() {
    for (unsigned b = 0; b < 256; ++b) {
      uint64_t word = 0;
      for (unsigned j = 0; j < 8; ++j)
        if (b >> (7 - j) & 1) word |= uint64_t(0x40) << (8 * j);
      words[b] = word;
    }
  }
  uint64_t words[256];
};

const QSpreadTable kQSpread;
const uint64_t kPWord = 0x8080808080808080ull;

}  // namespace

unsigned char ToBcd(unsigned value) {
  value %= 256;
  return static_cast<unsigned char>(value / 10 << 4 | value % 10);
}

Msf AbsMsf(int32_t address) {
  const uint32_t frames = static_cast<uint32_t>(address + kLbaOffset);
  return {ToBcd(frames / 4500), ToBcd(frames / 75 % 60), ToBcd(frames % 75)};
}

Msf RelMsf(int32_t count) {
  const uint32_t frames = static_cast<uint32_t>(count);
  return {ToBcd(frames / 4500), ToBcd(frames / 75 % 60), ToBcd(frames % 75)};
}

void QSubchannel::Commit() {
  crc_.reset();
  crc_.process_bytes(q_.data(), 10);
  const unsigned crc = crc_.checksum();
  q_[10] = static_cast<unsigned char>(crc >> 8);
  q_[11] = static_cast<unsigned char>(crc);
  const uint64_t p = q_[15] ? kPWord : 0;
  for (int i = 0; i < 12; ++i) {
    uint64_t word;
    std::memcpy(&word, raw_ + 8 * i, 8);
    word |= kQSpread.words[q_[i]] | p;
    std::memcpy(raw_ + 8 * i, &word, 8);
  }
}

void PackPQ(const unsigned char* raw, unsigned char* packed) {
  for (int i = 0; i < 12; ++i) {
    unsigned byte = 0;
    for (int j = 0; j < 8; ++j) byte = byte << 1 | (raw[8 * i + j] >> 6 & 1);
    packed[i] = static_cast<unsigned char>(byte);
  }
  packed[12] = packed[13] = packed[14] = 0;
  packed[15] = raw[0] & 0x80;
}

void SpreadRw(const unsigned char* unit, unsigned char* symbols) {
  for (int m = 0; m < kCdTextUnitBytes / 3; ++m) {
    const unsigned a = unit[3 * m], b = unit[3 * m + 1], c = unit[3 * m + 2];
    symbols[4 * m] = static_cast<unsigned char>(a >> 2);
    symbols[4 * m + 1] = static_cast<unsigned char>((a & 3) << 4 | b >> 4);
    symbols[4 * m + 2] = static_cast<unsigned char>((b & 15) << 2 | c >> 6);
    symbols[4 * m + 3] = static_cast<unsigned char>(c & 63);
  }
}

}  // namespace Recorder

#include "common/Sha1.h"

#include <cstring>

namespace Crypt {
namespace {

inline uint32_t Rol(uint32_t v, int bits) { return (v << bits) | (v >> (32 - bits)); }

inline uint32_t LoadBigEndian(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

}  // namespace

CSha1::CSha1() : block_(reinterpret_cast<uint32_t*>(workspace_)) { Reset(); }

CSha1::~CSha1() { Reset(); }

void CSha1::Reset() {
  state_[0] = 0x67452301;
  state_[1] = 0xEFCDAB89;
  state_[2] = 0x98BADCFE;
  state_[3] = 0x10325476;
  state_[4] = 0xC3D2E1F0;
  count_[0] = count_[1] = 0;
}

// The 80 rounds on one block; the message schedule lives in the workspace.
void CSha1::Transform(const unsigned char* data) {
  uint32_t* w = block_;
  for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(data + 4 * i);
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3], e = state_[4];

  auto next = [w](int i) {
    const uint32_t v = Rol(w[(i + 13) & 15] ^ w[(i + 8) & 15] ^ w[(i + 2) & 15] ^ w[i & 15], 1);
    w[i & 15] = v;
    return v;
  };
  auto round = [&](uint32_t f, uint32_t k, uint32_t wi) {
    const uint32_t t = Rol(a, 5) + f + e + k + wi;
    e = d;
    d = c;
    c = Rol(b, 30);
    b = a;
    a = t;
  };
  for (int i = 0; i < 16; ++i) round((b & c) | (~b & d), 0x5A827999, w[i]);
  for (int i = 16; i < 20; ++i) round((b & c) | (~b & d), 0x5A827999, next(i));
  for (int i = 20; i < 40; ++i) round(b ^ c ^ d, 0x6ED9EBA1, next(i));
  for (int i = 40; i < 60; ++i) round((b & c) | (b & d) | (c & d), 0x8F1BBCDC, next(i));
  for (int i = 60; i < 80; ++i) round(b ^ c ^ d, 0xCA62C1D6, next(i));

  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
  state_[4] += e;
}

void CSha1::Update(const unsigned char* data, std::size_t length) {
  std::size_t used = (count_[0] >> 3) & 63;
  const uint32_t bitsLow = static_cast<uint32_t>(length << 3);
  count_[0] += bitsLow;
  if (count_[0] < bitsLow) ++count_[1];
  count_[1] += static_cast<uint32_t>(static_cast<uint64_t>(length) >> 29);

  std::size_t i = 0;
  if (used + length >= 64) {
    i = 64 - used;
    std::memcpy(buffer_ + used, data, i);
    Transform(buffer_);
    for (; i + 63 < length; i += 64) Transform(data + i);
    used = 0;
  }
  if (length > i) std::memcpy(buffer_ + used, data + i, length - i);
}

void CSha1::Final() {
  unsigned char lengthBytes[8];
  for (int i = 0; i < 8; ++i)
    lengthBytes[i] = static_cast<unsigned char>(count_[i < 4 ? 1 : 0] >> ((3 - (i & 3)) * 8));
  static const unsigned char kPad80 = 0x80;
  static const unsigned char kZero = 0;
  Update(&kPad80, 1);
  while ((count_[0] & 504) != 448) Update(&kZero, 1);
  Update(lengthBytes, 8);
  for (int i = 0; i < 20; ++i)
    digest_[i] = static_cast<unsigned char>(state_[i >> 2] >> ((3 - (i & 3)) * 8));

  // Wipe what remains of the message.
  std::memset(buffer_, 0, sizeof buffer_);
  std::memset(state_, 0, sizeof state_);
  count_[0] = count_[1] = 0;
  Transform(buffer_);
}

void CSha1::CopyDigest(unsigned char* dest) const { std::memcpy(dest, digest_, sizeof digest_); }

}  // namespace Crypt

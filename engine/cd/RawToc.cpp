#include "engine/cd/RawToc.h"

namespace RawToc {
namespace {

const std::size_t kMinimumSize = 20;
const std::size_t kHeaderBytes = 4;
const std::size_t kDescriptorBytes = 8;
const unsigned kLastTrackNumber = 99;
const unsigned char kDataTrackControl = 0x04;

}  // namespace

int32_t TrackAddress(unsigned n, const Bytes& toc) {
  if (toc.size() < kMinimumSize) return 0;
  const unsigned length = toc[0] * 256u + toc[1];
  if (length < 18) return 0;
  const unsigned count = (length - 2) / 8;
  if (n == 0 || n > count) n = count;
  // A length field that promises more than the vector holds: the missing
  // descriptor reads as 0.
  const std::size_t frameByte = 8 * std::size_t(n - 1) + 11;
  if (frameByte >= toc.size()) return 0;
  const int32_t m = toc[frameByte - 2], s = toc[frameByte - 1], f = toc[frameByte];
  return m * 4500 + (s - 2) * 75 + f;
}

int32_t TrackAddressMs(unsigned n, const Bytes& toc) {
  return static_cast<int32_t>(static_cast<uint32_t>(TrackAddress(n, toc)) * 1000u / 75u);
}

int32_t TrackStartMs(unsigned n, const Bytes& toc) {
  return TrackAddressMs(n, toc) - TrackAddressMs(1, toc);
}

int32_t TrackLengthMs(unsigned n, const Bytes& toc) {
  if (n == 0) return TrackAddressMs(0, toc) - TrackAddressMs(1, toc);
  return TrackAddressMs(n + 1, toc) - TrackAddressMs(n, toc);
}

int32_t TrackStart(unsigned n, const Bytes& toc) {
  return TrackAddress(n, toc) - TrackAddress(1, toc);
}

int32_t TrackLength(unsigned n, const Bytes& toc) {
  if (n == 0) return TrackAddress(0, toc) - TrackAddress(1, toc);
  return TrackAddress(n + 1, toc) - TrackAddress(n, toc);
}

int32_t TrackCount(const Bytes& toc) { return toc.size() < kMinimumSize ? 0 : toc[3] + 1 - toc[2]; }

std::size_t UsableLength(const unsigned char* toc, std::size_t size) {
  if (!toc || size < kMinimumSize) return 0;
  const std::size_t length = std::size_t(toc[0]) << 8 | toc[1];
  const unsigned first = toc[2], last = toc[3];
  const std::size_t kept = length + 2;
  if (kept < kMinimumSize || kept > size || (kept - kHeaderBytes) % kDescriptorBytes != 0 ||
      first < 1 || last < first || last > kLastTrackNumber ||
      (kept - kHeaderBytes) / kDescriptorBytes != last - first + 2)
    return 0;
  return kept;
}

bool Usable(const Bytes& toc) { return UsableLength(toc.data(), toc.size()) != 0; }

int32_t FirstTrack(const Bytes& toc) { return toc.size() < kMinimumSize ? 0 : toc[2]; }

int32_t LastTrack(const Bytes& toc) { return toc.size() < kMinimumSize ? 0 : toc[3]; }

bool IsDataTrack(unsigned n, const Bytes& toc) {
  const std::size_t control = kHeaderBytes + kDescriptorBytes * (std::size_t(n) - 1) + 1;
  return n >= 1 && control < toc.size() && (toc[control] & kDataTrackControl) != 0;
}

}  // namespace RawToc

#pragma once
#include <cstdint>
#include <vector>

// The drive's READ TOC reply (format 0, MSF addresses), header included, taken
// apart. Entries count from 1 in disc order; 0 or any index past the end is the
// lead-out. An unusable TOC gives 0, and nothing is ever read past the vector.
namespace RawToc {
using Bytes = std::vector<unsigned char>;

int32_t TrackAddress(unsigned n, const Bytes& toc);
int32_t TrackAddressMs(unsigned n, const Bytes& toc);
int32_t TrackStartMs(unsigned n, const Bytes& toc);
int32_t TrackLengthMs(unsigned n, const Bytes& toc);
int32_t TrackStart(unsigned n, const Bytes& toc);
int32_t TrackLength(unsigned n, const Bytes& toc);
int32_t TrackCount(const Bytes& toc);
int32_t FirstTrack(const Bytes& toc);
int32_t LastTrack(const Bytes& toc);
}  // namespace RawToc

#pragma once
#include <cstddef>
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
// Whether entry n's CONTROL field marks a data track; false past the vector.
bool IsDataTrack(unsigned n, const Bytes& toc);

// The one rule for a TOC the program works with, whether a drive returned it
// or a backup file stored it: at least one track and the lead-out, whole
// descriptors, as many of them as the track numbers 1..99 say, and all of them
// within the `size` bytes at hand. Gives the TOC's own length (its length
// field + 2), or 0 when the bytes are no usable TOC.
std::size_t UsableLength(const unsigned char* toc, std::size_t size);
bool Usable(const Bytes& toc);
}  // namespace RawToc

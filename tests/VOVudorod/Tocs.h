#pragma once
#include <vector>

// Raw TOCs as a drive answers READ TOC (format 0, MSF): header, one descriptor
// per track, the lead-out last.
namespace Tocs {

struct Msf {
  unsigned char m, s, f;
};

// Tracks 1..n at the given addresses, then the lead-out; control 0x10 (audio).
inline std::vector<unsigned char> Make(const std::vector<Msf>& tracks, Msf leadOut) {
  const unsigned n = static_cast<unsigned>(tracks.size());
  const unsigned length = n * 8 + 10;
  std::vector<unsigned char> toc = {static_cast<unsigned char>(length >> 8),
                                    static_cast<unsigned char>(length), 1,
                                    static_cast<unsigned char>(n)};
  for (unsigned i = 0; i <= n; ++i) {
    const Msf a = i < n ? tracks[i] : leadOut;
    const unsigned char number = i < n ? static_cast<unsigned char>(i + 1) : 0xAA;
    toc.resize(toc.size() + 8);
    unsigned char* d = &toc[toc.size() - 8];
    d[1] = 0x10;
    d[2] = number;
    d[5] = a.m;
    d[6] = a.s;
    d[7] = a.f;
  }
  return toc;
}

// The two-track disc with tracks at 0:02:00 and 3:00:00 and the lead-out at 5:30:00.
inline std::vector<unsigned char> TwoTracks() { return Make({{0, 2, 0}, {3, 0, 0}}, {5, 30, 0}); }

}  // namespace Tocs

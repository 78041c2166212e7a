#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The plug-ins' records of a disc: shared by the session core, the local disc
// cache and the online client.
namespace DbCore {

using TocHash = std::array<unsigned char, 20>;  // SHA-1 of the raw TOC

// One descriptor of the raw TOC: a track, or the lead-out as the last entry.
struct TocEntry {
  unsigned char control = 0;  // ADR in the high nibble, CONTROL in the low one
  unsigned char track = 0;    // 1, 2, ... in disc order; kLeadOut for the lead-out
  unsigned char minute = 0;   // absolute MSF address, lead-in included
  unsigned char second = 0;
  unsigned char frame = 0;
};
const unsigned char kLeadOut = 0xAA;

// Texts of one entry: entry 0 is the disc, entries 1..n its tracks.
struct TrackRecord {
  std::wstring artist;
  std::wstring title;
  std::wstring genre;
  std::wstring extended;
  int32_t year = 0;  // 0: unknown
};

// Texts of one disc as the cache stores them and the online client reads them.
struct DiscRecord {
  std::wstring source;  // server that delivered the texts, or plug-in that stored them
  std::wstring category;
  uint32_t discId = 0;
  int32_t revision = 0;  // -1: the entry gave none
  TocHash tocHash{};
  std::vector<TrackRecord> entries;
};

// One candidate of a query.
struct MatchRecord {
  std::wstring title;
  std::wstring artist;
  std::wstring category;
  uint32_t discId = 0;
  int32_t marker = 0;
};

}  // namespace DbCore

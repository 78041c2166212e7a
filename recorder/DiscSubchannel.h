#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "engine/cd/RawToc.h"
#include "recorder/Subchannel.h"

namespace Recorder {

// Decides where the index-0 pregap before the track after `track` begins, while
// the sector at `lba` of `track` is being made: that start (never before lba + 1),
// or -1 while it cannot be decided yet.
class PregapFinder {
 public:
  virtual int32_t FindPregapStart(int32_t lba, unsigned track) = 0;

 protected:
  ~PregapFinder() = default;
};

// The subchannel of every sector of one disc, from the lead-in to the end of
// the lead-out, with the track state that the Q channel follows. Sectors are
// asked for one after the other: the lead-in's TOC cycle, its CD-Text unit and
// the track state advance with each call, not with the address.
class DiscSubchannel {
 public:
  enum class Area { LeadIn, Pregap, Program, LeadOut, PastEnd };
  static const int32_t kLeadOutSectors = 6750;
  static const int32_t kLeadInRunningBase = 450000;  // LBA -22650 reads 95:00:00

  // Throws std::invalid_argument for a TOC it cannot follow or CD-Text lead-in
  // data that is not a whole number of 72-byte units.
  DiscSubchannel(const RawToc::Bytes& toc, const std::vector<unsigned char>& cdText);

  Area AreaOf(int32_t lba) const;
  unsigned TrackCount() const { return trackCount_; }
  // Start of track n (1..N); N + 1 is the lead-out.
  int32_t TrackStart(unsigned n) const { return starts_[n]; }
  int32_t LeadOutStart() const { return starts_[trackCount_ + 1]; }
  int32_t EndLba() const { return LeadOutStart() + kLeadOutSectors; }
  // 0 while in the pregap of track 1, 0xAA in the lead-out.
  unsigned CurrentTrack() const { return current_; }

  // Each fills the 96 raw bytes of the sector at lba, which lies in its area.
  void LeadIn(int32_t lba, unsigned char* raw);
  void Pregap(int32_t lba, unsigned char* raw);
  void Program(int32_t lba, PregapFinder& finder, unsigned char* raw);
  void LeadOut(int32_t lba, unsigned char* raw);
  // A sector that cannot be given: CONTROL and absolute time only.
  void Unreadable(int32_t lba, unsigned char* raw);

 private:
  struct LeadInEntry {
    unsigned char control;
    unsigned char point;
    Msf time;
  };

  unsigned char CurrentControl() const;
  void Advance();

  SubchannelCrc crc_;
  unsigned trackCount_ = 0;
  std::array<int32_t, 101> starts_{};          // 1..N tracks, N + 1 lead-out
  std::array<unsigned char, 101> controls_{};  // by descriptor, N + 1 the lead-out's
  std::vector<LeadInEntry> leadIn_;
  unsigned leadInCounter_ = 0;
  std::vector<std::array<unsigned char, kRawSubBytes>> rwUnits_;
  std::size_t rwUnit_ = 0;
  int32_t pregapStart_ = -kLbaOffset;
  unsigned current_ = 1;
  bool inPregap_ = true;
};

}  // namespace Recorder

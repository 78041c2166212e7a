#pragma once
#include <array>
#include <cstdint>

#include <boost/crc.hpp>

// The raw sector of a disc written in raw disc-at-once mode: 2352 main-channel
// bytes followed by the subchannel, either 96 raw P-W bytes (one symbol a byte:
// P in bit 7, Q in bit 6, R..W in bits 5..0) or 16 packed P-Q bytes.
namespace Recorder {

const int kMainBytes = 2352;
const int kRawSubBytes = 96;
const int kPackedSubBytes = 16;
const int kCdTextUnitBytes = 72;  // four CD-Text packs, the R-W load of one sector
const int32_t kFramesPerSecond = 75;
const int32_t kLbaOffset = 150;  // LBA 0 is absolute time 00:02:00

// CRC-16 of the Q channel and of the CD-Text packs: x^16 + x^12 + x^5 + 1,
// initial 0, parity stored inverted.
using SubchannelCrc = boost::crc_optimal<16, 0x1021, 0, 0xFFFF, false, false>;

// Three BCD bytes: minutes, seconds, frames.
using Msf = std::array<unsigned char, 3>;

unsigned char ToBcd(unsigned value);
// Absolute time of a sector address (the address plus 150, taken unsigned).
Msf AbsMsf(int32_t address);
// Relative time of a sector count.
Msf RelMsf(int32_t count);

// The Q record of one sector under construction, bound to the sector's 96 raw
// subchannel bytes. Commit adds the CRC and ORs P and Q into the raw bytes,
// leaving the R-W bits as they are.
class QSubchannel {
 public:
  enum : unsigned char { kAdrPosition = 1, kLeadOutTrack = 0xAA };

  QSubchannel(unsigned char* raw, SubchannelCrc& crc) : raw_(raw), crc_(crc) {}

  void SetControl(unsigned char control) { q_[0] = (control & 0x0F) << 4 | kAdrPosition; }
  void SetTrack(unsigned char tno) { q_[1] = tno; }
  void SetIndex(unsigned char index) { q_[2] = index; }
  void SetRelative(const Msf& t) { Put(3, t); }
  void SetAbsolute(const Msf& t) { Put(7, t); }
  void SetP(bool on) { q_[15] = on ? 0x80 : 0; }

  void Commit();

 private:
  void Put(int at, const Msf& t) {
    q_[at] = t[0];
    q_[at + 1] = t[1];
    q_[at + 2] = t[2];
  }

  unsigned char* raw_;
  SubchannelCrc& crc_;
  std::array<unsigned char, 16> q_{};
};

// The packed P-Q form of a raw subchannel: the Q record, three zero bytes and P.
void PackPQ(const unsigned char* raw, unsigned char* packed);

// Cuts one 72-byte CD-Text unit into the 96 six-bit R-W symbols, most
// significant bit first.
void SpreadRw(const unsigned char* unit, unsigned char* symbols);

}  // namespace Recorder

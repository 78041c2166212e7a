#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "recorder/Subchannel.h"

using namespace Recorder;
using Bytes = std::vector<unsigned char>;

namespace {

// Q bit i of a raw subchannel, read straight from bit 6 of byte i.
Bytes QFromRaw(const Bytes& raw) {
  Bytes q(12);
  for (int i = 0; i < 96; ++i) q[i / 8] |= (raw[i] >> 6 & 1) << (7 - i % 8);
  return q;
}

}  // namespace

TEST(Bcd, TimesOfAddressesAndCounts) {
  EXPECT_EQ(ToBcd(0), 0x00);
  EXPECT_EQ(ToBcd(9), 0x09);
  EXPECT_EQ(ToBcd(59), 0x59);
  EXPECT_EQ(ToBcd(99), 0x99);
  EXPECT_EQ(ToBcd(256 + 42), 0x42);
  EXPECT_EQ(AbsMsf(-150), (Msf{0x00, 0x00, 0x00}));
  EXPECT_EQ(AbsMsf(0), (Msf{0x00, 0x02, 0x00}));
  EXPECT_EQ(AbsMsf(60000), (Msf{0x13, 0x22, 0x00}));
  EXPECT_EQ(AbsMsf(-22650 + 450000), (Msf{0x95, 0x00, 0x00}));
  EXPECT_EQ(AbsMsf(-151 + 450000), (Msf{0x99, 0x59, 0x74}));
  EXPECT_EQ(RelMsf(0), (Msf{0x00, 0x00, 0x00}));
  EXPECT_EQ(RelMsf(74), (Msf{0x00, 0x00, 0x74}));
  EXPECT_EQ(RelMsf(4500 + 75 * 59 + 1), (Msf{0x01, 0x59, 0x01}));
}

// Q records of known sectors, checked with an independent CRC implementation.
TEST(QSubchannel, KnownRecordsAndRawLayout) {
  struct Row {
    unsigned char control, tno, index;
    int32_t rel, abs;
    bool p;
    std::array<unsigned char, 12> q;
  };
  const Row rows[] = {
      // pregap of track 1 at LBA -150, track 1 at 0
      {0,
       0x01,
       0x00,
       150,
       -150,
       true,
       {0x01, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0xD9}},
      // first sector of track 1
      {0,
       0x01,
       0x01,
       0,
       0,
       true,
       {0x01, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00, 0x5A, 0x28}},
      // first lead-out sector at 60000
      {0,
       0xAA,
       0x01,
       0,
       60000,
       true,
       {0x01, 0xAA, 0x01, 0x00, 0x00, 0x00, 0x00, 0x13, 0x22, 0x00, 0x5A, 0x08}},
  };
  SubchannelCrc crc;
  for (const Row& r : rows) {
    Bytes raw(96, 0x15);  // R-W bits must survive
    QSubchannel q(raw.data(), crc);
    q.SetControl(r.control);
    q.SetTrack(r.tno);
    q.SetIndex(r.index);
    q.SetRelative(RelMsf(r.rel));
    q.SetAbsolute(AbsMsf(r.abs));
    q.SetP(r.p);
    q.Commit();
    const Bytes expected(r.q.begin(), r.q.end());
    EXPECT_EQ(QFromRaw(raw), expected);
    for (unsigned char b : raw) {
      EXPECT_EQ(b & 0x3F, 0x15);
      EXPECT_EQ(b & 0x80, r.p ? 0x80 : 0);
    }
    Bytes packed(16, 0xEE);
    PackPQ(raw.data(), packed.data());
    EXPECT_EQ(Bytes(packed.begin(), packed.begin() + 12), expected);
    EXPECT_EQ(Bytes(packed.begin() + 12, packed.end()),
              (Bytes{0, 0, 0, Bytes::value_type(r.p ? 0x80 : 0)}));
  }
  // The lead-out example's first raw bytes: P everywhere, Q bits of 0x01 0xAA.
  Bytes raw(96, 0);
  QSubchannel q(raw.data(), crc);
  q.SetControl(0);
  q.SetTrack(0xAA);
  q.SetIndex(1);
  q.SetAbsolute(AbsMsf(60000));
  q.SetP(true);
  q.Commit();
  EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 16),
            (Bytes{0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0xC0, 0xC0, 0x80, 0xC0, 0x80, 0xC0,
                   0x80, 0xC0, 0x80}));
}

TEST(QSubchannel, CrcOfZeroRecordIsAllOnesAndControlGoesHigh) {
  SubchannelCrc crc;
  const unsigned char zeros[10] = {};
  crc.process_bytes(zeros, 10);
  EXPECT_EQ(crc.checksum(), 0xFFFF);
  for (unsigned char control : {0x1, 0x2, 0x8}) {
    Bytes r(96, 0);
    QSubchannel qq(r.data(), crc);
    qq.SetControl(control);
    qq.Commit();
    EXPECT_EQ(QFromRaw(r)[0], control << 4 | 1);
  }
}

TEST(RwSymbols, SixBitsEachMostSignificantFirst) {
  Bytes unit(72);
  for (int i = 0; i < 72; ++i) unit[i] = static_cast<unsigned char>(i * 37 + 11);
  Bytes symbols(96, 0xFF);
  SpreadRw(unit.data(), symbols.data());
  // Read the 576 bits back symbol by symbol.
  Bytes back(72, 0);
  for (int bit = 0; bit < 576; ++bit) {
    EXPECT_EQ(symbols[bit / 6] & 0xC0, 0);
    if (symbols[bit / 6] >> (5 - bit % 6) & 1) back[bit / 8] |= 1 << (7 - bit % 8);
  }
  EXPECT_EQ(back, unit);
}

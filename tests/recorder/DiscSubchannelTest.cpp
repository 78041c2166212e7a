#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "recorder/DiscSubchannel.h"
#include "tests/recorder/QDecoder.h"

using namespace Recorder;
using Bytes = std::vector<unsigned char>;

namespace {

// A disc as the tests describe it: track starts (then the lead-out), where each
// track's index-0 pregap begins (its start when it has none), CONTROL per TOC
// descriptor (tracks, then the lead-out).
struct Disc {
  const char* name;
  std::vector<int> starts;
  std::vector<int> pregaps;  // entry t: track t + 1; entry 0 unused
  std::vector<unsigned char> controls;
  bool decides = true;  // false: the pregap search never decides
  int firstNumber = 1;  // the TOC's number of its first track
  int tracks() const { return int(starts.size()) - 1; }
};

Bytes MakeToc(const Disc& d) {
  const int n = d.tracks();
  const int length = 8 * (n + 1) + 2;
  Bytes toc = {Bytes::value_type(length >> 8), Bytes::value_type(length & 0xFF),
               Bytes::value_type(d.firstNumber), Bytes::value_type(d.firstNumber + n - 1)};
  for (int i = 0; i <= n; ++i) {
    const int frames = d.starts[i] + 150;
    const int number = i == n ? 0xAA : d.firstNumber + i;
    for (int b :
         {0, 0x10 | d.controls[i], number, 0, 0, frames / 4500, frames / 75 % 60, frames % 75})
      toc.push_back(Bytes::value_type(b));
  }
  return toc;
}

Disc Even(const char* name, int tracks, int length, int first, int pregapEvery, int pregap) {
  Disc d{name, {}, {0}, {}};
  for (int t = 0; t <= tracks; ++t) {
    d.starts.push_back(first + t * length);
    d.controls.push_back(Bytes::value_type(t % 3 == 0 ? 0 : t % 3 == 1 ? 2 : 1));
  }
  for (int t = 2; t <= tracks; ++t)
    d.pregaps.push_back(d.starts[t - 1] - (t % pregapEvery == 0 ? pregap : 0));
  return d;
}

// Scripted pregap search: undecided until the sector source's look-ahead
// reaches the next track, then the disc's pregap start.
class ScriptedFinder : public PregapFinder {
 public:
  explicit ScriptedFinder(const Disc& d) : disc_(d) {}
  int32_t FindPregapStart(int32_t lba, unsigned track) override {
    EXPECT_GE(track, 1u);
    EXPECT_LT(int(track), disc_.tracks());
    EXPECT_GE(lba, disc_.starts[track - 1]);
    EXPECT_LE(lba, disc_.starts[track]);
    if (!disc_.decides || lba + 200 < disc_.starts[track]) return -1;
    return disc_.pregaps[track];
  }

 private:
  const Disc& disc_;
};

int Bcd(int v) { return v / 10 << 4 | v % 10; }

struct Expected {
  int control, tno, index, rel;  // rel: frames of Q bytes 3..5
  int abs;                       // frames of Q bytes 7..9
  bool p;
};

// What the Red Book asks of sector x (program area, pregaps, lead-out), with
// the CONTROL of the track before in an index-0 pregap and a track's first
// sector.
Expected ExpectedAt(const Disc& d, int x) {
  const int n = d.tracks(), t1 = d.starts[0], leadOut = d.starts[n];
  if (x < t1) return {d.controls[0], 1, 0, t1 - x, x + 150, true};
  if (x >= leadOut) {
    const int k = x - leadOut;
    const int control = k == 0 ? d.controls[n - 1] : d.controls[n];
    const bool p = k < 150 || (k >= 300 && k % 75 % 37 < 18);
    return {control, 0xAA, 1, k, x + 150, p};
  }
  int t = 1;
  while (t < n && d.starts[t] <= x) ++t;
  const int start = d.starts[t - 1], next = d.starts[t];
  if (t < n && x >= d.pregaps[t])
    return {d.controls[t - 1], Bcd(t + 1), 0, next - x, x + 150, true};
  // A track's first sector still belongs to the track before for CONTROL and P.
  if (x == start) return {d.controls[t > 1 ? t - 2 : 0], Bcd(t), 1, 0, x + 150, true};
  return {d.controls[t - 1], Bcd(t), 1, x - start, x + 150, x + 150 >= next};
}

std::string Hex(const QDecoder::Sector& s) {
  std::ostringstream o;
  o << std::hex;
  for (unsigned char b : s.q) o << ' ' << int(b);
  return o.str();
}

// Checks one sector of the disc against the rules; "" when it is right.
std::string Check(const Disc& d, const Bytes& toc, const Bytes& cdText, int x, int leadInIndex,
                  const unsigned char* raw) {
  const QDecoder::Sector s = QDecoder::Decode(raw);
  std::ostringstream why;
  if (!s.crcOk) why << " CRC";
  if (!s.pUniform) why << " P differs between symbols";
  if (s.adr() != 1) why << " ADR";
  if (s.q[6] != 0) why << " ZERO";
  const bool rwZero = s.rw == std::array<unsigned char, 72>{};
  if (x < -150) {
    const int n = d.tracks(), e = leadInIndex % (3 * n + 9) / 3;
    if (s.p) why << " P";
    if (s.q[1] != 0) why << " TNO";
    if (s.Frames(3) != x + 450150) why << " running time";
    int control, point;
    std::array<int, 3> pmsf{};
    if (e < n) {
      const unsigned char* desc = &toc[4 + 8 * e];
      control = desc[1] & 15;
      point = Bcd(e + 1);
      pmsf = {Bcd(desc[5]), Bcd(desc[6]), Bcd(desc[7])};
    } else {
      control = toc[4 + 8 * n + 1] & 15;
      point = 0xA0 + (e - n);
      // The burned disc is numbered 1..N whatever its TOC's first number.
      if (e == n) pmsf = {Bcd(1), 0, 0};
      if (e == n + 1) pmsf = {Bcd(n), 0, 0};
      if (e == n + 2)
        pmsf = {Bcd(toc[4 + 8 * n + 5]), Bcd(toc[4 + 8 * n + 6]), Bcd(toc[4 + 8 * n + 7])};
    }
    if (s.control() != control) why << " CONTROL";
    if (s.q[2] != point) why << " POINT";
    if (s.q[7] != pmsf[0] || s.q[8] != pmsf[1] || s.q[9] != pmsf[2]) why << " PMSF";
    if (cdText.empty()) {
      if (!rwZero) why << " R-W";
    } else {
      const std::size_t units = cdText.size() / 72, u = leadInIndex % units;
      if (!std::equal(s.rw.begin(), s.rw.end(), cdText.begin() + 72 * u)) why << " CD-Text unit";
    }
  } else {
    const Expected e = ExpectedAt(d, x);
    if (!rwZero) why << " R-W";
    if (s.control() != e.control) why << " CONTROL";
    if (s.q[1] != e.tno) why << " TNO";
    if (s.q[2] != e.index) why << " INDEX";
    if (s.Frames(3) != e.rel) why << " relative time";
    if (s.Frames(7) != e.abs) why << " absolute time";
    if (s.p != e.p) why << " P";
  }
  if (why.str().empty()) return "";
  return "LBA " + std::to_string(x) + ":" + why.str() + " in Q" + Hex(s);
}

// Makes every sector of the disc from the lead-in start to its end and checks it.
void RunDisc(const Disc& d, const Bytes& cdText) {
  SCOPED_TRACE(d.name);
  const Bytes toc = MakeToc(d);
  DiscSubchannel sub(toc, cdText);
  ScriptedFinder finder(d);
  const int leadOut = d.starts.back();
  ASSERT_EQ(sub.TrackCount(), unsigned(d.tracks()));
  ASSERT_EQ(sub.EndLba(), leadOut + 6750);
  Bytes raw(96);
  int bad = 0, leadInIndex = 0;
  for (int x = -22650; x < sub.EndLba(); ++x) {
    switch (sub.AreaOf(x)) {
      case DiscSubchannel::Area::LeadIn:
        sub.LeadIn(x, raw.data());
        break;
      case DiscSubchannel::Area::Pregap:
        sub.Pregap(x, raw.data());
        break;
      case DiscSubchannel::Area::Program:
        sub.Program(x, finder, raw.data());
        break;
      case DiscSubchannel::Area::LeadOut:
        sub.LeadOut(x, raw.data());
        break;
      case DiscSubchannel::Area::PastEnd:
        FAIL() << "past the end at " << x;
    }
    const std::string why = Check(d, toc, cdText, x, leadInIndex, raw.data());
    if (x < -150) ++leadInIndex;
    if (!why.empty() && ++bad <= 5) ADD_FAILURE() << why;
  }
  EXPECT_EQ(bad, 0);
  EXPECT_EQ(sub.AreaOf(sub.EndLba()), DiscSubchannel::Area::PastEnd);
  EXPECT_EQ(sub.CurrentTrack(), 0xAAu);
}

Bytes SomeCdText(std::size_t units) {
  Bytes b(72 * units);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = Bytes::value_type(i * 131 + 7);
  return b;
}

}  // namespace

TEST(DiscSubchannel, OneTrack) { RunDisc({"one track", {0, 1000}, {0}, {0, 0}}, SomeCdText(2)); }

TEST(DiscSubchannel, ManyTracksWithPregapsAndMixedControl) {
  Disc d = Even("twelve tracks", 12, 400, 0, 2, 31);
  d.pregaps[5] = d.starts[5] - 145;  // track 6 gets a long pause
  d.pregaps[7] = d.starts[7] - 1;    // track 8 a pause of one sector
  RunDisc(d, SomeCdText(5));
}

TEST(DiscSubchannel, NinetyNineTracks) { RunDisc(Even("99 tracks", 99, 300, 0, 3, 70), {}); }

TEST(DiscSubchannel, FirstTrackStartsLate) {
  RunDisc(Even("track 1 at 00:02:33", 3, 1000, 33, 2, 31), SomeCdText(1));
}

TEST(DiscSubchannel, DiscsNumberedFromALaterTrackAreBurnedFromOne) {
  Disc fromThree = Even("numbered from track 3", 3, 500, 0, 2, 20);
  fromThree.firstNumber = 3;
  RunDisc(fromThree, SomeCdText(2));
  Disc only99 = Even("only track 99", 1, 400, 0, 2, 0);
  only99.firstNumber = 99;
  RunDisc(only99, {});
}

TEST(DiscSubchannel, UndecidedPregapSearchStillFollowsTheTracks) {
  Disc d = Even("no decision", 4, 500, 0, 1, 0);
  d.decides = false;
  RunDisc(d, {});
}

TEST(DiscSubchannel, RejectsWhatItCannotFollow) {
  const Bytes good = MakeToc({"", {0, 1000, 2000}, {0, 1000}, {0, 0, 0}});
  DiscSubchannel ok(good, {});
  EXPECT_EQ(ok.TrackStart(2), 1000);
  EXPECT_EQ(ok.LeadOutStart(), 2000);

  Bytes shortToc(good.begin(), good.begin() + 19);
  Bytes lengthTooSmall = good;
  lengthTooSmall[1] -= 8;
  Bytes backwards = MakeToc({"", {0, 1000, 900}, {0, 900}, {0, 0, 0}});
  Bytes pastTheEnd = MakeToc({"", {0, 443200}, {0}, {0, 0}});
  Bytes noTracks = good;
  noTracks[3] = 0;
  Disc hundred = Even("", 100, 300, 0, 2, 0);
  for (const Bytes& toc :
       {shortToc, lengthTooSmall, backwards, pastTheEnd, noTracks, MakeToc(hundred)})
    EXPECT_THROW(DiscSubchannel(toc, {}), std::invalid_argument);
  EXPECT_THROW(DiscSubchannel(good, Bytes(100)), std::invalid_argument);
  EXPECT_NO_THROW(DiscSubchannel(MakeToc({"", {0, 443100}, {0}, {0, 0}}), Bytes(144)));
}

#include "recorder/DiscSubchannel.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace Recorder {
namespace {

const unsigned char kPointFirstTrack = 0xA0;
const unsigned char kPointLastTrack = 0xA1;
const unsigned char kPointLeadOut = 0xA2;
const unsigned kMaxTracks = 99;
const int32_t kLastAddress = 100 * 4500 - kLbaOffset;  // 100:00:00, not on a CD

}  // namespace

DiscSubchannel::DiscSubchannel(const RawToc::Bytes& toc, const std::vector<unsigned char>& cdText) {
  const int32_t count = RawToc::TrackCount(toc);
  if (count < 1 || count > int32_t(kMaxTracks))
    throw std::invalid_argument("invalid table of contents");
  trackCount_ = static_cast<unsigned>(count);
  const std::size_t descriptors = trackCount_ + 1;
  if (toc.size() < 4 + 8 * descriptors || (toc[0] * 256u + toc[1] - 2) / 8 != descriptors)
    throw std::invalid_argument("invalid table of contents");
  for (unsigned n = 1; n <= descriptors; ++n) {
    starts_[n] = RawToc::TrackAddress(n, toc);
    controls_[n] = toc[4 + 8 * (n - 1) + 1] & 0x0F;
    if (n > 1 && starts_[n] <= starts_[n - 1])
      throw std::invalid_argument("invalid table of contents");
  }
  if (EndLba() > kLastAddress) throw std::invalid_argument("invalid table of contents");

  for (unsigned n = 1; n <= trackCount_; ++n)
    leadIn_.push_back({controls_[n], ToBcd(n), AbsMsf(starts_[n])});
  // The disc is burned numbered 1..N whatever number its first track had, as
  // its cue sheet and its CD-Text number it.
  const unsigned char leadOutControl = controls_[descriptors];
  leadIn_.push_back({leadOutControl, kPointFirstTrack, {ToBcd(1), 0, 0}});
  leadIn_.push_back({leadOutControl, kPointLastTrack, {ToBcd(trackCount_), 0, 0}});
  leadIn_.push_back({leadOutControl, kPointLeadOut, AbsMsf(LeadOutStart())});

  if (cdText.size() % kCdTextUnitBytes != 0) throw std::invalid_argument("invalid CD-Text data");
  rwUnits_.resize(cdText.size() / kCdTextUnitBytes);
  for (std::size_t u = 0; u < rwUnits_.size(); ++u)
    SpreadRw(cdText.data() + u * kCdTextUnitBytes, rwUnits_[u].data());
}

DiscSubchannel::Area DiscSubchannel::AreaOf(int32_t lba) const {
  if (lba < -kLbaOffset) return Area::LeadIn;
  if (lba < starts_[1]) return Area::Pregap;
  if (lba < LeadOutStart()) return Area::Program;
  if (lba < EndLba()) return Area::LeadOut;
  return Area::PastEnd;
}

unsigned char DiscSubchannel::CurrentControl() const {
  if (current_ == 0) return controls_[1];
  if (current_ > trackCount_) return controls_[trackCount_ + 1];
  return controls_[current_];
}

void DiscSubchannel::Advance() {
  ++current_;
  pregapStart_ = -1;
  inPregap_ = false;
}

void DiscSubchannel::LeadIn(int32_t lba, unsigned char* raw) {
  if (rwUnits_.empty()) {
    std::memset(raw, 0, kRawSubBytes);
  } else {
    std::memcpy(raw, rwUnits_[rwUnit_].data(), kRawSubBytes);
    rwUnit_ = (rwUnit_ + 1) % rwUnits_.size();
  }
  const LeadInEntry& entry = leadIn_[leadInCounter_ / 3];
  leadInCounter_ = (leadInCounter_ + 1) % (3 * leadIn_.size());
  QSubchannel q(raw, crc_);
  q.SetControl(entry.control);
  q.SetIndex(entry.point);
  q.SetRelative(AbsMsf(lba + kLeadInRunningBase));
  q.SetAbsolute(entry.time);
  q.Commit();
}

void DiscSubchannel::Pregap(int32_t lba, unsigned char* raw) {
  std::memset(raw, 0, kRawSubBytes);
  QSubchannel q(raw, crc_);
  q.SetControl(CurrentControl());
  inPregap_ = true;
  current_ = 0;
  q.SetTrack(ToBcd(1));
  q.SetRelative(RelMsf(starts_[1] - lba));
  q.SetAbsolute(AbsMsf(lba));
  q.SetP(true);
  q.Commit();
}

void DiscSubchannel::Program(int32_t lba, PregapFinder& finder, unsigned char* raw) {
  std::memset(raw, 0, kRawSubBytes);
  QSubchannel q(raw, crc_);
  q.SetControl(CurrentControl());
  q.SetAbsolute(AbsMsf(lba));
  const unsigned current = std::min(current_, trackCount_);
  const bool last = current == trackCount_;
  const int32_t next = starts_[current + 1];
  q.SetP(lba + kLbaOffset >= next);
  if (!last) {
    if (pregapStart_ == -1) pregapStart_ = finder.FindPregapStart(lba, current);
    // Still undecided when the track begins: it has no index-0 pregap.
    if (pregapStart_ == -1 && lba >= next) pregapStart_ = next;
    if (pregapStart_ != -1 && lba >= pregapStart_) {
      if (lba >= next)
        Advance();
      else
        inPregap_ = true;
    }
  }
  if (inPregap_) {
    q.SetTrack(ToBcd(current_ + 1));
    q.SetRelative(RelMsf(next - lba));
    q.SetP(true);
    if (lba >= next) Advance();
    q.SetIndex(inPregap_ ? 0 : 1);
  } else {
    q.SetTrack(ToBcd(current_));
    q.SetIndex(1);
    q.SetRelative(RelMsf(lba - starts_[std::min(current_, trackCount_)]));
  }
  q.Commit();
}

void DiscSubchannel::LeadOut(int32_t lba, unsigned char* raw) {
  std::memset(raw, 0, kRawSubBytes);
  QSubchannel q(raw, crc_);
  q.SetControl(CurrentControl());
  current_ = QSubchannel::kLeadOutTrack;
  const int32_t n = lba - LeadOutStart();
  q.SetTrack(QSubchannel::kLeadOutTrack);
  q.SetIndex(1);
  q.SetRelative(RelMsf(n));
  q.SetAbsolute(AbsMsf(lba));
  q.SetP(n < 150 || (n >= 300 && n % 75 % 37 < 18));
  q.Commit();
}

void DiscSubchannel::Unreadable(int32_t lba, unsigned char* raw) {
  std::memset(raw, 0, kRawSubBytes);
  QSubchannel q(raw, crc_);
  q.SetControl(CurrentControl());
  q.SetAbsolute(AbsMsf(lba));
  q.Commit();
}

}  // namespace Recorder

#include "engine/mp3/MP3Seeker.h"

#include <array>

namespace MP3 {
namespace {

const std::size_t kIndexStep = 16384;
const std::streamoff kWindowBefore = 64;
const std::streamsize kWindowBytes = 1177;
const int kSearchOffsets = 128;

// Offsets into the resync window, nearest to the old position first:
// 64, 65, 63, 66, 62, ... 128, 0.
const std::array<int, 129>& SearchOrder() {
  static const std::array<int, 129> order = [] {
    std::array<int, 129> o{};
    o[0] = 64;
    for (int i = 1; i < 129; ++i) o[i] = 64 + (i % 2 ? (i + 1) / 2 : -(i / 2));
    return o;
  }();
  return order;
}

// kbit/s by [table][index]: MPEG-1 layers I, II, III; low sampling frequencies
// layer I, layers II and III. Index 15 is forbidden and never looked up.
const unsigned kBitRates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}};
const unsigned kSampleRates[3][3] = {
    {44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

uint32_t Word(const unsigned char* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool IsId3v1(const unsigned char* p) { return p[0] == 'T' && p[1] == 'A' && p[2] == 'G'; }

}  // namespace

unsigned FrameLength(uint32_t w) {
  if ((w & 0xE0FF) != 0xE0FF) return 0;
  const bool mpeg1 = (w & 0x1000) && (w & 0x800);
  const int version = mpeg1 ? 0 : (w & 0x1000) ? 1 : 2;
  const unsigned layer = 4 - ((w >> 9) & 3);
  if (layer == 4) return 0;
  const unsigned rateIndex = (w >> 18) & 3;
  const unsigned bitIndex = (w >> 20) & 15;
  // Index 15 is forbidden: a damaged header, not a frame of padding alone.
  if (rateIndex == 3 || bitIndex == 0 || bitIndex == 15) return 0;
  const unsigned sampleRate = kSampleRates[version][rateIndex];
  const unsigned table = mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
  const unsigned bitRate = kBitRates[table][bitIndex];
  const unsigned padding = (w >> 17) & 1;
  if (layer == 1) return (12000 * bitRate / sampleRate + padding) * 4;
  if (layer == 2) return 144000 * bitRate / sampleRate + padding;
  return 144000 * bitRate / (sampleRate * (mpeg1 ? 1 : 2)) + padding;
}

bool ResyncFrameHeader(ByteIStream& is, std::streampos& p, uint32_t expected) {
  const std::streamoff pos = p;
  const std::streamoff start = pos < kWindowBefore + 1 ? 0 : pos - kWindowBefore;
  is.clear();
  is.seekg(start, std::ios_base::beg);
  if (!is.good()) return false;
  unsigned char window[kWindowBytes];
  is.read(window, kWindowBytes);
  if (!is.good()) return false;
  auto matches = [&](int o, bool& stop) {
    stop = IsId3v1(window + o);
    return !stop && (Word(window + o) & kHeaderMask) == expected;
  };
  int found = -1;
  bool stop = false;
  for (int i = 0; i < kSearchOffsets && found < 0; ++i) {
    const int o = start > 0 ? SearchOrder()[i] : i;
    if (matches(o, stop)) found = o;
    if (stop) return false;
  }
  for (int o = 0; found < 0 && o + 4 < kWindowBytes; ++o) {
    if (matches(o, stop)) found = o;
    if (stop) return false;
  }
  if (found < 0) return false;
  p = start + found;
  is.seekg(p, std::ios_base::beg);
  return is.good();
}

bool MP3Seeker::Open(std::shared_ptr<ByteIStream> stream) {
  stream_ = std::move(stream);
  if (!stream_) return false;
  expected_ = 0;
  inconsistent_ = false;
  index_.clear();
  index_.reserve(kIndexStep);
  lastResync_ = -1;
  lastFrame_ = -1;
  current_ = 0;
  return true;
}

std::streampos MP3Seeker::FramePosition(std::size_t i) const {
  return i < index_.size() ? index_[i] : std::streampos(-1);
}

bool MP3Seeker::NextFrame() {
  while (stream_) {
    ByteIStream& is = *stream_;
    is.clear();
    is.seekg(current_, std::ios_base::beg);
    unsigned char h[4];
    if (is.good()) is.read(h, 4);
    if (!is.good()) break;
    const uint32_t word = Word(h);
    if (const unsigned length = FrameLength(word)) {
      lastFrame_ = current_;
      if (expected_ == 0) expected_ = word & kHeaderMask;
      if ((word & kHeaderMask) != expected_) inconsistent_ = true;
      if (index_.size() == index_.capacity()) index_.reserve(index_.capacity() + kIndexStep);
      index_.push_back(current_);
      current_ += length;
      return true;
    }
    // Searched from here before: nothing more to find.
    if (current_ == lastResync_) break;
    lastResync_ = current_;
    std::streampos found = current_;
    if (!ResyncFrameHeader(is, found, expected_) || found < lastFrame_) {
      current_ = lastResync_;
      break;
    }
    current_ = found;
  }
  if (std::streamoff(current_) < 10) inconsistent_ = false;
  return false;
}

}  // namespace MP3

#include "engine/jobs/SectorReader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "engine/cd/RawToc.h"

namespace {

const int kTriesPerStep = 3;

}  // namespace

SectorReader::SectorReader(ReadFunction read, const std::vector<unsigned char>& toc, int sessions)
    : read_(std::move(read)) {
  if (toc.size() < 20) return;
  // Descriptors that the length field announces and the vector holds; the last is the lead-out.
  const std::size_t announced = (toc[0] * 256u + toc[1] - 2) / 8;
  const std::size_t entries = std::min(announced, (toc.size() - 4) / 8);
  bool previousIsAudio = false;
  for (unsigned n = 1; n < entries; ++n) {
    const int32_t start = RawToc::TrackAddress(n, toc);
    const int32_t end = RawToc::TrackAddress(n + 1, toc);
    const bool data = RawToc::IsDataTrack(n, toc);
    if (data && previousIsAudio && sessions > 1) {
      const int32_t gapStart = std::max(RawToc::TrackAddress(n - 1, toc), start - kSessionGap);
      spans_.push_back({gapStart, start, Region::SessionGap});
    }
    if (data) spans_.push_back({start, end, Region::Data});
    previousIsAudio = !data;
  }
}

SectorReader::Region SectorReader::RegionAt(int32_t lba, int32_t* end) const {
  int32_t next = std::numeric_limits<int32_t>::max();
  for (const Span& s : spans_) {
    if (lba >= s.start && lba < s.end) {
      *end = s.end;
      return s.region;
    }
    if (s.start > lba) next = std::min(next, s.start);
  }
  *end = next;
  return Region::Audio;
}

int SectorReader::BlockLength(int32_t lba, int max) const {
  int32_t end;
  RegionAt(lba, &end);
  return static_cast<int>(std::max<int64_t>(1, std::min<int64_t>(max, int64_t(end) - lba)));
}

bool SectorReader::ReadBlock(unsigned char* buffer, int32_t lba, int count) {
  int32_t end;
  switch (RegionAt(lba, &end)) {
    case Region::Data:
      std::memset(buffer, 0, std::size_t(count) * kSectorBytes);
      return true;
    case Region::SessionGap:
      ReadGap(buffer, lba, count, end);
      return true;
    case Region::Audio:
      break;
  }
  if (read_(buffer, lba, count) == 0) {
    consecutiveErrors_ = 0;
    return true;
  }
  RetryRead(buffer, lba, count);
  return readErrors_ <= kMaxErrors && consecutiveErrors_ <= kMaxConsecutiveErrors;
}

// The block's first read has failed: the whole block again, then sector by
// sector. A sector that fails every try becomes silence, never stale audio.
void SectorReader::RetryRead(unsigned char* buffer, int32_t lba, int count) {
  ++readErrors_;
  for (int i = 0; i < kTriesPerStep; ++i) {
    if (read_(buffer, lba, count) == 0) return;
    ++readErrors_;
    ++consecutiveErrors_;
  }
  for (int s = 0; s < count; ++s) {
    unsigned char* sector = buffer + std::size_t(s) * kSectorBytes;
    bool read = false;
    for (int i = 0; i < kTriesPerStep && !read; ++i) {
      read = read_(sector, lba + s, 1) == 0;
      if (!read) {
        ++readErrors_;
        ++consecutiveErrors_;
      }
    }
    if (!read) {
      std::memset(sector, 0, kSectorBytes);
      ++unreadable_;
    }
  }
}

// Between two sessions the drive may refuse what it finds: one try per block,
// and the first refusal makes the block and the rest of the gap silence.
void SectorReader::ReadGap(unsigned char* buffer, int32_t lba, int count, int32_t gapEnd) {
  if (lba >= silentUntil_ && read_(buffer, lba, count) == 0) {
    consecutiveErrors_ = 0;
    return;
  }
  std::memset(buffer, 0, std::size_t(count) * kSectorBytes);
  silentUntil_ = gapEnd;
}

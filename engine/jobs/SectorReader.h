#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

// Reads a disc's sectors for the ripper block by block, retrying what the drive
// refuses and keeping the error counts that decide when a rip gives up.
//
// The layout of the TOC is kept whatever the drive delivers: the sectors of
// data tracks are never read as audio, and a sector that cannot be read is
// zero-filled (digital silence). On a disc of more than one session, within
// the lead-out and lead-in between two sessions (the sectors before a data
// track that follows audio) a refused read is expected and is not a read
// error: from the first one on, the rest of that gap is silence without
// asking the drive, since a drive may take its full timeout over each refusal
// there. On a disc of one session, or when the drive does not tell, those
// sectors are audio like any other.
class SectorReader {
 public:
  static const int kSectorBytes = 2352;
  static const int kMaxBlock = 12;         // sectors per read
  static const int kSessionGap = 11400;    // lead-out, lead-in and pregap between sessions
  static const unsigned kMaxErrors = 200;  // in all
  static const unsigned kMaxConsecutiveErrors = 40;  // since the last good first read

  // Reads count sectors from lba into the buffer; 0 = success.
  using ReadFunction = std::function<HRESULT(unsigned char* buffer, int32_t lba, int count)>;

  // sessions: the disc's number of sessions, 0 when the drive does not tell.
  SectorReader(ReadFunction read, const std::vector<unsigned char>& toc, int sessions);

  // How many of the next sectors from lba (at most max) form one block: a
  // block never crosses from one kind of region into another.
  int BlockLength(int32_t lba, int max) const;

  // Fills count × 2352 bytes of the buffer with the block at lba (a block as
  // BlockLength gives it). False when the errors have passed their limits.
  bool ReadBlock(unsigned char* buffer, int32_t lba, int count);

  unsigned readErrors() const { return readErrors_; }
  unsigned consecutiveErrors() const { return consecutiveErrors_; }
  // Audio sectors that failed all their tries and were zero-filled.
  unsigned unreadableSectors() const { return unreadable_; }

 private:
  enum class Region { Audio, SessionGap, Data };
  struct Span {
    int32_t start, end;  // [start, end)
    Region region;
  };

  Region RegionAt(int32_t lba, int32_t* end) const;
  void RetryRead(unsigned char* buffer, int32_t lba, int count);
  void ReadGap(unsigned char* buffer, int32_t lba, int count, int32_t gapEnd);

  ReadFunction read_;
  std::vector<Span> spans_;  // session gaps and data tracks; the rest is audio
  unsigned readErrors_ = 0;
  unsigned consecutiveErrors_ = 0;
  unsigned unreadable_ = 0;
  int32_t silentUntil_ = std::numeric_limits<int32_t>::min();  // the gap's end once refused
};

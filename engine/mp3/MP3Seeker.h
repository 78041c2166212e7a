#pragma once
#include <cstdint>
#include <ios>
#include <istream>
#include <memory>
#include <vector>

// Indexes the MP3 frames of one disc's audio: walks from frame header to frame
// header by the lengths the headers give, and finds its way back to the frame
// sequence over bytes that are not a frame header.
namespace MP3 {
using ByteIStream = std::basic_istream<unsigned char>;

// Header bits compared between frames: all but private, padding and mode extension.
const uint32_t kHeaderMask = 0xCFFCFFFF;

// Bytes of the frame whose header word (h0 in the low byte) is w; 0 when w is
// not a usable header.
unsigned FrameLength(uint32_t w);

// Looks for the expected masked header near position p; on success p is the
// header found and the stream is positioned there.
bool ResyncFrameHeader(ByteIStream& is, std::streampos& p, uint32_t expected);

class MP3Seeker {
 public:
  // A null stream releases the current one and keeps the index.
  bool Open(std::shared_ptr<ByteIStream> stream);
  bool NextFrame();
  std::size_t FrameCount() const { return index_.size(); }
  std::streampos FramePosition(std::size_t i) const;
  bool Inconsistent() const { return inconsistent_; }

 private:
  uint32_t expected_ = 0;
  std::streampos current_ = 0;
  std::streampos lastResync_ = -1;
  std::streampos lastFrame_ = -1;
  std::shared_ptr<ByteIStream> stream_;
  std::vector<std::streampos> index_;
  bool inconsistent_ = false;
};

}  // namespace MP3

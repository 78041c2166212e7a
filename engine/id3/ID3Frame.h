#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/id3/ID3TagLib.h"

namespace ID3 {

// One frame as the tag keeps it. A frame that comes back without data ends a
// frame list: padding, a broken header, a failed read or a size of 0.
struct ID3Frame {
  std::string id;
  uint16_t flags = 0;
  Bytes data;

  // Reads one frame from a stream window over the tag's frames.
  void ReadFrom(ByteIStream& is);
  // Takes the frame at offset o of a vector of embedded frames; returns the
  // offset of the next frame.
  std::size_t ParseAt(const Bytes& frames, std::size_t o);
};

// Frames read from a stream are refused above this size.
const uint32_t kMaxStreamFrameSize = 10000000;
const std::size_t kFrameHeaderSize = 10;

}  // namespace ID3

#include <algorithm>

#include "engine/id3/ID3TagLibImpl.h"

namespace ID3 {
namespace {

const std::size_t kPaddingPiece = 2048;

bool Put(ByteOStream& os, const unsigned char* p, std::size_t n) {
  os.write(p, static_cast<std::streamsize>(n));
  return os.good();
}

// The first four characters of the id; a shorter id is filled with zero bytes.
Bytes FrameHeader(const std::string& id, uint16_t flags, std::size_t size) {
  Bytes header(4, 0);
  std::copy_n(id.begin(), std::min<std::size_t>(4, id.size()), header.begin());
  AppendBE32(header, static_cast<uint32_t>(size));
  header.push_back(static_cast<unsigned char>(flags >> 8));
  header.push_back(static_cast<unsigned char>(flags & 0xFF));
  return header;
}

}  // namespace

Bytes& ID3TagLibImpl::FrameData(unsigned i) {
  if (i >= frames_.size()) {
    scratch_.clear();  // what an index past the end writes into
    return scratch_;
  }
  return frames_[i].data;
}

void ID3TagLibImpl::RemoveFrame(unsigned i) {
  if (i < frames_.size()) frames_.erase(frames_.begin() + i);
}

unsigned ID3TagLibImpl::AddFrame(const std::string& id, uint16_t flags) {
  ID3Frame frame;
  frame.id = id;
  frame.flags = flags;
  frames_.push_back(std::move(frame));
  return static_cast<unsigned>(frames_.size() - 1);
}

Bytes ID3TagLibImpl::SerializeFrame(const std::string& id, uint16_t flags,
                                    const Bytes& data) const {
  Bytes out = FrameHeader(id, flags, data.size());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

bool ID3TagLibImpl::Write(ByteOStream& os) {
  const uint32_t headerLength = header_.RenderedLength();
  uint64_t used = headerLength;
  for (const ID3Frame& f : frames_) used += f.data.size() + kFrameHeaderSize;
  uint64_t size = header_.tagSize;
  if (size != 0) {
    if (used > size) return false;
  } else {
    // 4096 to 8191 bytes of padding, so the audio starts on a multiple of 4096.
    size = (used + 8191) / 4096 * 4096;
  }
  if (size > kMaxTagSize) return false;
  header_.tagSize = static_cast<uint32_t>(size);
  const Bytes header = header_.Render(header_.tagSize);
  if (header.size() != headerLength) return false;
  if (!Put(os, header.data(), header.size())) return false;
  if (frames_.empty()) return false;
  for (const ID3Frame& f : frames_) {
    const Bytes h = FrameHeader(f.id, f.flags, f.data.size());
    if (!Put(os, h.data(), 4) || !Put(os, h.data() + 4, 4) || !Put(os, h.data() + 8, 2) ||
        !Put(os, f.data.data(), f.data.size()))
      return false;
  }
  static const unsigned char zeros[kPaddingPiece] = {};
  for (uint64_t left = size - used; left > 0;) {
    const std::size_t piece = static_cast<std::size_t>(std::min<uint64_t>(left, kPaddingPiece));
    if (!Put(os, zeros, piece)) return false;
    left -= piece;
  }
  return true;
}

}  // namespace ID3

#include <algorithm>
#include <new>

#include "engine/id3/ID3TagLibImpl.h"
#include "engine/streams/ChunkFilter.h"
#include "engine/streams/FilteringByteStream.h"

namespace ID3 {
namespace {

const std::streamoff kId3v1Size = 128;

const Bytes& EmptyBytes() {
  static const Bytes empty;
  return empty;
}

}  // namespace

// A tag that cannot be held in memory is no tag: the factories give null.
std::unique_ptr<ID3TagLib> CreateFromStream(ByteIStream& is) {
  try {
    auto tag = std::make_unique<ID3TagLibImpl>();
    tag->ReadStream(is);
    return tag;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<ID3TagLib> CreateEmpty() {
  return std::unique_ptr<ID3TagLib>(new (std::nothrow) ID3TagLibImpl);
}

std::unique_ptr<ID3TagLib> CreateFromFrames(const Bytes& frames) {
  try {
    auto tag = std::make_unique<ID3TagLibImpl>();
    tag->ReadFrames(frames);
    return tag;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void ID3TagLibImpl::ReadStream(ByteIStream& is) {
  header_.Parse(is);
  if (header_.headerLength != 0) {
    // Every frame is read through a window on the tag, so no read passes its end.
    namespace io = boost::iostreams;
    io::filtering_byte_stream<io::input_seekable> window;
    window.push(io::chunkfilter<io::input_seekable, unsigned char>(
        std::streampos(header_.headerLength),
        static_cast<int32_t>(header_.tagSize - header_.headerLength)));
    window.push(is);
    for (;;) {
      ID3Frame frame;
      frame.ReadFrom(window);
      if (frame.data.empty()) break;
      frames_.push_back(std::move(frame));
    }
  }
  is.clear();
  is.seekg(-kId3v1Size, std::ios_base::end);
  if (!is.good()) return;
  const std::streamoff end = std::streamoff(is.tellg()) + kId3v1Size;
  // A file cut short inside its tag has no data at all.
  dataSize_ = static_cast<uint64_t>(std::max<std::streamoff>(0, end - header_.tagSize));
  unsigned char v1[3];
  if (ReadExact(is, v1, 3) && v1[0] == 'T' && v1[1] == 'A' && v1[2] == 'G') {
    hasId3v1_ = true;
    dataSize_ = dataSize_ >= uint64_t(kId3v1Size) ? dataSize_ - kId3v1Size : 0;
  }
}

void ID3TagLibImpl::ReadFrames(const Bytes& frames) {
  std::size_t o = 0;
  for (;;) {
    ID3Frame frame;
    o = frame.ParseAt(frames, o);
    if (frame.data.empty()) break;
    frames_.push_back(std::move(frame));
  }
}

std::string ID3TagLibImpl::GetFrameId(unsigned i) const {
  return i < frames_.size() ? frames_[i].id : std::string();
}

uint16_t ID3TagLibImpl::GetFrameFlags(unsigned i) const {
  return i < frames_.size() ? frames_[i].flags : 0;
}

const Bytes& ID3TagLibImpl::GetFrameData(unsigned i) const {
  return i < frames_.size() ? frames_[i].data : EmptyBytes();
}

}  // namespace ID3

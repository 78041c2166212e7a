#pragma once
#include <ios>

#include <boost/iostreams/concepts.hpp>
#include <boost/iostreams/operations.hpp>
#include <boost/iostreams/positioning.hpp>

namespace boost {
namespace iostreams {

// One byte range of a seekable stream, seen as a stream of its own.
template <typename Mode, typename Ch>
class chunkfilter : public multichar_filter<Mode, Ch> {
 public:
  chunkfilter(std::streampos start, int32_t length) : start_(start), length_(length) {}

  template <typename Source>
  std::streamsize read(Source& src, Ch* s, std::streamsize n) {
    if (firstAccess_) {
      firstAccess_ = false;
      iostreams::seek(src, offset(start_), std::ios_base::beg,
                      std::ios_base::in | std::ios_base::out);
    }
    const stream_offset pos = offset(position_);
    const stream_offset length = static_cast<uint32_t>(length_);
    if (pos >= length) return -1;
    if (pos + n > length) n = static_cast<std::streamsize>(length - pos);
    const std::streamsize got = iostreams::read(src, s, n);
    if (got > 0) position_ += got;
    return got;
  }

  template <typename Device>
  std::streampos seek(Device& dev, stream_offset off, std::ios_base::seekdir way) {
    const stream_offset length = static_cast<uint32_t>(length_);
    // Before the first read the source is not yet inside the range, so a
    // relative seek is made absolute; a later first read must not undo it.
    if (firstAccess_ && way == std::ios_base::cur) {
      off += offset(position_);
      way = std::ios_base::beg;
    }
    firstAccess_ = false;
    switch (way) {
      case std::ios_base::beg:
        position_ = off;
        return iostreams::seek(dev, offset(start_) + off, std::ios_base::beg);
      case std::ios_base::cur:
        position_ += off;
        return iostreams::seek(dev, off, std::ios_base::cur);
      case std::ios_base::end:
        position_ = length + off;
        return iostreams::seek(dev, offset(start_) + length + off, std::ios_base::beg);
      default:
        return std::streampos(0);
    }
  }

 private:
  static stream_offset offset(std::streampos p) { return position_to_offset(p); }

  std::streampos position_ = 0;
  std::streampos start_;
  int32_t length_;
  bool firstAccess_ = true;
};

}  // namespace iostreams
}  // namespace boost

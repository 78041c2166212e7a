#pragma once
#include <istream>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>

namespace boost {
namespace iostreams {

// An input device over an existing byte istream that it does not own.
template <typename Ch>
class SeekableDevice {
 public:
  typedef Ch char_type;
  struct category : input_seekable, device_tag {};

  explicit SeekableDevice(std::basic_istream<Ch>& in) : in_(&in) {}

  std::streamsize read(Ch* s, std::streamsize n) {
    in_->read(s, n);
    const std::streamsize got = in_->gcount();
    return got == 0 && n > 0 ? -1 : got;  // -1: end of stream, as the library expects
  }
  std::streamsize write(const Ch*, std::streamsize n) { return n; }
  std::streampos seek(stream_offset off, std::ios_base::seekdir way) {
    in_->clear();
    in_->seekg(off, way);
    return in_->tellg();
  }

 private:
  std::basic_istream<Ch>* in_;
};

}  // namespace iostreams
}  // namespace boost

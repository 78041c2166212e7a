#pragma once
#include <ios>
#include <memory>
#include <string>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/positioning.hpp>

// Binary files opened by a wide path, as byte devices of the stream library.
// Copies share the open file; it is closed when the last copy goes. A file that
// does not open leaves the device closed: reads give end of stream and writes
// write nothing.
namespace boost {
namespace iostreams {
namespace detail {

class wfile_handle {
 public:
  wfile_handle(const std::wstring& path, std::ios_base::openmode mode);
  ~wfile_handle();
  wfile_handle(const wfile_handle&) = delete;
  wfile_handle& operator=(const wfile_handle&) = delete;

  bool is_open() const;
  std::streamsize read(void* s, std::streamsize n);
  std::streamsize write(const void* s, std::streamsize n);
  std::streampos seek(stream_offset off, std::ios_base::seekdir way);
  void close();

 private:
  void* handle_;
};

}  // namespace detail

template <typename Ch>
class basic_wfile {
 public:
  typedef Ch char_type;
  struct category : seekable_device_tag, closable_tag {};

  basic_wfile(const std::wstring& path, std::ios_base::openmode mode)
      : pimpl_(std::make_shared<detail::wfile_handle>(path, mode)) {}

  std::streamsize read(char_type* s, std::streamsize n) {
    const std::streamsize bytes = pimpl_->read(s, n * std::streamsize(sizeof(Ch)));
    return bytes < 0 ? -1 : bytes / std::streamsize(sizeof(Ch));
  }
  std::streamsize write(const char_type* s, std::streamsize n) {
    return pimpl_->write(s, n * std::streamsize(sizeof(Ch))) / std::streamsize(sizeof(Ch));
  }
  std::streampos seek(stream_offset off, std::ios_base::seekdir way,
                      std::ios_base::openmode = std::ios_base::in | std::ios_base::out) {
    return pimpl_->seek(off * stream_offset(sizeof(Ch)), way);
  }
  bool is_open() const { return pimpl_->is_open(); }
  void close() { pimpl_->close(); }

 private:
  std::shared_ptr<detail::wfile_handle> pimpl_;
};

template <typename Ch>
struct basic_wfile_source : private basic_wfile<Ch> {
  typedef Ch char_type;
  struct category : input_seekable, device_tag, closable_tag {};
  using basic_wfile<Ch>::read;
  using basic_wfile<Ch>::seek;
  using basic_wfile<Ch>::is_open;
  using basic_wfile<Ch>::close;
  explicit basic_wfile_source(const std::wstring& path,
                              std::ios_base::openmode mode = std::ios_base::in)
      : basic_wfile<Ch>(path, (mode & ~std::ios_base::out) | std::ios_base::in) {}
};

template <typename Ch>
struct basic_wfile_sink : private basic_wfile<Ch> {
  typedef Ch char_type;
  struct category : output_seekable, device_tag, closable_tag {};
  using basic_wfile<Ch>::write;
  using basic_wfile<Ch>::seek;
  using basic_wfile<Ch>::is_open;
  using basic_wfile<Ch>::close;
  explicit basic_wfile_sink(const std::wstring& path,
                            std::ios_base::openmode mode = std::ios_base::out)
      : basic_wfile<Ch>(path, (mode & ~std::ios_base::in) | std::ios_base::out) {}
};

}  // namespace iostreams
}  // namespace boost

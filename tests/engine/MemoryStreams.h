#pragma once
#include <algorithm>
#include <istream>
#include <ostream>
#include <streambuf>
#include <vector>

// Seekable byte streams over memory, for the parsers and writers under test.
class MemoryBuf : public std::basic_streambuf<unsigned char> {
 public:
  explicit MemoryBuf(std::vector<unsigned char> bytes = {}) : bytes_(std::move(bytes)) {}
  const std::vector<unsigned char>& bytes() const { return bytes_; }

 protected:
  int_type underflow() override {
    return pos_ < bytes_.size() ? traits_type::to_int_type(bytes_[pos_]) : traits_type::eof();
  }
  int_type uflow() override {
    const int_type c = underflow();
    if (c != traits_type::eof()) ++pos_;
    return c;
  }
  std::streamsize xsgetn(unsigned char* s, std::streamsize n) override {
    const std::size_t got = std::min<std::size_t>(static_cast<std::size_t>(n),
                                                  bytes_.size() - std::min(pos_, bytes_.size()));
    std::copy_n(bytes_.begin() + pos_, got, s);
    pos_ += got;
    return static_cast<std::streamsize>(got);
  }
  std::streamsize xsputn(const unsigned char* s, std::streamsize n) override {
    if (bytes_.size() < pos_ + n) bytes_.resize(pos_ + n);
    std::copy_n(s, n, bytes_.begin() + pos_);
    pos_ += static_cast<std::size_t>(n);
    return n;
  }
  int_type overflow(int_type c) override {
    if (c == traits_type::eof()) return traits_type::not_eof(c);
    const unsigned char b = traits_type::to_char_type(c);
    xsputn(&b, 1);
    return c;
  }
  pos_type seekoff(off_type off, std::ios_base::seekdir way, std::ios_base::openmode) override {
    const off_type base = way == std::ios_base::beg   ? 0
                          : way == std::ios_base::cur ? off_type(pos_)
                                                      : off_type(bytes_.size());
    if (base + off < 0) return pos_type(off_type(-1));
    pos_ = static_cast<std::size_t>(base + off);
    return pos_type(off_type(pos_));
  }
  pos_type seekpos(pos_type p, std::ios_base::openmode which) override {
    return seekoff(off_type(p), std::ios_base::beg, which);
  }

 private:
  std::vector<unsigned char> bytes_;
  std::size_t pos_ = 0;
};

struct MemoryIn {
  explicit MemoryIn(std::vector<unsigned char> bytes) : buf(std::move(bytes)), in(&buf) {}
  MemoryBuf buf;
  std::basic_istream<unsigned char> in;
};

struct MemoryOut {
  MemoryOut() : out(&buf) {}
  const std::vector<unsigned char>& bytes() const { return buf.bytes(); }
  MemoryBuf buf;
  std::basic_ostream<unsigned char> out;
};

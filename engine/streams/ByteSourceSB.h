#pragma once
#include <ios>
#include <memory>
#include <string>

#include <boost/iostreams/stream_buffer.hpp>

#include "engine/streams/WFile.h"

// Seekable input over a backup file, read through a std::basic_istream of bytes.
class ByteSourceSB
    : public boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_source<unsigned char>,
                                             std::char_traits<unsigned char>,
                                             std::allocator<unsigned char>,
                                             boost::iostreams::input_seekable> {
 public:
  ByteSourceSB(const std::wstring& path, std::ios_base::openmode mode)
      : stream_buffer(boost::iostreams::basic_wfile_source<unsigned char>(path, mode)) {}
  virtual ~ByteSourceSB() = default;
};

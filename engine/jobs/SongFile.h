#pragma once
#include <ios>
#include <memory>
#include <ostream>
#include <string>

#include <boost/iostreams/stream_buffer.hpp>

#include "engine/streams/WFile.h"

// One extracted song, written under a temporary name in the target's folder
// and moved onto the target only when it is complete, so that neither a
// failure nor a stop leaves a partial file or spoils a file of that name.
class SongFile {
 public:
  explicit SongFile(const std::wstring& target);
  ~SongFile();  // removes the temporary file unless the song was committed
  SongFile(const SongFile&) = delete;
  SongFile& operator=(const SongFile&) = delete;

  std::basic_ostream<unsigned char>& stream() { return *stream_; }
  // Closes the file and gives it the target's name; false when that fails.
  bool Commit();

 private:
  using Buffer = boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_sink<unsigned char>>;
  void Close();

  std::wstring target_;
  std::wstring temp_;
  std::unique_ptr<Buffer> buffer_;
  std::unique_ptr<std::basic_ostream<unsigned char>> stream_;
  bool committed_ = false;
};

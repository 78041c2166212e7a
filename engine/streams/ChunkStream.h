#pragma once
#include <cstdint>
#include <ios>
#include <istream>
#include <memory>

#include "engine/streams/ChunkFilter.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/SeekableDevice.h"

// One byte range of a backup file (a disc's audio, a song's frames) as a
// stream of its own, read through the file's byte stream. bufferSize 0 keeps
// the library's default buffers, best for many short reads after seeks.
inline std::shared_ptr<std::basic_istream<unsigned char>> OpenChunkStream(
    std::basic_istream<unsigned char>& file, std::streampos start, int32_t length,
    std::streamsize bufferSize = 0) {
  namespace io = boost::iostreams;
  auto chunk = std::make_shared<io::filtering_byte_stream<io::input_seekable>>();
  if (bufferSize > 0) {
    chunk->push(io::chunkfilter<io::input_seekable, unsigned char>(start, length), bufferSize);
    chunk->push(io::SeekableDevice<unsigned char>(file), bufferSize);
  } else {
    chunk->push(io::chunkfilter<io::input_seekable, unsigned char>(start, length));
    chunk->push(io::SeekableDevice<unsigned char>(file));
  }
  return chunk;
}

#pragma once
#include <cstdint>
#include <ios>
#include <istream>
#include <memory>
#include <string>

#include "engine/mp3/AcmWrapper.h"
#include "engine/streams/ByteSourceSB.h"
#include "engine/streams/FilteringByteStream.h"

namespace Recorder {

// The MP3 audio of one disc of a backup file (a byte range of the file),
// decoded through the ACM wrapper to 16-bit stereo PCM at 44100 Hz.
class Mp3Decoder {
 public:
  // Throws std::runtime_error("no ACM Wrapper") when the decoder cannot be opened.
  Mp3Decoder(const std::wstring& path, std::streampos audioStart, int32_t audioLength,
             std::shared_ptr<AcmWrapper::IACMWrapper> acm);
  Mp3Decoder(const Mp3Decoder&) = delete;
  Mp3Decoder& operator=(const Mp3Decoder&) = delete;

  // Bytes of PCM that one decode call asks for.
  unsigned DecodeBytes() const { return decodeBytes_; }
  // Decodes up to `bytes` of PCM (whole sample frames) into `pcm`: the bytes
  // delivered, 0 at the end of the audio or when decoding fails.
  unsigned Decode(unsigned char* pcm, unsigned bytes);
  // The backup file could not be read to the end of the disc's range.
  bool ReadFailed() const { return readFailed_; }

 private:
  static int ReadMp3(void* user, std::uint64_t sourceBytePos, std::uint64_t framePos,
                     unsigned char* buffer, unsigned byteCount, unsigned frameCount,
                     unsigned blockAlign, unsigned* outBytes, unsigned* outFrames);

  std::shared_ptr<ByteSourceSB> file_;
  std::basic_istream<unsigned char> fileStream_;
  std::unique_ptr<boost::iostreams::filtering_byte_stream<boost::iostreams::input_seekable>> mp3_;
  std::shared_ptr<AcmWrapper::IACMWrapper> acm_;
  uint32_t mp3Left_;
  unsigned decodeBytes_ = 0;
  bool readFailed_ = false;
};

}  // namespace Recorder

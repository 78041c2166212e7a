#include "recorder/Mp3Decoder.h"

#include <stdexcept>

#include "engine/mp3/BackupMp3Format.h"
#include "engine/streams/ChunkFilter.h"
#include "engine/streams/SeekableDevice.h"

namespace Recorder {
namespace {

const unsigned kOutputRate = 44100;
const unsigned kFrameBytes = 4;

}  // namespace

Mp3Decoder::Mp3Decoder(const std::wstring& path, std::streampos audioStart, int32_t audioLength,
                       std::shared_ptr<AcmWrapper::IACMWrapper> acm)
    : file_(std::make_shared<ByteSourceSB>(path, std::ios_base::in | std::ios_base::binary)),
      fileStream_(file_.get()),
      mp3_(std::make_unique<
           boost::iostreams::filtering_byte_stream<boost::iostreams::input_seekable>>()),
      acm_(std::move(acm)),
      mp3Left_(static_cast<uint32_t>(audioLength)) {
  namespace io = boost::iostreams;
  mp3_->push(io::chunkfilter<io::input_seekable, unsigned char>(audioStart, audioLength));
  mp3_->push(io::SeekableDevice<unsigned char>(fileStream_));
  MPEGLAYER3WAVEFORMAT format = AcmWrapper::BackupMp3Format();
  unsigned inputBytes = 0;
  if (!acm_ || FAILED(acm_->OpenDecoder(&format.wfx, kOutputRate, this, &Mp3Decoder::ReadMp3)) ||
      FAILED(acm_->GetBufferSizes(&inputBytes, nullptr)) || inputBytes < kFrameBytes)
    throw std::runtime_error("no ACM Wrapper");
  decodeBytes_ = inputBytes;
}

unsigned Mp3Decoder::Decode(unsigned char* pcm, unsigned bytes) {
  unsigned frames = 0;
  if (FAILED(acm_->Decode(pcm, bytes / kFrameBytes, &frames))) return 0;
  return frames * kFrameBytes;
}

int Mp3Decoder::ReadMp3(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer,
                        unsigned byteCount, unsigned, unsigned, unsigned* outBytes,
                        unsigned* outFrames) {
  auto* self = static_cast<Mp3Decoder*>(user);
  *outBytes = 0;
  *outFrames = 0;
  const unsigned n = std::min<uint32_t>(byteCount, self->mp3Left_);
  if (n > 0) {
    if (self->mp3_->good()) self->mp3_->read(buffer, n);
    if (!self->mp3_->good()) {
      self->readFailed_ = true;
      return 0;
    }
    self->mp3Left_ -= n;
  }
  *outBytes = n;
  *outFrames = kFrameBytes * n;
  return 1;
}

}  // namespace Recorder

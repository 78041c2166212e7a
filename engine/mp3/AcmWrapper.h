#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "engine/mp3/AcmAudio.h"

namespace AcmWrapper {

// Supplies input to a decoder or takes output from an encoder.
// Decoder: fill buffer with at most byteCount source bytes and report them in
// outBytes (0 = end of input) and outFrames; a result of 0 also ends the input.
// Encoder: buffer holds byteCount converted bytes (frameCount = bytes / blockAlign);
// report the bytes taken in outBytes (0 stops the current Encode); a result of 0
// makes Encode fail. Results: non-zero = success.
typedef int (*StreamCallback)(void* user, std::uint64_t sourceBytePos, std::uint64_t framePos,
                              unsigned char* buffer, unsigned byteCount, unsigned frameCount,
                              unsigned blockAlign, unsigned* outBytes, unsigned* outFrames);

// A wave format record of any size, owned by whoever receives it.
struct FormatFree {
  void operator()(WAVEFORMATEX* format) const { std::free(format); }
};
using FormatCopy = std::unique_ptr<WAVEFORMATEX, FormatFree>;

// One audio conversion through the Audio Compression Manager, opened once as a
// decoder (any format to 16-bit stereo PCM) or as an encoder (16-bit stereo PCM
// to any format), with one stream or two chained through an intermediate PCM.
class IACMWrapper {
 public:
  virtual ~IACMWrapper() = default;
  // Encodes frames of PCM; 0 frames converts and hands out what is still held.
  virtual HRESULT Encode(const unsigned char* pcm, unsigned frames, unsigned* handedOut) = 0;
  // Decodes up to frames PCM frames into destination (null: skip them).
  virtual HRESULT Decode(unsigned char* destination, unsigned frames, unsigned* delivered) = 0;
  virtual HRESULT OpenEncoder(const WAVEFORMATEX* wanted, FormatCopy* formatCopy, unsigned rate,
                              void* user, StreamCallback callback, unsigned* outRate) = 0;
  // Adjusts the caller's record in place (see the implementation).
  virtual HRESULT OpenDecoder(WAVEFORMATEX* source, unsigned rate, void* user,
                              StreamCallback callback) = 0;
  virtual HRESULT Seek(std::uint64_t frame) = 0;
  virtual std::uint64_t GetBufferedFrames() = 0;
  virtual HRESULT GetBufferSizes(unsigned* inputBytes, unsigned* outputBytes) = 0;
};

std::shared_ptr<IACMWrapper> CreateACMWrapper();

}  // namespace AcmWrapper

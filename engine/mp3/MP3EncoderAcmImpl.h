#pragma once
#include <memory>

#include "engine/mp3/AcmWrapper.h"
#include "engine/mp3/MP3Encoder.h"

namespace Encoders {

// The encoder over the system's ACM MPEG Layer-3 codec driver "l3codecp.acm".
class MP3EncoderAcmImpl : public MP3EncoderLame {
 public:
  MP3EncoderAcmImpl() = default;
  MP3EncoderAcmImpl(const MP3EncoderAcmImpl&) = delete;
  MP3EncoderAcmImpl& operator=(const MP3EncoderAcmImpl&) = delete;
  ~MP3EncoderAcmImpl() override;

  HRESULT Load() override;
  int Unload() override;
  int Init(const EncoderSettings& settings) override;
  int InitFromQuality(int quality) override;
  int SetInput(int rate, int channels, int bits) override;
  void GetSizes(unsigned& inputBytes, unsigned& outputBytes) override;
  bool Encode(const unsigned char* pcm, unsigned& bytes, unsigned char* output,
              unsigned& produced) override;
  bool Finish(unsigned char* output, unsigned& produced) override;

 private:
  static int Deliver(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer,
                     unsigned byteCount, unsigned frameCount, unsigned, unsigned* outBytes,
                     unsigned* outFrames);
  bool Run(const unsigned char* pcm, unsigned frames, unsigned char* output, unsigned& bytes,
           unsigned& produced);

  HMODULE driverModule_ = nullptr;
  HACMDRIVERID driverId_ = nullptr;
  std::shared_ptr<AcmWrapper::IACMWrapper> wrapper_;
  AcmWrapper::FormatCopy outputFormat_;
  unsigned char* target_ = nullptr;
  unsigned delivered_ = 0;
  bool overflow_ = false;
  int inputRate_ = 44100;
  int inputChannels_ = 2;
  int inputBits_ = 16;
  unsigned inputSize_ = 0;
  unsigned outputSize_ = 0;
};

}  // namespace Encoders

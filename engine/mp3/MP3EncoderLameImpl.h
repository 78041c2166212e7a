#pragma once
#include "engine/mp3/BladeEnc.h"
#include "engine/mp3/MP3Encoder.h"

namespace Encoders {

// The encoder over the LAME library "lame_enc.dll".
class MP3EncoderLameImpl : public MP3EncoderLame {
 public:
  MP3EncoderLameImpl() = default;
  MP3EncoderLameImpl(const MP3EncoderLameImpl&) = delete;
  MP3EncoderLameImpl& operator=(const MP3EncoderLameImpl&) = delete;
  ~MP3EncoderLameImpl() override;

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
  void CloseStream();

  HMODULE library_ = nullptr;
  BladeEnc::InitStreamFn initStream_ = nullptr;
  BladeEnc::EncodeChunkFn encodeChunk_ = nullptr;
  BladeEnc::DeinitStreamFn deinitStream_ = nullptr;
  BladeEnc::CloseStreamFn closeStream_ = nullptr;
  BladeEnc::VersionFn version_ = nullptr;
  BladeEnc::WriteVbrHeaderFn writeVbrHeader_ = nullptr;
  BladeEnc::WriteInfoTagFn writeInfoTag_ = nullptr;
  int inputRate_ = 0;
  int inputChannels_ = 0;
  int inputBits_ = 0;
  DWORD samplesPerChunk_ = 0;
  DWORD outputSize_ = 0;
  BladeEnc::Stream stream_ = nullptr;
  bool streamOpen_ = false;
};

}  // namespace Encoders

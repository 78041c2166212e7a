#include <atomic>
#include <initializer_list>

#include "engine/mp3/MP3Encoder.h"
#include "engine/mp3/MP3EncoderAcmImpl.h"
#include "engine/mp3/MP3EncoderLameImpl.h"

namespace Encoders {
namespace {

// Decided once per process by the first automatic choice; it selects the quality table.
std::atomic<int> knownEncoder{kEncoderAuto};

class ErrorModeScope {
 public:
  ErrorModeScope() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~ErrorModeScope() { SetErrorMode(previous_); }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

 private:
  UINT previous_;
};

std::unique_ptr<MP3EncoderLame> NewEncoder(int kind) {
  if (kind == kEncoderLame) return std::make_unique<MP3EncoderLameImpl>();
  if (kind == kEncoderAcm) return std::make_unique<MP3EncoderAcmImpl>();
  return nullptr;
}

void SetRates(EncoderSettings& s, std::uint32_t average, std::uint32_t maximum,
              std::uint32_t minimum, std::uint32_t vbr) {
  s.averageBitRate = average;
  s.maximumBitRate = maximum;
  s.minimumBitRate = minimum;
  s.vbr = vbr;
}

}  // namespace

std::unique_ptr<MP3EncoderLame> CreateMP3Encoder(int kind) {
  ErrorModeScope errorMode;
  if (kind != kEncoderAuto) return NewEncoder(kind);
  for (int candidate : {kEncoderLame, kEncoderAcm}) {
    std::unique_ptr<MP3EncoderLame> encoder = NewEncoder(candidate);
    if (encoder->Load() == 0) {
      knownEncoder = candidate;
      return encoder;
    }
  }
  return nullptr;
}

EncoderSettings BaseSettings() {
  EncoderSettings s{};
  s.size = sizeof(EncoderSettings);
  s.sampleRate = 44100;
  s.channels = 2;
  s.bitsPerSample = 16;
  return s;
}

int LameQualityToSettings(int quality, EncoderSettings& s) {
  if (quality == 0)
    SetRates(s, 32000, 32000, 32000, 0);
  else if (quality < 64)
    SetRates(s, 64000, 128000, 8000, 1);
  else if (quality < 96)
    SetRates(s, 96000, 176000, 8000, 1);
  else if (quality < 128)
    SetRates(s, 128000, 224000, 8000, 1);
  else if (quality < 160)
    SetRates(s, 176000, 224000, 64000, 1);
  else if (quality < 192)
    SetRates(s, 192000, 320000, 64000, 1);
  else if (quality < 224)
    SetRates(s, 256000, 320000, 96000, 1);
  else
    SetRates(s, 320000, 320000, 320000, 0);
  return 0;
}

int AcmQualityToSettings(int quality, EncoderSettings& s) {
  std::uint32_t rate = 320000;
  if (quality < 96)
    rate = 128000;
  else if (quality < 128)
    rate = 160000;
  else if (quality < 160)
    rate = 192000;
  else if (quality < 192)
    rate = 224000;
  else if (quality < 224)
    rate = 256000;
  SetRates(s, rate, rate, rate, 0);
  return 0;
}

int GetEncoderSettings(int quality, EncoderSettings& settings) {
  settings = BaseSettings();
  if (knownEncoder == kEncoderAuto) CreateMP3Encoder(kEncoderAuto);
  if (knownEncoder == kEncoderAcm) return AcmQualityToSettings(quality, settings);
  return LameQualityToSettings(quality, settings);
}

}  // namespace Encoders

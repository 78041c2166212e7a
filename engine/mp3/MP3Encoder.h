#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>

namespace Encoders {

// The bit rates that one quality (0..255) stands for.
struct EncoderSettings {
  std::uint32_t size;            // 40
  std::uint32_t averageBitRate;  // bit/s
  std::uint32_t maximumBitRate;  // bit/s
  std::uint32_t minimumBitRate;  // bit/s
  std::uint32_t vbr;             // 1 = variable (average) bit rate, 0 = constant
  std::uint32_t sampleRate;      // 44100
  std::uint32_t channels;        // 2
  std::uint32_t bitsPerSample;   // 16
  std::uint32_t reserved1;
  std::uint32_t reserved2;
};
static_assert(sizeof(EncoderSettings) == 40, "EncoderSettings is a 40-byte record");

// An MP3 encoder found on the machine at run time.
class MP3EncoderLame {
 public:
  virtual ~MP3EncoderLame() = default;
  // Loads the encoder's library or driver; 0 = ready (also when already loaded).
  virtual HRESULT Load() = 0;
  virtual int Unload() = 0;
  // Opens the encoding stream; 0 = success.
  virtual int Init(const EncoderSettings& settings) = 0;
  virtual int InitFromQuality(int quality) = 0;
  virtual int SetInput(int rate, int channels, int bits) = 0;
  // Largest PCM input of one Encode call, and the output room that one call needs.
  virtual void GetSizes(unsigned& inputBytes, unsigned& outputBytes) = 0;
  // Encodes bytes of 16-bit PCM; bytes receives what was taken, produced the MP3 bytes.
  virtual bool Encode(const unsigned char* pcm, unsigned& bytes, unsigned char* output,
                      unsigned& produced) = 0;
  // Hands out what the encoder still holds at the end of the stream.
  virtual bool Finish(unsigned char* output, unsigned& produced) = 0;
};

enum EncoderKind { kEncoderAuto = 1, kEncoderLame = 2, kEncoderAcm = 3 };

// kEncoderAuto: a loaded LAME library encoder, else a loaded ACM codec encoder,
// else null. kEncoderLame, kEncoderAcm: a new encoder of that kind, not loaded.
std::unique_ptr<MP3EncoderLame> CreateMP3Encoder(int kind);

// The settings of a quality for the encoder this machine has (the LAME table when none).
int GetEncoderSettings(int quality, EncoderSettings& settings);
int LameQualityToSettings(int quality, EncoderSettings& settings);
int AcmQualityToSettings(int quality, EncoderSettings& settings);
// A zeroed record with the fixed fields set: 44100 Hz, 2 channels, 16 bits.
EncoderSettings BaseSettings();

}  // namespace Encoders

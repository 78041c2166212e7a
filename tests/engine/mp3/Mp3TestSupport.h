#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/mp3/AcmWrapper.h"
#include "engine/mp3/BackupMp3Format.h"

namespace Mp3Test {

using Bytes = std::vector<unsigned char>;

constexpr unsigned kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

inline void Put16(Bytes& out, double v) {
  const long s = std::lround(std::max(-32767.0, std::min(32767.0, v * 32767.0)));
  out.push_back(static_cast<unsigned char>(s & 0xFF));
  out.push_back(static_cast<unsigned char>((s >> 8) & 0xFF));
}

// 16-bit stereo PCM: a logarithmic sweep from 40 Hz to 16 kHz for sweepSeconds,
// then low-passed noise (different in each channel) for noiseSeconds.
inline Bytes TestSignal(double sweepSeconds = 7.0, double noiseSeconds = 3.5) {
  Bytes pcm;
  const unsigned sweepFrames = static_cast<unsigned>(sweepSeconds * kRate);
  const unsigned noiseFrames = static_cast<unsigned>(noiseSeconds * kRate);
  pcm.reserve((sweepFrames + noiseFrames) * 4u);
  const double f0 = 40, f1 = 16000, k = std::log(f1 / f0) / sweepSeconds;
  for (unsigned i = 0; i < sweepFrames; ++i) {
    const double t = double(i) / kRate;
    const double phase = 2 * kPi * f0 * (std::exp(k * t) - 1) / k;
    Put16(pcm, 0.5 * std::sin(phase));
    Put16(pcm, 0.4 * std::sin(phase + 0.5));
  }
  std::uint32_t seed = 12345;
  double left = 0, right = 0;
  auto noise = [&seed] {
    seed = seed * 1664525u + 1013904223u;
    return (double(seed >> 8) / double(1u << 24)) * 2 - 1;
  };
  for (unsigned i = 0; i < noiseFrames; ++i) {
    const double common = noise();
    left = 0.7 * left + 0.3 * (common + 0.5 * noise());
    right = 0.7 * right + 0.3 * (common + 0.5 * noise());
    Put16(pcm, 0.6 * left);
    Put16(pcm, 0.6 * right);
  }
  return pcm;
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool WriteBytes(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return out.good();
}

struct MemorySource {
  const Bytes* data;
  std::size_t position = 0;
  unsigned calls = 0;
};

inline int ReadMemory(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer,
                      unsigned byteCount, unsigned, unsigned, unsigned* outBytes,
                      unsigned* outFrames) {
  auto* source = static_cast<MemorySource*>(user);
  ++source->calls;
  const std::size_t n = std::min<std::size_t>(byteCount, source->data->size() - source->position);
  std::memcpy(buffer, source->data->data() + source->position, n);
  source->position += n;
  *outBytes = static_cast<unsigned>(n);
  *outFrames = static_cast<unsigned>(n / 4);
  return 1;
}

// Decodes a whole MP3 stream through the ACM to 16-bit stereo PCM at rate; empty on failure.
inline Bytes DecodeWithAcm(const Bytes& mp3, unsigned rate) {
  MPEGLAYER3WAVEFORMAT format = AcmWrapper::BackupMp3Format();
  MemorySource source{&mp3};
  auto decoder = AcmWrapper::CreateACMWrapper();
  if (decoder->OpenDecoder(&format.wfx, rate, &source, &ReadMemory) != S_OK) return {};
  Bytes pcm;
  std::vector<unsigned char> chunk(16384 * 4);
  for (;;) {
    unsigned got = 0;
    if (decoder->Decode(chunk.data(), 16384, &got) != S_OK) return {};
    if (got == 0) break;
    pcm.insert(pcm.end(), chunk.begin(), chunk.begin() + got * 4);
  }
  return pcm;
}

}  // namespace Mp3Test

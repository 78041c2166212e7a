#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/mp3/AcmWrapper.h"

// An ACM decoder that hands out the PCM it was given, checking that it is
// opened for the backup file's MP3 format.
class ScriptedAcm : public AcmWrapper::IACMWrapper {
 public:
  explicit ScriptedAcm(std::vector<unsigned char> pcm, bool opens = true)
      : pcm_(std::move(pcm)), opens_(opens) {}

  HRESULT Encode(const unsigned char*, unsigned, unsigned*) override { return E_NOTIMPL; }
  HRESULT Decode(unsigned char* destination, unsigned frames, unsigned* delivered) override {
    ++decodeCalls;
    EXPECT_LE(frames * 4, 2704u);
    const std::size_t n = std::min<std::size_t>(std::size_t(frames) * 4, pcm_.size() - at_);
    if (destination) std::memcpy(destination, pcm_.data() + at_, n);
    at_ += n;
    *delivered = static_cast<unsigned>(n / 4);
    return S_OK;
  }
  HRESULT OpenEncoder(const WAVEFORMATEX*, AcmWrapper::FormatCopy*, unsigned, void*,
                      AcmWrapper::StreamCallback, unsigned*) override {
    return E_NOTIMPL;
  }
  HRESULT OpenDecoder(WAVEFORMATEX* source, unsigned rate, void*,
                      AcmWrapper::StreamCallback callback) override {
    const auto* m = reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(source);
    EXPECT_EQ(m->wfx.wFormatTag, WAVE_FORMAT_MPEGLAYER3);
    EXPECT_EQ(m->wfx.nChannels, 2);
    EXPECT_EQ(m->wfx.nSamplesPerSec, 44100u);
    EXPECT_EQ(m->wfx.nAvgBytesPerSec, 8000u);
    EXPECT_EQ(m->wfx.nBlockAlign, 1);
    EXPECT_EQ(m->wfx.wBitsPerSample, 0);
    EXPECT_EQ(m->wfx.cbSize, 12);
    EXPECT_EQ(m->wID, 1);
    EXPECT_EQ(m->fdwFlags, 2u);
    EXPECT_EQ(m->nBlockSize, 26);
    EXPECT_EQ(m->nFramesPerBlock, 1);
    EXPECT_EQ(m->nCodecDelay, 1393);
    EXPECT_EQ(rate, 44100u);
    EXPECT_TRUE(callback);
    return opens_ ? S_OK : E_FAIL;
  }
  HRESULT Seek(std::uint64_t) override { return E_NOTIMPL; }
  std::uint64_t GetBufferedFrames() override { return 0; }
  HRESULT GetBufferSizes(unsigned* input, unsigned* output) override {
    if (input) *input = 2704;
    if (output) *output = 60208;
    return S_OK;
  }

  int decodeCalls = 0;

 private:
  std::vector<unsigned char> pcm_;
  std::size_t at_ = 0;
  bool opens_;
};

// PCM of `sectors` sectors; sector s carries the value level(s) in every sample.
template <typename Level>
std::vector<unsigned char> SectorPcm(int sectors, Level level) {
  std::vector<unsigned char> pcm(std::size_t(sectors) * 2352);
  for (int s = 0; s < sectors; ++s) {
    const int16_t v = static_cast<int16_t>(level(s));
    for (int i = 0; i < 1176; ++i) {
      pcm[std::size_t(s) * 2352 + 2 * i] = static_cast<unsigned char>(v & 0xFF);
      pcm[std::size_t(s) * 2352 + 2 * i + 1] = static_cast<unsigned char>(v >> 8 & 0xFF);
    }
  }
  return pcm;
}

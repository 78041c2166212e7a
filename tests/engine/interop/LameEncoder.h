#pragma once
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

// Real MP3 audio for the tests: 16-bit stereo PCM at 44100 Hz encoded by the
// LAME library beside the test program, through its BladeEnc interface.
namespace TestAudio {

#pragma pack(push, 1)
struct LameConfig {
  DWORD config = 256;  // the LAME layout of the record
  DWORD structVersion = 1;
  DWORD structSize = 331;
  DWORD sampleRate = 44100;
  DWORD reSampleRate = 44100;
  LONG mode = 1;  // joint stereo
  DWORD bitRate = 128;
  DWORD maxBitRate = 128;
  LONG preset = -1;
  DWORD mpegVersion = 1;
  DWORD psyModel = 0;
  DWORD emphasis = 0;
  BOOL flags[4] = {};  // private, CRC, copyright, original
  BOOL writeVbrHeader = FALSE;
  BOOL enableVbr = FALSE;
  INT vbrQuality = 0;
  DWORD vbrAbrBps = 0;
  INT vbrMethod = -1;
  BOOL noReservoir = FALSE;
  BOOL strictIso = FALSE;
  WORD quality = 0;
  BYTE reserved[237] = {};
};
#pragma pack(pop)
static_assert(sizeof(LameConfig) == 331, "the library's packed record");

class LameEncoder {
 public:
  explicit LameEncoder(const wchar_t* library = L"lame_enc.dll") : dll_(LoadLibraryW(library)) {
    if (!dll_) throw std::runtime_error("lame_enc.dll not found");
    Bind(init_, "beInitStream");
    Bind(encode_, "beEncodeChunk");
    Bind(deinit_, "beDeinitStream");
    Bind(close_, "beCloseStream");
    if (!init_ || !encode_ || !deinit_ || !close_) throw std::runtime_error("lame_enc.dll exports");
  }
  ~LameEncoder() { FreeLibrary(dll_); }
  LameEncoder(const LameEncoder&) = delete;
  LameEncoder& operator=(const LameEncoder&) = delete;

  // One MP3 stream of the whole PCM, drained at its end.
  std::vector<unsigned char> EncodeStream(const std::vector<int16_t>& pcm,
                                          LameConfig config = {}) const {
    DWORD samples = 0, bufferSize = 0;
    void* stream = nullptr;
    if (init_(&config, &samples, &bufferSize, &stream) != 0) throw std::runtime_error("init");
    std::vector<unsigned char> out, buffer(bufferSize);
    for (std::size_t at = 0; at < pcm.size(); at += samples) {
      std::vector<int16_t> chunk(pcm.begin() + at,
                                 pcm.begin() + std::min<std::size_t>(pcm.size(), at + samples));
      DWORD got = 0;
      if (encode_(stream, static_cast<DWORD>(chunk.size()), chunk.data(), buffer.data(), &got) != 0)
        throw std::runtime_error("encode");
      out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    }
    DWORD got = 0;
    deinit_(stream, buffer.data(), &got);
    out.insert(out.end(), buffer.begin(), buffer.begin() + got);
    close_(stream);
    return out;
  }

 private:
  template <typename F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
  }
  // The stream handle is the library's pointer, 8 bytes on 64-bit Windows.
  using Init = unsigned long(__cdecl*)(LameConfig*, DWORD*, DWORD*, void**);
  using Encode = unsigned long(__cdecl*)(void*, DWORD, int16_t*, BYTE*, DWORD*);
  using Deinit = unsigned long(__cdecl*)(void*, BYTE*, DWORD*);
  using Close = unsigned long(__cdecl*)(void*);
  HMODULE dll_;
  Init init_;
  Encode encode_;
  Deinit deinit_;
  Close close_;
};

// Interleaved stereo sine tones, one frequency per track, for whole sectors.
inline void AppendTone(std::vector<int16_t>& pcm, int sectors, double hz) {
  const std::size_t frames = std::size_t(sectors) * 588;
  const double step = 2 * 3.14159265358979323846 * hz / 44100;
  for (std::size_t i = 0; i < frames; ++i) {
    const int16_t v = static_cast<int16_t>(8000 * std::sin(step * double(i)));
    pcm.push_back(v);
    pcm.push_back(static_cast<int16_t>(-v));
  }
}

}  // namespace TestAudio

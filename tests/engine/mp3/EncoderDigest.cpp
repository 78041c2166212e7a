// The speed of a lame_enc.dll and the SHA-1 of the bytes it writes, for an
// input made here, so that two builds of the library (32- and 64-bit) can be
// set side by side:   encoder_digest [LIBRARY [SECONDS]]
// LIBRARY defaults to lame_enc.dll beside the program, SECONDS to 60. The input
// is made with integer arithmetic only, so it is the same bytes on every build.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "common/Sha1.h"
#include "tests/engine/interop/LameEncoder.h"

namespace {

// Stereo CD audio: a triangle wave sweeping from 40 Hz to 16 kHz for the first
// half, pseudo-random noise of two channels for the second.
std::vector<int16_t> MakeInput(int seconds) {
  const std::size_t frames = std::size_t(seconds) * 44100, half = frames / 2;
  const uint64_t perHz = (uint64_t(1) << 32) / 44100;  // phase step of 1 Hz
  std::vector<int16_t> pcm;
  pcm.reserve(2 * frames);
  uint32_t phase = 0, noise = 12345;
  for (std::size_t i = 0; i < frames; ++i) {
    if (i < half) {
      phase += uint32_t(perHz * (40 + uint64_t(15960) * i / half));
      const int32_t ramp = int32_t(phase >> 16);
      const int32_t v = (ramp < 0x8000 ? ramp : 0xFFFF - ramp) - 0x4000;
      pcm.push_back(int16_t(v));
      pcm.push_back(int16_t(v / 2));
    } else {
      for (int c = 0; c < 2; ++c) {
        noise = noise * 1664525u + 1013904223u;
        pcm.push_back(int16_t((int32_t(noise >> 16) - 0x8000) / 2));
      }
    }
  }
  return pcm;
}

std::string Sha1Of(const void* data, std::size_t size) {
  Crypt::CSha1 sha;
  sha.Update(static_cast<const unsigned char*>(data), size);
  sha.Final();
  unsigned char digest[20];
  sha.CopyDigest(digest);
  std::string hex;
  char two[3];
  for (unsigned char b : digest) {
    std::snprintf(two, sizeof two, "%02x", b);
    hex += two;
  }
  return hex;
}

double Now() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return double(count.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const wchar_t* library = argc > 1 ? argv[1] : L"lame_enc.dll";
  const int seconds = argc > 2 ? _wtoi(argv[2]) : 60;
  if (seconds <= 0) return 2;
  try {
    const TestAudio::LameEncoder lame(library);
    wchar_t loaded[MAX_PATH] = L"?";
    GetModuleFileNameW(GetModuleHandleW(L"lame_enc.dll"), loaded, MAX_PATH);
    const std::vector<int16_t> pcm = MakeInput(seconds);
    std::printf("%d-bit program, %ls\n%d s of input, sha1 %s\n", int(8 * sizeof(void*)), loaded,
                seconds, Sha1Of(pcm.data(), pcm.size() * sizeof(int16_t)).c_str());
    struct Row {
      const char* name;
      TestAudio::LameConfig config;
    } rows[2];
    rows[0].name = "ABR 128";
    rows[0].config.enableVbr = TRUE;
    rows[0].config.vbrAbrBps = 128000;
    rows[0].config.vbrMethod = 4;  // ABR
    rows[0].config.maxBitRate = 320;
    rows[1].name = "CBR 320";
    rows[1].config.bitRate = rows[1].config.maxBitRate = 320;
    for (const Row& row : rows) {
      const double start = Now();
      const std::vector<unsigned char> mp3 = lame.EncodeStream(pcm, row.config);
      const double took = Now() - start;
      std::printf("%-8s %7.1f s of audio per s  %8zu bytes  sha1 %s\n", row.name, seconds / took,
                  mp3.size(), Sha1Of(mp3.data(), mp3.size()).c_str());
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}

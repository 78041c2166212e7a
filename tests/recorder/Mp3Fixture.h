#pragma once
#include <windows.h>

#include <lame.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// 16-bit stereo PCM of a sine (left) and its octave (right), 0.6 of full scale.
inline std::vector<unsigned char> SinePcm(int frames, double hz) {
  std::vector<unsigned char> pcm(std::size_t(frames) * 4);
  const double step = 2 * 3.14159265358979323846 * hz / 44100;
  for (int i = 0; i < frames; ++i) {
    const int16_t l = int16_t(19660 * std::sin(step * i)),
                  r = int16_t(19660 * std::sin(2 * step * i));
    pcm[4 * i] = l & 0xFF;
    pcm[4 * i + 1] = (l >> 8) & 0xFF;
    pcm[4 * i + 2] = r & 0xFF;
    pcm[4 * i + 3] = (r >> 8) & 0xFF;
  }
  return pcm;
}

// MPEG-1 Layer III at 128 kbit/s without an Info frame, as a backup file holds it.
inline std::vector<unsigned char> EncodeMp3(const std::vector<unsigned char>& pcm) {
  lame_global_flags* gf = lame_init();
  lame_set_in_samplerate(gf, 44100);
  lame_set_num_channels(gf, 2);
  lame_set_brate(gf, 128);
  lame_set_bWriteVbrTag(gf, 0);
  lame_init_params(gf);
  const int frames = int(pcm.size() / 4);
  std::vector<short> samples(std::size_t(frames) * 2);
  for (std::size_t i = 0; i < samples.size(); ++i)
    samples[i] = short(pcm[2 * i] | pcm[2 * i + 1] << 8);
  std::vector<unsigned char> out(std::size_t(frames) * 5 / 4 + 7200 + 16384);
  int n = lame_encode_buffer_interleaved(gf, samples.data(), frames, out.data(), int(out.size()));
  n += lame_encode_flush(gf, out.data() + n, int(out.size()) - n);
  lame_close(gf);
  out.resize(std::size_t(n));
  return out;
}

inline bool WriteBytes(const std::wstring& path,
                       const std::vector<std::vector<unsigned char>>& parts) {
  FILE* f = _wfopen(path.c_str(), L"wb");
  if (!f) return false;
  bool ok = true;
  for (const auto& p : parts) ok = ok && std::fwrite(p.data(), 1, p.size(), f) == p.size();
  return std::fclose(f) == 0 && ok;
}

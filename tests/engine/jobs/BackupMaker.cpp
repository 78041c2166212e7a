#include "tests/engine/jobs/BackupMaker.h"

#include <cmath>
#include <cstdint>
#include <ostream>

#include <boost/iostreams/stream_buffer.hpp>
#include <lame.h>

#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"
#include "engine/streams/WFile.h"
#include "tests/engine/TocBuilder.h"

namespace BackupMaker {
namespace {
const double kPi = 3.14159265358979323846;
const int kSamplesPerCdFrame = 588;

std::vector<short> TonePcm(const DiscPlan& plan) {
  std::vector<short> pcm;
  pcm.reserve(static_cast<std::size_t>(plan.leadOut) * kSamplesPerCdFrame * 2);
  double phase = 0;
  for (std::size_t t = 0; t < plan.trackStarts.size(); ++t) {
    const int end = t + 1 < plan.trackStarts.size() ? plan.trackStarts[t + 1] : plan.leadOut;
    const int samples = (end - plan.trackStarts[t]) * kSamplesPerCdFrame;
    const double step = 2 * kPi * plan.tonesHz[t] / 44100.0;
    for (int i = 0; i < samples; ++i, phase += step) {
      pcm.push_back(static_cast<short>(9000 * std::sin(phase)));
      pcm.push_back(static_cast<short>(6000 * std::sin(phase + kPi / 3)));
    }
  }
  return pcm;
}
}  // namespace

std::vector<unsigned char> EncodeDisc(const DiscPlan& plan) {
  std::vector<short> pcm = TonePcm(plan);
  lame_global_flags* lame = lame_init();
  lame_set_in_samplerate(lame, 44100);
  lame_set_out_samplerate(lame, 44100);
  lame_set_num_channels(lame, 2);
  lame_set_VBR(lame, vbr_off);
  lame_set_brate(lame, 128);
  lame_set_quality(lame, 7);
  lame_set_bWriteVbrTag(lame, 0);
  lame_init_params(lame);
  const int samples = static_cast<int>(pcm.size() / 2);
  std::vector<unsigned char> mp3(static_cast<std::size_t>(samples) * 5 / 4 + 7200 + 16384);
  int size = lame_encode_buffer_interleaved(lame, pcm.data(), samples, mp3.data(),
                                            static_cast<int>(mp3.size()));
  if (size >= 0)
    size += lame_encode_flush(lame, mp3.data() + size, static_cast<int>(mp3.size()) - size);
  lame_close(lame);
  mp3.resize(size > 0 ? static_cast<std::size_t>(size) : 0);
  return mp3;
}

std::vector<BackupDisc> DescribeDiscs(const std::vector<DiscPlan>& plans,
                                      const std::vector<std::vector<unsigned char>>& audio) {
  std::vector<BackupDisc> discs;
  std::streamoff start = 0;
  for (std::size_t d = 0; d < plans.size(); ++d) {
    const DiscPlan& plan = plans[d];
    BackupDisc disc;
    std::vector<int> lbas;
    for (int s : plan.trackStarts) lbas.push_back(plan.firstLba + s);
    lbas.push_back(plan.firstLba + plan.leadOut);
    disc.toc = MakeToc(lbas);
    const std::wstring n = std::to_wstring(d + 1);
    disc.disc.tracks.push_back(TrackText{L"Artist " + n, L"Album " + n, L"Ambient", L"", 2001});
    for (std::size_t t = 0; t < plan.tonesHz.size(); ++t)
      disc.disc.tracks.push_back(TrackText{L"Player " + n + L"." + std::to_wstring(t + 1),
                                           L"Tone " + std::to_wstring(plan.tonesHz[t]) + L" Hz",
                                           L"", L"", t == 1 ? 0 : 1990 + static_cast<int>(t)});
    disc.audioStart = start;
    disc.audioSize = static_cast<int32_t>(audio[d].size());
    start += disc.audioSize + BackupFile::kGapBytes;
    discs.push_back(disc);
  }
  return discs;
}

bool WriteBackup(const std::wstring& path, const std::vector<BackupDisc>& discs,
                 const std::vector<std::vector<unsigned char>>& audio) {
  boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_sink<unsigned char>> buffer(
      boost::iostreams::basic_wfile_sink<unsigned char>(
          path, std::ios_base::out | std::ios_base::binary));
  std::basic_ostream<unsigned char> os(&buffer);
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  if (!BackupFile::WriteTag(os, discs, name)) return false;
  for (std::size_t d = 0; d < audio.size(); ++d) {
    if (d > 0)
      for (unsigned g = 0; g < BackupFile::kGapBlocks; ++g)
        os.write(BackupFile::GapFrame().data(), BackupFile::GapFrame().size());
    os.write(audio[d].data(), static_cast<std::streamsize>(audio[d].size()));
  }
  os.flush();
  return os.good();
}

int ExpectedFrames(const std::vector<BackupDisc>& discs) {
  int64_t frames = 0;
  for (const BackupDisc& disc : discs)
    frames += static_cast<int64_t>(RawToc::TrackLength(0, disc.toc)) * 44100 / 86400;
  return static_cast<int>(frames);
}

}  // namespace BackupMaker

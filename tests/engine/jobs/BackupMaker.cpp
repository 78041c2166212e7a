#include "tests/engine/jobs/BackupMaker.h"

#include <cstdint>
#include <ostream>

#include <boost/iostreams/stream_buffer.hpp>

#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"
#include "engine/streams/WFile.h"
#include "tests/engine/TocBuilder.h"
#include "tests/engine/interop/LameEncoder.h"

namespace BackupMaker {

std::vector<unsigned char> EncodeDisc(const DiscPlan& plan) {
  std::vector<int16_t> pcm;
  for (std::size_t t = 0; t < plan.trackStarts.size(); ++t) {
    const int end = t + 1 < plan.trackStarts.size() ? plan.trackStarts[t + 1] : plan.leadOut;
    TestAudio::AppendTone(pcm, end - plan.trackStarts[t], plan.tonesHz[t]);
  }
  return TestAudio::LameEncoder().EncodeStream(pcm);
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
    disc.toc = MakeToc(lbas, plan.firstTrack);
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

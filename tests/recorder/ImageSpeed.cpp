// How fast the disc's audio becomes raw sectors: through the raw sector stream
// (2448-byte sectors with P-W subchannel and CD-Text, read as a raw-CD writer
// reads it) and through the disc-image job (.bin and .cue). Prints seconds of
// audio per second of work; image_speed.sh puts mpg123's figure beside them.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "recorder/CdText.h"
#include "recorder/DiscSubchannel.h"
#include "recorder/ImageRecorderData.h"
#include "wizard/WizardInfo.h"
#include "recorder/RawStream.h"
#include "tests/engine/TocBuilder.h"
#include "tests/recorder/JobWindow.h"
#include "tests/recorder/Mp3Fixture.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// Music-like PCM: a few tones and some noise, so the encoder and decoder work.
std::vector<unsigned char> Music(int frames) {
  std::vector<unsigned char> pcm = SinePcm(frames, 220);
  unsigned seed = 1;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    seed = seed * 1103515245 + 12345;
    const int s = int16_t(pcm[i] | pcm[i + 1] << 8) / 2 + int((seed >> 16) % 4001) - 2000;
    pcm[i] = static_cast<unsigned char>(s & 0xFF);
    pcm[i + 1] = static_cast<unsigned char>((s >> 8) & 0xFF);
  }
  return pcm;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: image_speed FOLDER [SECONDS]\n");
    return 2;
  }
  const std::wstring folder = argv[1];
  const int seconds = argc > 2 ? _wtoi(argv[2]) : 300;
  const int sectors = seconds * 75, tracks = 10;
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring backup = folder + L"\\backup.mp3";

  const std::vector<unsigned char> mp3 = EncodeMp3(Music(sectors * 588));
  WriteBytes(backup, {mp3});
  std::vector<int> starts;
  for (int t = 0; t <= tracks; ++t) starts.push_back(t * sectors / tracks);
  BackupDisc disc;
  disc.toc = MakeToc(starts);
  disc.audioSize = int32_t(mp3.size());
  disc.disc.tracks.resize(tracks + 1);
  for (int t = 0; t <= tracks; ++t)
    disc.disc.tracks[t] = {L"Performer " + std::to_wstring(t), L"Title " + std::to_wstring(t), L"",
                           L"", 0};

  // The subchannel alone, every sector from the lead-in start to the end.
  const std::vector<unsigned char> cdText = Recorder::BuildCdText(disc.disc, disc.toc);
  struct NoPregaps : Recorder::PregapFinder {
    int32_t FindPregapStart(int32_t, unsigned) override { return -1; }
  } noPregaps;
  auto t0 = Clock::now();
  unsigned char raw96[96];
  unsigned check = 0;
  const int rounds = 10;
  for (int round = 0; round < rounds; ++round) {
    Recorder::DiscSubchannel sub(disc.toc, cdText);
    for (int32_t x = -11635; x < sub.EndLba(); ++x) {
      switch (sub.AreaOf(x)) {
        case Recorder::DiscSubchannel::Area::LeadIn:
          sub.LeadIn(x, raw96);
          break;
        case Recorder::DiscSubchannel::Area::Pregap:
          sub.Pregap(x, raw96);
          break;
        case Recorder::DiscSubchannel::Area::Program:
          sub.Program(x, noPregaps, raw96);
          break;
        default:
          sub.LeadOut(x, raw96);
          break;
      }
      check += raw96[95];
    }
  }
  const double subchannel = Since(t0) / rounds;

  // Raw sectors, as the writer reads them: from the lead-in start to the end.
  t0 = Clock::now();
  HRESULT hr = E_FAIL;
  auto reader = Recorder::CreateMainChannelReader(backup, 0, disc.audioSize, disc.toc, cdText);
  if (!reader) return std::fprintf(stderr, "no sector source\n"), 1;
  auto* stream = new Recorder::RawStream(std::move(reader), true, L"TAVRINStream", 0, &hr);
  LARGE_INTEGER at;
  at.QuadPart = 11635 * 2448;  // a lead-in start that media report
  ULARGE_INTEGER pos;
  stream->Seek(at, STREAM_SEEK_SET, &pos);
  STATSTG st{};
  stream->Stat(&st, STATFLAG_NONAME);
  std::vector<unsigned char> buffer(26 * 2448);
  uint64_t left = st.cbSize.QuadPart - pos.QuadPart;
  while (left > 0) {
    ULONG got = 0;
    const ULONG n = ULONG(std::min<uint64_t>(left, buffer.size()));
    if (FAILED(stream->Read(buffer.data(), n, &got)) || got != n)
      return std::fprintf(stderr, "raw stream failed\n"), 1;
    left -= n;
  }
  stream->Release();
  const double raw = Since(t0);

  // The disc image job, until both files have their names.
  const std::wstring cue = folder + L"\\image.cue";
  DeleteFileW(cue.c_str());
  JobWindow window;
  ImageRecorderData job;
  t0 = Clock::now();
  job.Setup(window.hwnd(), cue, backup, 0, {disc});
  job.StartThread();
  while (GetFileAttributesW(cue.c_str()) == INVALID_FILE_ATTRIBUTES) {
    window.Drain();
    Sleep(1);
  }
  const double image = Since(t0);
  const bool ok = job.Finish();

  std::printf("audio %d s\nsubchannel %.0f\nraw-sectors %.1f\ndisc-image %.1f\ncheck %u\n", seconds,
              seconds / subchannel, seconds / raw, seconds / image, check);
  return ok ? 0 : 1;
}

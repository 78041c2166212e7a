// Throughput of the extraction engine, run by the extract_benchmark target,
// which sets the figures beside mp3splt, ffmpeg and mpg123 on the same cuts.
// Writes bench.mp3 (one disc of 20 one-minute tracks), the songs under mp3\ and
// wav\, and cuts.txt (each track's start and end in CD frames) in the current
// folder.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "engine/jobs/ExtracterData.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/engine/jobs/SongList.h"
#include "tests/support/JobNotifications.h"

namespace {
using Clock = std::chrono::steady_clock;
const int kTracks = 20;
const int kTrackFrames = 75 * 60;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

bool AllExist(const std::vector<std::wstring>& paths) {
  for (const std::wstring& p : paths)
    if (GetFileAttributesW(p.c_str()) == INVALID_FILE_ATTRIBUTES) return false;
  return true;
}

// Seconds from StartExtraction until every song is in place; the scan runs
// first unless it has already ended.
double Extract(const std::vector<BackupDisc>& discs, const std::wstring& folder, bool mp3,
               bool waitForScan) {
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& f : FilesIn(folder)) DeleteFileW((folder + L"\\" + f).c_str());
  const SongList songs = SongList::AllTracks(discs, folder, mp3 ? L".mp3" : L".wav");
  ExtracterData engine;
  JobNotifications notifications;
  const Clock::time_point scan = Clock::now();
  engine.Scan(L"bench.mp3", BackupMaker::ExpectedFrames(discs), discs);
  if (waitForScan) Sleep(3000);
  const Clock::time_point start = Clock::now();
  songs.StartOn(engine, notifications.window(), mp3);
  notifications.PumpUntil([&] { return AllExist(songs.paths); }, 600000);
  const Clock::time_point end = Clock::now();
  notifications.WaitDone();
  std::wstring text;
  engine.Stop(text);
  if (!engine.Succeeded()) std::printf("extraction failed\n");
  return Seconds(end - (waitForScan ? start : scan));
}
}  // namespace

int main() {
  BackupMaker::DiscPlan minute = {{0}, kTrackFrames, 0, {440}};
  const std::vector<unsigned char> once = BackupMaker::EncodeDisc(minute);
  std::vector<unsigned char> audio;
  BackupMaker::DiscPlan plan = {{}, kTracks * kTrackFrames, 0, {}};
  std::FILE* cuts = std::fopen("cuts.txt", "wb");
  for (int t = 0; t < kTracks; ++t) {
    audio.insert(audio.end(), once.begin(), once.end());
    plan.trackStarts.push_back(t * kTrackFrames);
    plan.tonesHz.push_back(440);
    std::fprintf(cuts, "%d %d\n", t * kTrackFrames, (t + 1) * kTrackFrames);
  }
  std::fclose(cuts);
  const std::vector<std::vector<unsigned char>> discAudio = {audio};
  if (!BackupMaker::WriteBackup(L"bench.mp3", BackupMaker::DescribeDiscs({plan}, discAudio),
                                discAudio))
    return 1;
  ByteSourceSB source(L"bench.mp3", std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> is(&source);
  const std::vector<BackupDisc> discs = BackupFile::ReadDiscs(is);
  if (discs.empty()) return 1;

  const double mb = audio.size() / 1e6;
  const double audioSeconds = kTracks * kTrackFrames / 75.0;
  std::printf("backup: %d tracks, %.0f s of audio, %.1f MB of MP3\n", kTracks, audioSeconds, mb);
  const double scanAndCopy = Extract(discs, L"mp3", true, false);
  const double copy = Extract(discs, L"mp3", true, true);
  const double decode = Extract(discs, L"wav", false, true);
  std::printf("engine  scan + MP3 copy      %7.3f s  %7.1f MB/s\n", scanAndCopy, mb / scanAndCopy);
  std::printf("engine  MP3 copy (scanned)   %7.3f s  %7.1f MB/s\n", copy, mb / copy);
  std::printf("engine  WAV decode (scanned) %7.3f s  %7.1f s of audio per s\n", decode,
              audioSeconds / decode);
  return 0;
}

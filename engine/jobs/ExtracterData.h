#pragma once
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <istream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/mp3/MP3Seeker.h"
#include "engine/streams/ByteSourceSB.h"

// Cuts songs out of a backup file on two threads of its own: the frame scan
// indexes every disc's MP3 frames while the user still chooses the tracks, and
// the extraction then writes one file per chosen track, either the track's MP3
// frames behind a song tag of their own or the track decoded to a WAV file.
// Progress goes to the notify window as WM_JOB_NOTIFY messages.
//
// Scan, StartExtraction and Stop are called from the user-interface thread.
// The owner calls Stop before it releases the engine; the destructor stops and
// joins the threads too, so no thread ever outlives the engine.
class ExtracterData {
 public:
  using ByteIStream = std::basic_istream<unsigned char>;

  // The frame index of one backup file, kept for the engine's life so that a
  // second extraction from the same file needs no second scan.
  struct ScanState {
    bool complete = false;
    bool error = false;
    int currentDisc = 0;  // the disc being scanned
    int expectedFrames = 0;
    // Only while a disc is being scanned.
    std::shared_ptr<ByteSourceSB> source;
    std::shared_ptr<ByteIStream> stream;
    std::vector<std::shared_ptr<MP3::MP3Seeker>> seekers;  // one per disc, null until scanned
    std::vector<BackupDisc> discs;
  };

  struct TrackJob {
    int track = 0;  // raw TOC entry number of the track in its disc
    std::wstring path;
    int disc = 0;  // index into the scan state's discs
  };

  // MP3 frames [first, end) of a track: CD frames of 588 samples turned into
  // MP3 frames of 1152 samples.
  struct FrameRange {
    uint64_t first = 0;
    uint64_t end = 0;
  };
  static FrameRange TrackFrames(unsigned track, const std::vector<unsigned char>& toc);

  ExtracterData() = default;
  ~ExtracterData();
  ExtracterData(const ExtracterData&) = delete;
  ExtracterData& operator=(const ExtracterData&) = delete;

  // Makes the file's scan state current and starts its scan unless it is complete.
  HRESULT Scan(const std::wstring& backupPath, int expectedFrames,
               const std::vector<BackupDisc>& discs);
  // Accepts the songs to write; the extraction starts once the scan is complete.
  HRESULT StartExtraction(HWND notify, const std::vector<int>& tracks,
                          const std::vector<std::wstring>& paths, const std::vector<int>& discs,
                          bool mp3);
  // Stops and joins both threads; after a successful extraction an empty text
  // gets the success message.
  HRESULT Stop(std::wstring& text);

  bool Succeeded() const { return success_; }
  int ProgressRange() const { return range_; }

 private:
  void FramescanThread(std::wstring path, std::shared_ptr<ScanState> state);
  // Indexes the discs of the state from its current disc on; returns when the
  // state is complete or a stop was requested.
  void ScanDiscs(const std::wstring& path, ScanState& state);
  // Under the mutex, when the state has just become complete (or failed).
  void EndScan(ScanState& state);
  void FailScan(ScanState& state);
  // Under the mutex: starts the extract thread unless it runs or a stop is pending.
  void LaunchExtraction();
  void ExtracterThread();
  bool ExtractTrack(const TrackJob& job, int& chunksWritten);
  static int ReadForDecoder(void* user, std::uint64_t sourceBytePos, std::uint64_t framePos,
                            unsigned char* buffer, unsigned byteCount, unsigned frameCount,
                            unsigned blockAlign, unsigned* outBytes, unsigned* outFrames);
  void Post(WPARAM code, LPARAM value) const;
  void SetProgress(int position) const;
  // Sets the stop flag and joins whatever thread runs.
  void StopThreads();

  std::map<std::wstring, std::shared_ptr<ScanState>> scanStates_;
  std::mutex mutex_;
  std::condition_variable wake_;  // ends the pause before the last message on a stop
  std::thread scanThread_;
  std::thread extractThread_;
  std::atomic<HWND> notify_{nullptr};
  std::wstring backupPath_;
  std::shared_ptr<ScanState> current_;
  std::vector<TrackJob> trackJobs_;
  bool mp3_ = false;
  std::atomic<bool> success_{false};
  std::atomic<bool> stop_{false};
  bool extractRunning_ = false;  // the extract thread was started and not yet joined
  std::atomic<bool> error_{false};
  int scanSteps_ = 0;
  int range_ = 0;
  ByteIStream* decoderInput_ = nullptr;
  int64_t decoderLeft_ = 0;
};

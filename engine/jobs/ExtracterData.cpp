#include "engine/jobs/ExtracterData.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <system_error>

#include "common/Boundary.h"
#include "common/Localizer.h"
#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"
#include "engine/mp3/Mp3Frame.h"
#include "engine/streams/ChunkStream.h"
#include "wizard/jobs/WorkerScope.h"
#include "wizard/jobs/Action.h"

namespace {
// A scan may find this many frames more or fewer than the discs' lengths give.
const int64_t kFrameTolerance = 382;
}  // namespace

ExtracterData::FrameRange ExtracterData::TrackFrames(unsigned track,
                                                     const std::vector<unsigned char>& toc) {
  const int64_t start = RawToc::TrackStart(track, toc);
  const int64_t length = RawToc::TrackLength(track, toc);
  FrameRange range;
  // Rounded up only within one MP3 frame's samples of the next frame.
  range.first = (static_cast<uint64_t>(start) * Mp3Frame::kSampleRate + Mp3Frame::kSamples - 1) /
                Mp3Frame::kCdFrameScale;
  range.end =
      static_cast<uint64_t>(start + length) * Mp3Frame::kSampleRate / Mp3Frame::kCdFrameScale;
  return range;
}

ExtracterData::~ExtracterData() { StopThreads(); }

void ExtracterData::Post(WPARAM code, LPARAM value) const {
  const HWND window = notify_.load();
  if (window) PostMessageW(window, WM_JOB_NOTIFY, code, value);
}

void ExtracterData::StopThreads() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    wake_.notify_all();
  }
  // The scan's end may start the extraction, so the scan is joined first.
  if (scanThread_.joinable()) scanThread_.join();
  if (extractThread_.joinable()) extractThread_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  extractRunning_ = false;
}

HRESULT ExtracterData::Scan(const std::wstring& backupPath, int expectedFrames,
                            const std::vector<BackupDisc>& discs) {
  StopThreads();
  std::shared_ptr<ScanState>& state = scanStates_[backupPath];
  if (!state) {
    state = std::make_shared<ScanState>();
    state->expectedFrames = expectedFrames;
    state->discs = discs;
  }
  backupPath_ = backupPath;
  current_ = state;
  std::lock_guard<std::mutex> lock(mutex_);
  notify_ = nullptr;
  stop_ = false;
  if (!state->complete) {
    try {
      scanThread_ = std::thread([this, backupPath, state] {
        if (Boundary::Run("the frame scan", [&] { FramescanThread(backupPath, state); })) return;
        Boundary::Run("the frame scan", [&] {
          std::lock_guard<std::mutex> lock(mutex_);
          FailScan(*state);
        });
      });
    } catch (const std::system_error&) {
      FailScan(*state);
    }
  }
  return S_OK;
}

HRESULT ExtracterData::StartExtraction(HWND notify, const std::vector<int>& tracks,
                                       const std::vector<std::wstring>& paths,
                                       const std::vector<int>& discs, bool mp3) {
  std::lock_guard<std::mutex> lock(mutex_);
  // One extraction at a time: a start while one runs, or waits for its scan,
  // changes nothing of it, its range included.
  if (extractRunning_ || (notify_.load() && !stop_ && current_ && !current_->complete))
    return E_INVALIDARG;
  // Any other refused start leaves no range of an earlier extraction behind:
  // the page takes a range of 0 for a job that did not start.
  range_ = 0;
  if (scanStates_.count(backupPath_) == 0) return E_INVALIDARG;
  if (tracks.empty() || tracks.size() != paths.size() || tracks.size() != discs.size())
    return E_INVALIDARG;
  const std::shared_ptr<ScanState> state = scanStates_[backupPath_];

  // A song must name a track of a disc of the file.
  uint64_t total = 0;
  std::vector<TrackJob> jobs;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    if (discs[i] < 0 || static_cast<std::size_t>(discs[i]) >= state->discs.size())
      return E_INVALIDARG;
    const std::vector<unsigned char>& toc = state->discs[discs[i]].toc;
    if (tracks[i] < 1 || tracks[i] > RawToc::TrackCount(toc)) return E_INVALIDARG;
    const FrameRange frames = TrackFrames(static_cast<unsigned>(tracks[i]), toc);
    if (frames.first < frames.end) total += frames.end - frames.first;
    jobs.push_back(TrackJob{tracks[i], paths[i], discs[i]});
  }
  notify_ = notify;
  trackJobs_ = std::move(jobs);
  success_ = false;
  mp3_ = mp3;
  scanSteps_ = state->expectedFrames / 1000;
  const int extractSteps = static_cast<int>(std::min<uint64_t>(total / 100, 0x3FFFFFFF));
  range_ = std::max(1, scanSteps_ + extractSteps);

  if (state->error) {
    Post(JOB_DONE, 0);
    return E_FAIL;
  }
  if (state->complete) LaunchExtraction();
  return S_OK;
}

void ExtracterData::LaunchExtraction() {
  if (extractRunning_ || stop_) return;
  try {
    extractThread_ = std::thread([this] {
      if (Boundary::Run("the extraction", [this] { ExtracterThread(); })) return;
      error_ = true;
      Post(JOB_DONE, 0);
    });
    extractRunning_ = true;
  } catch (const std::system_error&) {
    error_ = true;
    Post(JOB_DONE, 0);
  }
}

HRESULT ExtracterData::Stop(std::wstring& text) {
  if (scanStates_.count(backupPath_) == 0) return E_INVALIDARG;
  StopThreads();
  if (success_ && text.empty())
    text = Localizer::Translate(L"Your tracks have been successfully created{SUCCESS_EXTRACT}");
  return S_OK;
}

void ExtracterData::FramescanThread(std::wstring path, std::shared_ptr<ScanState> state) {
  WorkerScope scope("Framescan Thread", THREAD_PRIORITY_BELOW_NORMAL);
  try {
    ScanDiscs(path, *state);
  } catch (const std::exception&) {
    std::lock_guard<std::mutex> lock(mutex_);
    FailScan(*state);
  }
}

void ExtracterData::ScanDiscs(const std::wstring& path, ScanState& state) {
  int posted = -1;
  while (!stop_) {
    std::shared_ptr<MP3::MP3Seeker> seeker;
    int64_t framesSoFar = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (state.complete) return;
      if (state.seekers.size() < state.discs.size()) state.seekers.resize(state.discs.size());
      if (static_cast<std::size_t>(state.currentDisc) >= state.discs.size()) {
        EndScan(state);
        return;
      }
      seeker = state.seekers[state.currentDisc];
      if (!seeker) {
        state.source =
            std::make_shared<ByteSourceSB>(path, std::ios_base::in | std::ios_base::binary);
        state.stream = std::make_shared<ByteIStream>(state.source.get());
        std::vector<BackupDisc> discs = BackupFile::ReadDiscs(*state.stream);
        if (discs.empty() || static_cast<std::size_t>(state.currentDisc) >= discs.size()) {
          FailScan(state);
          return;
        }
        state.discs = std::move(discs);
        state.seekers.resize(state.discs.size());
        const BackupDisc& disc = state.discs[state.currentDisc];
        seeker = std::make_shared<MP3::MP3Seeker>();
        if (!seeker->Open(OpenChunkStream(*state.stream, disc.audioStart, disc.audioSize))) {
          FailScan(state);
          return;
        }
        state.seekers[state.currentDisc] = seeker;
      }
      for (const auto& other : state.seekers)
        if (other && other != seeker) framesSoFar += static_cast<int64_t>(other->FrameCount());
    }
    framesSoFar += static_cast<int64_t>(seeker->FrameCount());

    for (;;) {
      const bool more = seeker->NextFrame();
      if (more) ++framesSoFar;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;  // the state stays incomplete and resumes on the next scan
        if (!more) {
          seeker->Open(nullptr);
          ++state.currentDisc;
          if (static_cast<std::size_t>(state.currentDisc) >= state.discs.size()) {
            EndScan(state);
            return;
          }
          break;
        }
      }
      const int step = static_cast<int>(framesSoFar / 1000);
      if (step != posted && notify_.load()) {
        posted = step;
        Post(JOB_PROGRESS, step);
      }
    }
  }
}

void ExtracterData::EndScan(ScanState& state) {
  state.complete = true;
  state.stream.reset();
  state.source.reset();
  int64_t frames = 0;
  for (const auto& seeker : state.seekers)
    if (seeker) frames += static_cast<int64_t>(seeker->FrameCount());
  if (std::llabs(frames - state.expectedFrames) > kFrameTolerance) {
    FailScan(state);
    return;
  }
  // Whichever comes second, this or StartExtraction, starts the extraction.
  if (notify_.load()) LaunchExtraction();
}

void ExtracterData::FailScan(ScanState& state) {
  state.error = true;
  state.complete = true;
  for (const auto& seeker : state.seekers)
    if (seeker) seeker->Open(nullptr);
  state.stream.reset();
  state.source.reset();
  error_ = true;
  // Without a window yet, StartExtraction reports the failure itself.
  Post(JOB_DONE, 0);
}

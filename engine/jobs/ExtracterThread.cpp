// The extract thread of ExtracterData: one song file per track job.
#include <algorithm>
#include <array>
#include <chrono>
#include <exception>
#include <vector>

#include "engine/backup/BackupNames.h"
#include "engine/streams/ChunkStream.h"
#include "engine/jobs/ExtracterData.h"
#include "engine/jobs/SongFile.h"
#include "wizard/jobs/WorkerScope.h"
#include "engine/mp3/AcmWrapper.h"
#include "engine/mp3/BackupMp3Format.h"
#include "engine/mp3/Mp3Frame.h"
#include "wizard/jobs/Action.h"

namespace {
const std::streamsize kReadBuffer = 64 * 1024;
// The furthest a Layer III frame's main data may begin before its header.
const std::streamoff kMaxReservoirBytes = 511;
const std::chrono::milliseconds kPauseBeforeDone(1500);

// RIFF, WAVE, "fmt " of 16 bytes (PCM, 2 channels, 44100 Hz, 176400 bytes/s,
// block align 4, 16 bits), "data"; both sizes are filled in at the end.
const std::array<unsigned char, 44> kWaveHeader = {
    0x52, 0x49, 0x46, 0x46, 0x00, 0x00, 0x00, 0x00, 0x57, 0x41, 0x56, 0x45, 0x66, 0x6D, 0x74,
    0x20, 0x10, 0x00, 0x00, 0x00, 0x01, 0x00, 0x02, 0x00, 0x44, 0xAC, 0x00, 0x00, 0x10, 0xB1,
    0x02, 0x00, 0x04, 0x00, 0x10, 0x00, 0x64, 0x61, 0x74, 0x61, 0x00, 0x00, 0x00, 0x00};
const std::streamoff kRiffSizeOffset = 4;
const std::streamoff kDataSizeOffset = 40;

// The first frame to decode for a song from frame f: the frame before f, whose
// samples overlap f's, and as many earlier ones as hold its bit reservoir.
uint64_t PrimingStart(const MP3::MP3Seeker& seeker, uint64_t f) {
  if (f == 0) return 0;
  uint64_t first = f - 1;
  const std::streamoff reach =
      static_cast<std::streamoff>(seeker.FramePosition(first)) - kMaxReservoirBytes;
  while (first > 0 && static_cast<std::streamoff>(seeker.FramePosition(first)) > reach) --first;
  return first;
}

bool WriteLittleEndian32(std::basic_ostream<unsigned char>& os, std::streamoff at, uint32_t value) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
      static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
  os.seekp(at);
  os.write(bytes, 4);
  os.flush();
  return os.good();
}

// Fills in the RIFF and data sizes of a finished WAV file.
bool FinishWave(std::basic_ostream<unsigned char>& os) {
  const std::streamoff end = os.tellp();
  if (end < static_cast<std::streamoff>(kWaveHeader.size())) return false;
  const uint32_t data =
      static_cast<uint32_t>(end - static_cast<std::streamoff>(kWaveHeader.size()));
  if (!WriteLittleEndian32(os, kDataSizeOffset, data)) return false;
  if (!WriteLittleEndian32(os, kRiffSizeOffset, data + 36)) return false;
  os.seekp(0, std::ios_base::end);
  os.flush();
  return os.good();
}

// Clears the decoder's input on every way out of a track.
struct DecoderInputScope {
  std::basic_istream<unsigned char>*& input;
  ~DecoderInputScope() { input = nullptr; }
};
}  // namespace

void ExtracterData::SetProgress(int position) const {
  Post(JOB_PROGRESS, std::min(position, range_ - 1));
}

void ExtracterData::ExtracterThread() {
  WorkerScope scope("Extracter Thread");
  SetProgress(scanSteps_);
  try {
    int chunksWritten = 0;
    for (const TrackJob& job : trackJobs_) {
      if (stop_) break;
      if (!ExtractTrack(job, chunksWritten)) {
        error_ = true;
        break;
      }
    }
  } catch (const std::exception&) {
    error_ = true;
  }
  if (!error_ && !stop_) success_ = true;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kPauseBeforeDone, [this] { return stop_.load(); });
  }
  Post(JOB_DONE, 0);
}

// Writes one song; false after a read, decode or write failure. A track that
// has no frames in the index writes nothing and is no failure.
bool ExtracterData::ExtractTrack(const TrackJob& job, int& chunksWritten) {
  const ScanState& state = *current_;
  // The scan read the discs anew; a file changed since the songs were chosen
  // may no longer hold the disc.
  if (static_cast<std::size_t>(job.disc) >= state.discs.size()) return false;
  const BackupDisc& disc = state.discs[job.disc];
  const FrameRange frames = TrackFrames(static_cast<unsigned>(job.track), disc.toc);
  const std::shared_ptr<MP3::MP3Seeker> seeker =
      static_cast<std::size_t>(job.disc) < state.seekers.size() ? state.seekers[job.disc] : nullptr;
  if (frames.first >= frames.end || !seeker || frames.first >= seeker->FrameCount()) return true;
  const int64_t count = static_cast<int64_t>(frames.end - frames.first);
  const int64_t steps = std::max<int64_t>(1, count / 100);

  SongFile song(job.path);
  std::basic_ostream<unsigned char>& os = song.stream();
  std::shared_ptr<AcmWrapper::IACMWrapper> decoder;
  if (mp3_) {
    BackupFile::WriteSongTag(os, static_cast<unsigned>(job.track), disc);
  } else {
    decoder = AcmWrapper::CreateACMWrapper();
    os.write(kWaveHeader.data(), kWaveHeader.size());
    MPEGLAYER3WAVEFORMAT format = AcmWrapper::BackupMp3Format();
    if (decoder->OpenDecoder(&format.wfx, 44100, this, &ExtracterData::ReadForDecoder) != S_OK)
      return false;
  }
  os.flush();
  if (!os.good()) return false;

  // A decoded song starts a few frames early, so that its first frames have
  // their bit reservoir and their overlap; what those give is dropped.
  const uint64_t first = mp3_ ? frames.first : PrimingStart(*seeker, frames.first);
  const int64_t start = static_cast<std::streamoff>(seeker->FramePosition(first));
  const int64_t end = frames.end < seeker->FrameCount()
                          ? static_cast<std::streamoff>(seeker->FramePosition(frames.end))
                          : static_cast<int64_t>(static_cast<uint32_t>(disc.audioSize));
  if (start < 0 || end < start) return false;

  ByteSourceSB source(backupPath_, std::ios_base::in | std::ios_base::binary);
  ByteIStream file(&source);
  const std::shared_ptr<ByteIStream> in =
      OpenChunkStream(file, disc.audioStart + static_cast<std::streamoff>(start),
                      static_cast<int32_t>(end - start), kReadBuffer);
  DecoderInputScope inputScope{decoderInput_};
  decoderInput_ = in.get();
  decoderLeft_ = end - start;

  int64_t remaining = end - start;
  int64_t chunk = std::max<int64_t>(1, remaining / steps);
  int64_t divisor = 1;
  if (!mp3_) {
    unsigned skipped = 0;
    const unsigned priming = static_cast<unsigned>(frames.first - first) * Mp3Frame::kSamples;
    if (priming > 0 && (decoder->Decode(nullptr, priming, &skipped) != S_OK || error_))
      return false;
    remaining = count * int64_t(Mp3Frame::kPcmBytes);
    unsigned inputBytes = 0, outputBytes = 0;
    decoder->GetBufferSizes(&inputBytes, &outputBytes);
    chunk = std::max<int64_t>(4, inputBytes & ~3u);
    divisor = std::max<int64_t>(1, remaining / (chunk * steps));
  }
  std::vector<unsigned char> buffer(static_cast<std::size_t>(chunk));

  int position = -1;
  while (remaining > 0 && !stop_) {
    int64_t n = std::min(chunk, remaining);
    if (mp3_) {
      in->read(buffer.data(), n);
      if (!in->good()) return false;
    } else {
      unsigned delivered = 0;
      if (decoder->Decode(buffer.data(), static_cast<unsigned>(n / 4), &delivered) != S_OK)
        return false;
      if (error_) return false;  // the input failed under the decoder
      n = static_cast<int64_t>(delivered) * 4;
      if (n == 0) break;
    }
    os.write(buffer.data(), n);
    if (!os.good()) return false;
    ++chunksWritten;
    const int now = scanSteps_ + static_cast<int>(mp3_ ? chunksWritten : chunksWritten / divisor);
    if (now != position) {
      position = now;
      SetProgress(now);
    }
    remaining -= n;
  }
  if (stop_) return true;  // the song is dropped unfinished

  os.flush();
  if (!os.good()) return false;
  if (!mp3_ && !FinishWave(os)) return false;
  return song.Commit();
}

int ExtracterData::ReadForDecoder(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer,
                                  unsigned byteCount, unsigned, unsigned, unsigned* outBytes,
                                  unsigned* outFrames) {
  ExtracterData* self = static_cast<ExtracterData*>(user);
  if (!self->decoderInput_) return 0;
  const unsigned n = static_cast<unsigned>(std::min<int64_t>(byteCount, self->decoderLeft_));
  if (n > 0) {
    self->decoderInput_->read(buffer, n);
    if (!self->decoderInput_->good()) {
      self->error_ = true;
      return 0;
    }
  }
  self->decoderLeft_ -= n;
  *outBytes = n;
  *outFrames = 4 * n;
  return 1;
}

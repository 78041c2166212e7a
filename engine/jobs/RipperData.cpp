#include "engine/jobs/RipperData.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include <boost/iostreams/categories.hpp>
#include <boost/iostreams/stream_buffer.hpp>

#include "common/Boundary.h"
#include "common/Localizer.h"
#include "common/PathParts.h"
#include "common/TextFormat.h"
#include "common/Utf8.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "engine/cd/CdDevice.h"
#include "engine/cd/RawToc.h"
#include "engine/jobs/SectorReader.h"
#include "wizard/jobs/WorkerScope.h"
#include "engine/mp3/MP3Encoder.h"
#include "engine/mp3/Mp3Frame.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/WFile.h"
#include "wizard/WizardInfo.h"

namespace {

const wchar_t kWriteError[] = L"There was an error writing the Backup-File.{ERROR_MP3_WRITE}";
const wchar_t kTooManyErrors[] =
    L"There were oo many errors reading the Audio-CD.{CD_READ_ERROR_MANY}";
const wchar_t kBadToc[] = L"There was a fatal error reading the Audio-CD.{CD_READ_ERROR}";
const wchar_t kSuccess[] = L"The TAVRIN backup file %s has been successfully created{SUCCESS_RIP}";
const wchar_t kSuccessWithErrors[] =
    L"The TAVRIN backup file %s has been created, but %d sectors could not be "
    L"read{SUCCESS_RIP_READ_ERRORS}";
const wchar_t kOldFileKept[] = L"The previous backup file was kept as %s{RIP_OLD_FILE_KEPT}";
const wchar_t kOldFileUnchanged[] =
    L"The backup file %s was left as it was{RIP_OLD_FILE_UNCHANGED}";
const wchar_t kNothingWritten[] = L"No backup file was written{RIP_NOTHING_WRITTEN}";

const int kEncoderBufferBytes = 4096;
const int64_t kEncoderTailBytes = 8640;  // what the encoder may hand out at the end
const std::size_t kReadBufferBytes = 65536;
const std::size_t kCopyPieceBytes = 2048;

// The backup file as the ripper's own file device.
class WFileOutput : public RipperData::OutputFile {
 public:
  explicit WFileOutput(const std::wstring& path)
      : file_(path, std::ios_base::out | std::ios_base::binary) {}
  std::streamsize Write(const unsigned char* s, std::streamsize n) override {
    return file_.write(s, n);
  }

 private:
  boost::iostreams::basic_wfile_sink<unsigned char> file_;
};

// The device under the output stream: remembers a short write, which the
// stream's flush does not report.
class OutputSink {
 public:
  typedef unsigned char char_type;
  typedef boost::iostreams::sink_tag category;
  OutputSink(RipperData::OutputFile* file, bool* failed) : file_(file), failed_(failed) {}
  std::streamsize write(const unsigned char* s, std::streamsize n) {
    const std::streamsize put = file_->Write(s, n);
    if (put < n) *failed_ = true;
    return put;
  }

 private:
  RipperData::OutputFile* file_;
  bool* failed_;
};

}  // namespace

class RipperData::Output : public RipperData::ByteOStream {
 public:
  explicit Output(std::unique_ptr<RipperData::OutputFile> file)
      : RipperData::ByteOStream(nullptr),
        file_(std::move(file)),
        buffer_(OutputSink(file_.get(), &failed_)) {
    rdbuf(&buffer_);
  }
  // Whether everything written so far has reached the file.
  bool Healthy() const { return good() && !failed_; }
  bool Flushed() { return flush().good() && !failed_; }

 private:
  bool failed_ = false;
  std::unique_ptr<RipperData::OutputFile> file_;
  boost::iostreams::stream_buffer<OutputSink> buffer_;
};

namespace {

// The end of the encoding chain: passes the MP3 bytes on to the output stream.
// Once the file has failed (a full disk) it swallows the rest, so that closing
// the chain never waits for a device that takes nothing; the failure stays
// with the output stream.
class StreamSink {
 public:
  typedef unsigned char char_type;
  typedef boost::iostreams::sink_tag category;
  explicit StreamSink(RipperData::Output& out) : out_(&out) {}
  std::streamsize write(const unsigned char* s, std::streamsize n) {
    if (out_->Healthy()) out_->write(s, n);
    return n;
  }

 private:
  RipperData::Output* out_;
};

// The open drive, closed on every way out of the rip.
struct DriveCloser {
  void operator()(CdDevice::DriveHandle* h) const { CdDevice::CloseDrive(h); }
};

}  // namespace

RipperData::RipperData() = default;

RipperData::~RipperData() { StopWorker(); }

int RipperData::Start(HWND notify, CWizardInfo info) {
  notify_ = notify;
  if (info->drive) {
    driveLetter_ = info->drive->letter;
    toc_ = info->drive->toc;
  }
  existing_ = info->discs;
  quality_ = info->quality;
  backupPath_ = info->backupPath;
  disc_ = info->disc;
  pictures_ = &info->coverImages;
  return StartRip() == 0 ? range_ : 0;
}

const wchar_t RipperData::kTooLargeText[] =
    L"The backup file would grow beyond 2 GB. Please choose another backup "
    L"file.{ERROR_BACKUP_TOO_LARGE}";

const wchar_t RipperData::kFullText[] =
    L"The backup file already holds 99 discs. Please choose another backup "
    L"file.{ERROR_BACKUP_FULL}";

bool RipperData::AppendFitsBackup(const std::vector<BackupDisc>& discs, int64_t newDiscBytes) {
  if (newDiscBytes < 0) return false;
  if (discs.empty()) return newDiscBytes <= BackupFile::kMaxBackupBytes;
  const BackupDisc& last = discs.back();
  const int64_t end =
      std::streamoff(last.audioStart) + last.audioSize + BackupFile::kGapBytes + newDiscBytes;
  return end <= BackupFile::kMaxBackupBytes;
}

// The file stays below 2 GiB: the disc's seconds at the highest bit rate of
// its quality, and the encoder's last frames, must fit behind the discs there.
bool RipperData::FitsBehind(int32_t sectors, const std::vector<BackupDisc>& existing, int quality) {
  Encoders::EncoderSettings settings;
  Encoders::GetEncoderSettings(quality, settings);
  const int64_t estimate =
      int64_t(sectors) * settings.maximumBitRate / 8 / kSectorsPerStep + kEncoderTailBytes;
  return AppendFitsBackup(existing, estimate);
}

bool RipperData::AppendFits(const std::vector<unsigned char>& toc,
                            const std::vector<BackupDisc>& existing, int quality) {
  if (!RawToc::Usable(toc)) return true;  // the rip itself refuses such a disc
  return FitsBehind(RawToc::TrackLength(0, toc), existing, quality);
}

HRESULT RipperData::StartRip() {
  if (!BackupFile::HasRoomForDisc(existing_)) {
    text_ = Localizer::Translate(kFullText);
    return E_FAIL;
  }
  if (!RawToc::Usable(toc_)) {
    text_ = Localizer::Translate(kBadToc);
    return E_FAIL;
  }
  // The whole disc, from the first track's start to the lead-out.
  sectorCount_ = RawToc::TrackLength(0, toc_);
  startSector_ = RawToc::TrackAddress(1, toc_);
  if (sectorCount_ <= 0) {
    text_ = Localizer::Translate(kBadToc);
    return E_FAIL;
  }
  if (!FitsBehind(sectorCount_, existing_, quality_)) {
    text_ = Localizer::Translate(kTooLargeText);
    return E_FAIL;
  }
  try {
    encoder_ = std::make_shared<Encoder>(quality_, kEncoderBufferBytes);
  } catch (const std::exception& e) {
    const std::string what = e.what();
    text_.assign(what.begin(), what.end());  // the encoder's own English text
    return E_FAIL;
  }
  uint64_t existingBytes = 0;
  for (const BackupDisc& d : existing_) existingBytes += static_cast<uint32_t>(d.audioSize);
  copySteps_ = static_cast<int>(existingBytes / kCopyPieceBytes / 100);
  // A running job never reports range 0, even for a disc of less than a second.
  range_ = std::max(1, sectorCount_ / kSectorsPerStep + copySteps_);
  oldFile_ = std::make_unique<TempCopy>(backupPath_);
  return Launch([this] { RipperThread(this); }) ? 0 : E_FAIL;
}

std::unique_ptr<RipperData::OutputFile> RipperData::OpenOutput(const std::wstring& path) {
  return std::make_unique<WFileOutput>(path);
}

void RipperData::RipperThread(RipperData* job) {
  WorkerScope worker("Ripper Thread", THREAD_PRIORITY_BELOW_NORMAL);
  try {
    job->Rip();
  } catch (const std::exception& e) {
    // The old file is put back even when no memory is left for the text.
    Boundary::Run("the ripper", [&] {
      if (job->text_.empty()) job->text_ = Localizer::Translate(Utf8::Decode(e.what()));
    });
  }
  job->Commit();
  job->Done();
}

// Every stream and the drive are closed by now. Under the mutex, so that a
// stop is either seen here, and the old file stays, or comes once the new
// file has taken its place, and the rip has succeeded.
void RipperData::Commit() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool stopped = Stopping();
  if (stopped && succeeded_) {
    succeeded_ = false;
    failed_ = true;
    text_.clear();
  }
  if (!failed_) return oldFile_->Discard();
  const std::wstring kept = oldFile_->path();
  std::wstring line;
  if (!oldFile_->Restore() && !kept.empty())
    line = TextFormat::Fill(Localizer::Translate(kOldFileKept), {kept});
  else if (stopped && !kept.empty())
    line = TextFormat::Fill(Localizer::Translate(kOldFileUnchanged), {backupPath_});
  else if (stopped)
    line = Localizer::Translate(kNothingWritten);
  if (line.empty()) return;
  if (!text_.empty()) text_ += L"\n";
  text_ += line;
}

void RipperData::WriteError() { text_ = Localizer::Translate(kWriteError); }

void RipperData::SetProgress(int position) {
  if (position == position_) return;
  position_ = position;
  Progress(position);
}

void RipperData::Rip() {
  // The old file is moved aside before anything is written under its name;
  // when that fails nothing has changed and nothing is cleaned up.
  if (!oldFile_->MoveAside()) return WriteError();
  text_.clear();
  failed_ = true;
  position_ = 0;
  Progress(0);

  BackupDisc disc;
  disc.disc = disc_;
  disc.toc = toc_;
  std::vector<TagFrame> pictures;
  for (const CoverImage& image : *pictures_) {
    TagFrame frame;
    if (image.bytes &&
        BackupFile::MakePictureFrame(frame, image.description, *image.bytes, image.kind))
      pictures.push_back(std::move(frame));
  }
  std::vector<BackupDisc> discs = existing_;
  uint64_t bytesToCopy = 0;
  if (!existing_.empty()) {
    const BackupDisc& last = existing_.back();
    const std::streamoff end =
        std::streamoff(last.audioStart) + static_cast<uint32_t>(last.audioSize);
    disc.audioStart = end + BackupFile::kGapBytes;
    bytesToCopy = static_cast<uint64_t>(end - std::streamoff(existing_.front().audioStart));
  }
  discs.push_back(std::move(disc));
  discs.front().pictures = std::move(pictures);

  auto out = std::make_unique<Output>(OpenOutput(backupPath_));
  if (!BackupFile::WriteTag(*out, discs, PathParts::LastComponent(backupPath_)) || !out->Flushed())
    return WriteError();
  if (!existing_.empty() && !CopyExistingAudio(*out, bytesToCopy)) return;
  SetProgress(copySteps_);
  if (!WriteAudio(*out)) return;
  // The encoder has handed out its last frames: only a complete file succeeds.
  if (!out->Flushed()) return WriteError();
  out.reset();
  if (unreadableSectors_ == 0) {
    text_ = TextFormat::Fill(Localizer::Translate(kSuccess), {backupPath_});
  } else {
    text_ = TextFormat::Fill(Localizer::Translate(kSuccessWithErrors),
                             {backupPath_, std::to_wstring(unreadableSectors_)});
  }
  failed_ = false;
  succeeded_ = true;
}

// The audio of the discs already in the file, gaps included, then the gap
// before the new disc.
bool RipperData::CopyExistingAudio(Output& out, uint64_t bytes) {
  boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_source<unsigned char>> buffer(
      boost::iostreams::basic_wfile_source<unsigned char>(
          oldFile_->path(), std::ios_base::in | std::ios_base::binary));
  std::basic_istream<unsigned char> in(&buffer);
  in.seekg(existing_.front().audioStart);
  if (!in.good()) {
    WriteError();
    return false;
  }
  unsigned char piece[kCopyPieceBytes];
  uint64_t copied = 0;
  while (copied < bytes) {
    in.read(piece, static_cast<std::streamsize>(std::min<uint64_t>(sizeof piece, bytes - copied)));
    const std::streamsize got = in.gcount();
    if (got <= 0) break;
    out.write(piece, got);
    if (!out.Healthy()) {
      WriteError();
      return false;
    }
    copied += static_cast<uint64_t>(got);
    if (copied == bytes) break;
    SetProgress(static_cast<int>(uint64_t(copySteps_) * copied / bytes));
    if (Stopping()) return false;
  }
  if (copied < bytes) {
    WriteError();
    return false;
  }
  for (unsigned i = 0; i < BackupFile::kGapBlocks; ++i) {
    out.write(BackupFile::GapFrame().data(), BackupFile::kGapBlockBytes);
    if (!out.Healthy()) {
      WriteError();
      return false;
    }
  }
  return true;
}

// Reads the disc and encodes it into the file; false when the rip ends early.
bool RipperData::WriteAudio(Output& out) {
  std::unique_ptr<CdDevice::DriveHandle, DriveCloser> drive(CdDevice::OpenDrive(driveLetter_));
  if (!drive) return false;
  std::vector<unsigned char> buffer(kReadBufferBytes);
  SectorReader reader(
      [&drive](unsigned char* b, int32_t lba, int count) {
        return CdDevice::ReadAudioSectors(drive.get(), b, lba, count);
      },
      toc_, CdDevice::ReadLastSession(drive.get()));
  boost::iostreams::filtering_byte_stream<boost::iostreams::output> chain;
  chain.push(*encoder_);
  chain.push(StreamSink(out));

  int32_t lba = startSector_;
  int32_t remaining = sectorCount_;
  int accumulated = 0;
  while (remaining > 0) {
    const int n = reader.BlockLength(lba, std::min(SectorReader::kMaxBlock, remaining));
    const bool read = reader.ReadBlock(buffer.data(), lba, n);
    unreadableSectors_ = reader.unreadableSectors();
    if (!read) {
      text_ = Localizer::Translate(kTooManyErrors);
      return false;
    }
    if (Stopping()) return false;
    chain.write(buffer.data(), std::streamsize(n) * SectorReader::kSectorBytes);
    if (!chain.good() || !out.Healthy()) {
      WriteError();
      return false;
    }
    lba += n;
    remaining -= n;
    accumulated += n;
    if (accumulated >= kSectorsPerStep) {
      accumulated -= kSectorsPerStep;
      SetProgress(position_ + 1);
    }
  }
  // Whole MP3 frames: pad the last one with silence.
  const uint32_t frames = static_cast<uint32_t>(sectorCount_) * SectorReader::kSectorBytes / 4;
  if (frames % Mp3Frame::kSamples != 0) {
    const std::size_t padding = (Mp3Frame::kSamples - frames % Mp3Frame::kSamples) * 4;
    std::fill(buffer.begin(), buffer.begin() + padding, 0);
    chain.write(buffer.data(), static_cast<std::streamsize>(padding));
  }
  // Closing the chain drains the encoder into the file.
  chain.reset();
  if (!chain.good() || !out.Healthy()) {
    WriteError();
    return false;
  }
  return true;
}

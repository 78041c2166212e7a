#include "recorder/ImageRecorderData.h"

#include <objbase.h>
#include <share.h>

#include <boost/iostreams/stream_buffer.hpp>
#include <cstdio>
#include <exception>
#include <ostream>

#include "common/Boundary.h"
#include "common/FileIdentity.h"
#include "common/Localizer.h"
#include "common/TextFormat.h"
#include "common/Utf8.h"
#include "engine/backup/CueSheet.h"
#include "engine/cd/RawToc.h"
#include "engine/mp3/Mp3Frame.h"
#include "engine/streams/WFile.h"
#include "recorder/ImageFiles.h"
#include "recorder/Mp3Decoder.h"
#include "recorder/Subchannel.h"
#include "wizard/jobs/WorkerScope.h"

namespace {

const wchar_t kErrorImageFile[] = L"Error writing image file{ERR_IMGFILE}";
const wchar_t kImageCreated[] = L"The image file %s has been successfully created{SUCCESS_IMAGE}";
const wchar_t kOneFile[] =
    L"The cue sheet and the image data cannot share one file: %s\nChoose a name that does not "
    L"end in .bin.{ERR_IMAGE_ONE_FILE}";
const wchar_t kIsBackup[] =
    L"The disc image cannot replace the backup file it is made from: %s{ERR_IMAGE_IS_BACKUP}";
const unsigned kLastMessageMs = 1500;

std::size_t NameStart(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? 0 : slash + 1;
}

void RemoveFile(std::wstring& path) {
  if (!path.empty()) DeleteFileW(path.c_str());
  path.clear();
}

}  // namespace

std::wstring ImageRecorderData::BinPathFor(const std::wstring& cuePath) {
  const std::size_t dot = cuePath.rfind(L'.');
  const std::size_t stem =
      dot == std::wstring::npos || dot < NameStart(cuePath) ? cuePath.size() : dot;
  return cuePath.substr(0, stem) + L".bin";
}

std::wstring ImageRecorderData::RefusedName(const std::wstring& cuePath,
                                            const std::wstring& backupPath) {
  const std::wstring binPath = BinPathFor(cuePath);
  if (FileIdentity::NameOneFile(cuePath, binPath))
    return TextFormat::Fill(Localizer::Translate(kOneFile), {cuePath});
  for (const std::wstring& path : {cuePath, binPath})
    if (FileIdentity::NameOneFile(path, backupPath))
      return TextFormat::Fill(Localizer::Translate(kIsBackup), {path});
  return L"";
}

int ImageRecorderData::Start(HWND notify, CWizardInfo info) {
  const std::vector<int32_t>& queue = info->discQueue;
  const int32_t front = queue.empty() ? 0 : queue.front();
  if (front < 0) return 0;
  if (!Setup(notify, info->imagePath, info->backupPath, static_cast<std::size_t>(front),
             info->discs))
    return 0;
  return StartThread() ? range_ : 0;
}

bool ImageRecorderData::Setup(HWND notify, const std::wstring& cuePath,
                              const std::wstring& backupPath, std::size_t discIndex,
                              const std::vector<BackupDisc>& discs) {
  if (discIndex >= discs.size() || RawToc::TrackLength(0, discs[discIndex].toc) <= 0) return false;
  notify_ = notify;
  cuePath_ = cuePath;
  binPath_ = BinPathFor(cuePath);
  backupPath_ = backupPath;
  discIndex_ = discIndex;
  discs_ = discs;
  return true;
}

bool ImageRecorderData::StartThread() {
  if (discs_.empty()) return false;
  const int64_t sectors = RawToc::TrackLength(0, discs_[discIndex_].toc);
  // A started job never reports range 0, which would read as "not started".
  range_ = std::max(
      1, static_cast<int>(sectors * Mp3Frame::kSampleRate / Mp3Frame::kCdFrameScale / 100));
  return Launch([this] { ThreadProc(); });
}

void ImageRecorderData::ThreadProc() {
  WorkerScope worker("DiscImage Thread", THREAD_PRIORITY_BELOW_NORMAL);
  try {
    WriteImage();
  } catch (const std::exception& e) {
    failed_ = true;
    // The temporary files go even when no memory is left for the text.
    Boundary::Run("the disc image", [&] {
      if (text_.empty()) text_ = Localizer::Translate(Utf8::Decode(e.what()));
    });
  }
  RemoveFile(binTemp_);
  RemoveFile(cueTemp_);
  if (!failed_) {
    text_ = TextFormat::Fill(Localizer::Translate(kImageCreated), {cuePath_});
    succeeded_ = true;
  }
  discs_.clear();
  Done();
}

void ImageRecorderData::WriteImage() {
  namespace io = boost::iostreams;
  Progress(0);
  const BackupDisc& disc = discs_[discIndex_];
  const int64_t sectors = RawToc::TrackLength(0, disc.toc);
  const int64_t frames = sectors * Mp3Frame::kSampleRate / Mp3Frame::kCdFrameScale;
  const int64_t steps = std::max<int64_t>(1, frames / 100);
  text_ = RefusedName(cuePath_, backupPath_);
  if (!text_.empty()) {
    failed_ = true;
    return;
  }

  // The decoder first: a backup file that cannot be decoded touches no file.
  Recorder::Mp3Decoder decoder(backupPath_, disc.audioStart, disc.audioSize,
                               AcmWrapper::CreateACMWrapper());
  const unsigned decodeBytes = decoder.DecodeBytes();
  std::vector<unsigned char> pcm(decodeBytes);

  binTemp_ = ImageFiles::CreateTempBeside(binPath_);
  if (binTemp_.empty()) {
    text_ = Localizer::Translate(kErrorImageFile);
    failed_ = true;
    return;
  }
  io::stream_buffer<io::basic_wfile_sink<unsigned char>> binBuffer(
      io::basic_wfile_sink<unsigned char>(binTemp_, std::ios_base::out | std::ios_base::binary));
  std::basic_ostream<unsigned char> bin(&binBuffer);

  // Everything the decoder gives up to the disc's whole length is kept; what
  // it cannot give is silence.
  const uint64_t target = uint64_t(sectors) * Recorder::kMainBytes;
  uint64_t remaining = target, written = 0, passes = 0, posted = 0;
  const uint64_t callsPerStep = std::max<uint64_t>(1, remaining / (uint64_t(decodeBytes) * steps));
  while (remaining > 0) {
    const unsigned n = static_cast<unsigned>(std::min<uint64_t>(decodeBytes, remaining));
    if (Stopping()) break;
    uint64_t bytes = decoder.Decode(pcm.data(), n);
    if (bytes == 0) break;
    bytes = std::min(bytes, target - written);
    bin.write(pcm.data(), std::streamsize(bytes));
    if (!bin.good()) {
      text_ = Localizer::Translate(kErrorImageFile);
      break;
    }
    written += bytes;
    ++passes;
    // Only a new position is posted: the page's queue stays short.
    const uint64_t position =
        std::min<uint64_t>(passes / callsPerStep, range_ > 0 ? range_ - 1 : 0);
    if (position != posted) {
      posted = position;
      Progress(static_cast<int>(position));
    }
    remaining -= bytes;
  }
  if (text_.empty() && decoder.ReadFailed()) text_ = Localizer::Translate(kErrorImageFile);

  if (text_.empty() && !Stopping()) {
    const std::vector<unsigned char> zeros(Recorder::kMainBytes * 75);
    for (uint64_t left = target - written; left > 0 && bin.good() && !Stopping();) {
      const std::size_t n = std::size_t(std::min<uint64_t>(left, zeros.size()));
      bin.write(zeros.data(), std::streamsize(n));
      left -= n;
    }
    bin.flush();
    if (!bin.good() && !Stopping()) text_ = Localizer::Translate(kErrorImageFile);
  }
  binBuffer.close();

  if (text_.empty() && !Stopping()) {
    const std::wstring binName = binPath_.substr(NameStart(binPath_));
    const std::string cue =
        BackupFile::MakeCueSheet(disc, BackupFile::ToAnsi(binName), "BINARY", true);
    cueTemp_ = ImageFiles::CreateTempBeside(cuePath_);
    FILE* f = cueTemp_.empty() ? nullptr : _wfsopen(cueTemp_.c_str(), L"wt", _SH_DENYNO);
    const bool ok = f && std::fputs(cue.c_str(), f) >= 0;
    if (!f || std::fclose(f) != 0 || !ok) text_ = Localizer::Translate(kErrorImageFile);
  }
  // Once both files are in place the image is made, whatever stop comes later.
  bool placed = false;
  if (text_.empty() && !Stopping()) {
    placed = ImageFiles::MoveIntoPlace({{binTemp_, binPath_}, {cueTemp_, cuePath_}});
    if (!placed) text_ = Localizer::Translate(kErrorImageFile);
  }
  failed_ = !placed;
  // Let the page show the full bar a moment before the job ends.
  for (unsigned waited = 0; placed && waited < kLastMessageMs && !Stopping(); waited += 50)
    Sleep(50);
}

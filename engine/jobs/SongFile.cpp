#include "engine/jobs/SongFile.h"

#include <windows.h>

#include <exception>

#include "common/PathParts.h"
#include "common/TempFile.h"

namespace {
const std::streamsize kWriteBuffer = 64 * 1024;
}  // namespace

SongFile::SongFile(const std::wstring& target)
    : target_(target), temp_(TempFile::CreateIn(PathParts::FolderOf(target))) {
  // Without a temporary file the stream has no buffer and is bad from the start.
  if (!temp_.empty())
    buffer_ = std::make_unique<Buffer>(boost::iostreams::basic_wfile_sink<unsigned char>(
                                           temp_, std::ios_base::out | std::ios_base::binary),
                                       kWriteBuffer);
  stream_ = std::make_unique<std::basic_ostream<unsigned char>>(buffer_.get());
}

SongFile::~SongFile() {
  try {
    Close();
  } catch (const std::exception&) {
  }
  if (!committed_ && !temp_.empty()) DeleteFileW(temp_.c_str());
}

void SongFile::Close() {
  if (buffer_ && buffer_->is_open()) buffer_->close();
}

bool SongFile::Commit() {
  stream_->flush();
  if (!stream_->good()) return false;
  Close();
  committed_ = MoveFileExW(temp_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
  return committed_;
}

#include "wizard/pages/ExtractFolder.h"

#include <windows.h>

#include "common/Utf8.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/BackupNames.h"
#include "engine/backup/PictureFrame.h"

namespace ExtractFolder {
namespace {

const int kFrontCover = 1;

// Creates the file (never over an existing one) and writes all bytes; a file
// that could not be written whole is removed again.
void WriteNewFile(const std::wstring& path, const void* data, std::size_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  const bool whole =
      size == 0 ||
      (WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size);
  CloseHandle(file);
  if (!whole) DeleteFileW(path.c_str());
}

}  // namespace

std::wstring WithSeparator(const std::wstring& folder) {
  if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) return folder;
  return folder + L"\\";
}

void WriteFolderPicture(const std::wstring& folder, const std::vector<TagFrame>& pictures) {
  if (pictures.empty()) return;
  const TagFrame* chosen = &pictures.front();
  int kind = 0;
  std::wstring description;
  ID3::Bytes bytes;
  for (const TagFrame& frame : pictures)
    if (BackupFile::ParsePictureFrame(frame, kind, description, bytes) && kind == kFrontCover) {
      chosen = &frame;
      break;
    }
  if (!BackupFile::ParsePictureFrame(*chosen, kind, description, bytes)) return;
  WriteNewFile(WithSeparator(folder) + L"folder.jpg", bytes.data(), bytes.size());
}

void WritePlaylist(const std::wstring& folder, const std::wstring& artist,
                   const std::wstring& album, const std::vector<std::wstring>& songs) {
  std::string text;
  for (const std::wstring& song : songs) text += Utf8::Encode(song) + "\r\n";
  WriteNewFile(WithSeparator(folder) + BackupFile::FileNameOf(artist + L" - " + album + L".m3u"),
               text.data(), text.size());
}

}  // namespace ExtractFolder

#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Picture files and the clipboard as the picture pages use them; every
// failure is silent.
namespace PictureFiles {

// Files this large or larger are not read.
constexpr unsigned long long kMaxPictureFileBytes = 64ULL * 1024 * 1024;

// The whole file; false when it cannot be opened, is too large or cannot be
// read whole.
bool ReadPictureFile(const std::wstring& path, std::vector<unsigned char>& bytes);

enum class WriteResult { kNotCreated, kFailed, kWritten };
// Writes all the bytes under a temporary name in the file's folder and gives
// the file its name (replacing one) once they are on disk. A write that fails
// leaves nothing behind and a file of that name as it was: kFailed. A name
// that cannot be taken, or a folder that takes no file: kNotCreated.
WriteResult WritePictureFile(const std::wstring& path, const std::vector<unsigned char>& bytes);
// Whether a file (not a folder) of that name exists.
bool FileExists(const std::wstring& path);

// The clipboard opened for the window, waiting a moment while another program
// (a clipboard viewer or manager reading it) holds it open; it is closed again
// when the scope ends, however it ends.
class ClipboardScope {
 public:
  explicit ClipboardScope(HWND owner);
  ~ClipboardScope();
  ClipboardScope(const ClipboardScope&) = delete;
  ClipboardScope& operator=(const ClipboardScope&) = delete;

  bool IsOpen() const { return open_; }

 private:
  bool open_ = false;
};

// Puts the decoded picture on the clipboard as CF_DIB; false when it cannot
// be decoded or the clipboard cannot be opened.
bool CopyToClipboard(HWND owner, const std::vector<unsigned char>& picture);

// The file name of a path without the extension after its last dot; false
// when the path has no folder separator.
bool DescriptionOfPath(const std::wstring& path, std::wstring& description);
// The path up to its last folder separator (empty without one).
std::wstring FolderOfPath(const std::wstring& path);

// The user's pictures folder, created when missing.
std::wstring PicturesFolder();

}  // namespace PictureFiles

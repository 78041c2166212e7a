#include "wizard/pages/PictureFiles.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "common/PathParts.h"
#include "common/TempFile.h"
#include "wizard/coverart/Picture.h"

namespace PictureFiles {

namespace {

const wchar_t kSeparators[] = L"\\/";

// Owns an open file handle.
class File {
 public:
  explicit File(HANDLE handle) : handle_(handle) {}
  ~File() {
    if (IsOpen()) CloseHandle(handle_);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, const std::vector<unsigned char>& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr) || written != chunk)
      return false;
    done += written;
  }
  return true;
}

}  // namespace

bool ReadPictureFile(const std::wstring& path, std::vector<unsigned char>& bytes) {
  File file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr));
  LARGE_INTEGER size;
  if (!file.IsOpen() || !GetFileSizeEx(file.Get(), &size)) return false;
  if (static_cast<unsigned long long>(size.QuadPart) >= kMaxPictureFileBytes) return false;
  try {
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
  } catch (const std::bad_alloc&) {
    return false;
  }
  DWORD read = 0;
  if (!bytes.empty() &&
      !ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr))
    return false;
  return read == bytes.size();
}

WriteResult WritePictureFile(const std::wstring& path, const std::vector<unsigned char>& bytes) {
  // The picture is written beside its name and takes that name once it is
  // complete, so that a failed write leaves a file of that name as it was.
  const std::wstring temp = TempFile::CreateIn(PathParts::FolderOf(path));
  if (temp.empty()) return WriteResult::kNotCreated;
  bool written = false;
  {
    File file(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, TRUNCATE_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
    written = file.IsOpen() && WriteAll(file.Get(), bytes);
  }
  const bool created =
      written && MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (created) return WriteResult::kWritten;
  DeleteFileW(temp.c_str());
  return written ? WriteResult::kNotCreated : WriteResult::kFailed;
}

bool FileExists(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

ClipboardScope::ClipboardScope(HWND owner) {
  for (int attempt = 0; attempt < 50 && !open_; ++attempt) {
    open_ = OpenClipboard(owner) != FALSE;
    if (!open_) Sleep(5);
  }
}

ClipboardScope::~ClipboardScope() {
  if (open_) CloseClipboard();
}

bool CopyToClipboard(HWND owner, const std::vector<unsigned char>& picture) {
  const ClipboardScope clipboard(owner);
  if (!clipboard.IsOpen()) return false;
  bool copied = false;
  const SharedBytes dib = DecodePictureToDib(picture);
  if (dib) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dib->size());
    if (void* to = block ? GlobalLock(block) : nullptr) {
      std::memcpy(to, dib->data(), dib->size());
      GlobalUnlock(block);
      EmptyClipboard();
      copied = SetClipboardData(CF_DIB, block) != nullptr;
    }
    // The clipboard owns the block once it took it.
    if (block && !copied) GlobalFree(block);
  }
  return copied;
}

bool DescriptionOfPath(const std::wstring& path, std::wstring& description) {
  const std::size_t separator = path.find_last_of(kSeparators);
  if (separator == std::wstring::npos) return false;
  description = path.substr(separator + 1);
  const std::size_t dot = description.rfind(L'.');
  if (dot != std::wstring::npos) description.resize(dot);
  return true;
}

std::wstring FolderOfPath(const std::wstring& path) {
  const std::size_t separator = path.find_last_of(kSeparators);
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

std::wstring PicturesFolder() {
  wchar_t folder[MAX_PATH] = L"";
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_MYPICTURES | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, folder)))
    return std::wstring();
  return folder;
}

}  // namespace PictureFiles

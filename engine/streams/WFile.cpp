#include "engine/streams/WFile.h"

#include <windows.h>

#include <limits>

namespace boost {
namespace iostreams {
namespace detail {

// Other processes may read and write the file meanwhile, as with _SH_DENYNO.
wfile_handle::wfile_handle(const std::wstring& path, std::ios_base::openmode mode)
    : handle_(INVALID_HANDLE_VALUE) {
  const bool in = (mode & std::ios_base::in) != 0;
  const bool out = (mode & std::ios_base::out) != 0;
  const bool append = (mode & std::ios_base::app) != 0;
  DWORD access = 0;
  if (in) access |= GENERIC_READ;
  if (out) access |= GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  if (out && !in) disposition = append ? OPEN_ALWAYS : CREATE_ALWAYS;
  if (out && in && (mode & std::ios_base::trunc)) disposition = CREATE_ALWAYS;
  handle_ = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                        disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ != INVALID_HANDLE_VALUE && append) seek(0, std::ios_base::end);
}

wfile_handle::~wfile_handle() { close(); }

bool wfile_handle::is_open() const { return handle_ != INVALID_HANDLE_VALUE; }

void wfile_handle::close() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

std::streamsize wfile_handle::read(void* s, std::streamsize n) {
  if (!is_open()) return -1;
  std::streamsize total = 0;
  char* p = static_cast<char*>(s);
  while (total < n) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::streamsize>(n - total, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(handle_, p + total, chunk, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total == 0 && n > 0 ? -1 : total;
}

std::streamsize wfile_handle::write(const void* s, std::streamsize n) {
  if (!is_open()) return 0;
  std::streamsize total = 0;
  const char* p = static_cast<const char*>(s);
  while (total < n) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::streamsize>(n - total, 1 << 30));
    DWORD put = 0;
    if (!WriteFile(handle_, p + total, chunk, &put, nullptr) || put == 0) break;
    total += put;
  }
  return total;
}

std::streampos wfile_handle::seek(stream_offset off, std::ios_base::seekdir way) {
  if (!is_open()) return std::streampos(-1);
  DWORD method = FILE_BEGIN;
  if (way == std::ios_base::cur) method = FILE_CURRENT;
  if (way == std::ios_base::end) method = FILE_END;
  LARGE_INTEGER distance, result;
  distance.QuadPart = off;
  if (!SetFilePointerEx(handle_, distance, &result, method)) return std::streampos(-1);
  return std::streampos(result.QuadPart);
}

}  // namespace detail
}  // namespace iostreams
}  // namespace boost

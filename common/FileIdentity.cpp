#include "common/FileIdentity.h"

#include <windows.h>

namespace FileIdentity {
namespace {

struct FileId {
  DWORD volume = 0, high = 0, low = 0;
};

bool IdOf(const std::wstring& path, FileId& id) {
  HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(file, &info) != FALSE;
  CloseHandle(file);
  if (ok) id = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return ok;
}

// A path through one of the two-call Win32 functions that fill a buffer; the
// input when the call fails.
template <typename Call>
std::wstring Expanded(const std::wstring& path, Call call) {
  DWORD size = call(path.c_str(), nullptr, 0);
  if (size == 0) return path;
  std::wstring out(size, L'\0');
  size = call(path.c_str(), &out[0], size);
  if (size == 0 || size >= out.size()) return path;
  out.resize(size);
  return out;
}

std::wstring AsCreated(const std::wstring& path) {
  const std::wstring full = Expanded(path, [](const wchar_t* in, wchar_t* out, DWORD size) {
    return GetFullPathNameW(in, size, out, nullptr);
  });
  const std::size_t separator = full.find_last_of(L"\\/");
  const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
  std::wstring name = full.substr(nameStart);
  const std::size_t stream = name.find(L':');
  if (stream != std::wstring::npos) name.resize(stream);
  while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
  const std::wstring folder = Expanded(
      full.substr(0, nameStart),
      [](const wchar_t* in, wchar_t* out, DWORD size) { return GetLongPathNameW(in, out, size); });
  return folder + name;
}

}  // namespace

bool SameFileName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

bool NameOneFile(const std::wstring& a, const std::wstring& b) {
  FileId first, second;
  if (IdOf(a, first) && IdOf(b, second))
    return first.volume == second.volume && first.high == second.high && first.low == second.low;
  return SameFileName(AsCreated(a), AsCreated(b));
}

}  // namespace FileIdentity

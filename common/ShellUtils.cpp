#include "common/ShellUtils.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <vector>

#include "common/CallingConvention.h"
#include "common/ComPtr.h"
#include "common/FileIdentity.h"
#include "common/PathParts.h"

namespace ShellUtils {

namespace {

// The shell's path resolver, exported by ordinal only.
using PathResolveFn = BOOL(WINAPI*)(LPWSTR path, LPCWSTR* dirs, UINT flags);
PIN_BINDING(PathResolveFn, ::PathResolve);
constexpr WORD kPathResolveOrdinal = 51;
constexpr UINT kPathResolveMustExist = 1;

PathResolveFn PathResolver() {
  static const PathResolveFn fn = [] {
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (shell == nullptr) shell = LoadLibraryW(L"shell32.dll");
    return shell == nullptr ? nullptr
                            : reinterpret_cast<PathResolveFn>(reinterpret_cast<void*>(
                                  GetProcAddress(shell, MAKEINTRESOURCEA(kPathResolveOrdinal))));
  }();
  return fn;
}

HICON IconForName(const std::wstring& path, UINT flags) {
  SHFILEINFOW info = {};
  if (SHGetFileInfoW(path.c_str(), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                     SHGFI_ICON | SHGFI_USEFILEATTRIBUTES | flags) == 0) {
    return nullptr;
  }
  return info.hIcon;
}

bool NamesOf(const std::wstring& path, SHFILEINFOW& info) {
  info = {};
  return SHGetFileInfoW(path.c_str(), 0, &info, sizeof(info), SHGFI_DISPLAYNAME | SHGFI_TYPENAME) !=
         0;
}

}  // namespace

bool PathToPidl(const std::wstring& path, LPITEMIDLIST& pidl) {
  pidl = nullptr;
  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.Put()))) return false;
  std::vector<wchar_t> copy(path.begin(), path.end());
  copy.push_back(L'\0');
  LPITEMIDLIST parsed = nullptr;
  if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, copy.data(), nullptr, &parsed, nullptr))) {
    return false;
  }
  pidl = parsed;
  return pidl != nullptr;
}

void FreePidl(LPITEMIDLIST pidl) {
  ComPtr<IMalloc> malloc;
  if (SUCCEEDED(SHGetMalloc(malloc.Put()))) malloc->Free(pidl);
}

HICON GetLargeIcon(const std::wstring& path) {
  return IconForName(path, SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
}

HICON GetSmallIcon(const std::wstring& path) { return IconForName(path, SHGFI_SMALLICON); }

std::wstring GetDisplayName(const std::wstring& path) {
  SHFILEINFOW info;
  return NamesOf(path, info) ? info.szDisplayName : L"";
}

std::wstring GetTypeName(const std::wstring& path) {
  SHFILEINFOW info;
  return NamesOf(path, info) ? info.szTypeName : L"";
}

std::wstring ResolveExistingPath(const std::wstring& path) {
  const PathResolveFn resolve = PathResolver();
  if (resolve == nullptr || path.empty() || path.size() >= MAX_PATH) return L"";
  wchar_t buffer[MAX_PATH] = {};
  path.copy(buffer, path.size());
  if (!resolve(buffer, nullptr, kPathResolveMustExist)) return L"";
  const std::wstring resolved = buffer;
  // Some resolvers answer with another file that stands for the requested one (a
  // shortcut "X.lnk" for "X"); only the item itself counts as existing.
  if (!FileIdentity::SameFileName(PathParts::LastComponent(resolved),
                                  PathParts::LastComponent(path)))
    return L"";
  return resolved;
}

std::wstring ResolveShortcut(const std::wstring& linkPath) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.PutVoid()))) {
    return L"";
  }
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return L"";
  if (FAILED(file->Load(linkPath.c_str(), STGM_SHARE_DENY_NONE))) return L"";
  wchar_t target[MAX_PATH] = {};
  if (FAILED(link->GetPath(target, MAX_PATH, nullptr, 0))) return L"";
  return ResolveExistingPath(target);
}

std::wstring CanonicalizePath(const std::wstring& path) {
  // An empty path names nothing (the system would make it the root of the current drive).
  wchar_t buffer[MAX_PATH] = {};
  if (path.empty() || path.size() >= MAX_PATH || !PathCanonicalizeW(buffer, path.c_str()))
    return L"";
  std::wstring result = buffer;
  LPITEMIDLIST pidl = nullptr;
  if (PathToPidl(result, pidl)) {
    if (SHGetPathFromIDListW(pidl, buffer)) result = buffer;
    FreePidl(pidl);
  }
  return result;
}

}  // namespace ShellUtils

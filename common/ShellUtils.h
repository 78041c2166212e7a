#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

// A thin layer over the Windows shell. Every function runs on the calling thread,
// which must have initialised COM.
namespace ShellUtils {

// The shell's item identifier list of a path; false (and pidl null) when the shell
// cannot parse it. Free the list with FreePidl.
bool PathToPidl(const std::wstring& path, LPITEMIDLIST& pidl);
void FreePidl(LPITEMIDLIST pidl);

// The icon the shell shows for a file of this name, taken from the name alone (the
// file is not touched): at the shell's default size, or small. Null when none; the
// caller destroys a returned icon with DestroyIcon.
HICON GetLargeIcon(const std::wstring& path);
HICON GetSmallIcon(const std::wstring& path);

// The shell's display name and type name of an existing path; empty when the shell
// does not know the path.
std::wstring GetDisplayName(const std::wstring& path);
std::wstring GetTypeName(const std::wstring& path);

// The full path of an existing file or folder, empty when it does not exist. The one
// place that asks the shell's path resolver: the result always names the requested
// item itself, never a file of another name the resolver may offer in its place
// (such as "X.xml.lnk" for "X.xml").
std::wstring ResolveExistingPath(const std::wstring& path);

// The target of a shortcut (.lnk) file as an existing full path; empty when the
// shortcut cannot be read or its target does not exist. No user interface is shown.
std::wstring ResolveShortcut(const std::wstring& linkPath);

// The path with "." and ".." removed; an existing path comes back in the shell's own
// spelling (long names as the file system stores them). Empty when the path cannot
// be canonicalised (for example when it is longer than MAX_PATH).
std::wstring CanonicalizePath(const std::wstring& path);

}  // namespace ShellUtils

#pragma once
#include <string>

// Whether two paths name one file on Windows.
namespace FileIdentity {

// Equality of two file names as the file system sees it: every letter folds, not only
// a-z (unlike Settings::EqualNoCase, which keeps the list rules of stored paths).
bool SameFileName(const std::wstring& a, const std::wstring& b);

// True when the two paths reach one file. Two existing paths are compared by the
// file they open, so short names and links count. Otherwise the full paths are
// compared as Windows would create them: letters folded, the trailing dots and
// spaces of the name dropped, a stream name ignored and short folder names made long.
bool NameOneFile(const std::wstring& a, const std::wstring& b);

}  // namespace FileIdentity

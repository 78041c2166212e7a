#pragma once
#include <string>

// Splitting a path at its separators ('\' or '/'), without asking the file system.
namespace PathParts {

// The last component, trailing separators ignored ("C:\a\b\" gives "b").
std::wstring LastComponent(const std::wstring& path);
// The folder that holds the item: "." for a bare name; a root keeps its
// separator ("C:\x" gives "C:\", "\x" gives "\").
std::wstring FolderOf(const std::wstring& path);

}  // namespace PathParts

#pragma once
#include <string>

// Files written under a temporary name beside their target and moved onto it
// once complete.
namespace TempFile {

// A new, empty file of a unique name in the folder; empty when none can be made.
std::wstring CreateIn(const std::wstring& folder);

}  // namespace TempFile

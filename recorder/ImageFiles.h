#pragma once
#include <string>
#include <vector>

// The files of a disc image: written under temporary names beside their
// targets, then moved in together.
namespace ImageFiles {

// A new, empty file of a unique name in the folder of `path`; empty when
// none can be made there.
std::wstring CreateTempBeside(const std::wstring& path);

struct NewFile {
  std::wstring& temp;  // the complete new file; cleared once it took its name
  const std::wstring& target;
};

// Gives every new file its name, replacing the files there, as one step: the
// existing files are set aside first and are deleted only once all new files
// are in place. When anything fails, the answer is false and the old files
// are put back (a read-only file is never replaced): a new file that had taken
// its name is deleted, the others keep their temporary names.
bool MoveIntoPlace(const std::vector<NewFile>& files);

}  // namespace ImageFiles

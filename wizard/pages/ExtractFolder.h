#pragma once
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"

// What an extraction adds to an empty destination folder beside the songs.
// Failures are silent: the songs are written all the same.
namespace ExtractFolder {

// The folder with one backslash at its end.
std::wstring WithSeparator(const std::wstring& folder);

// "folder.jpg": the bytes of the first front cover among the picture frames,
// else of the first picture; never replaces a file.
void WriteFolderPicture(const std::wstring& folder, const std::vector<TagFrame>& pictures);
// "<artist> - <album>.m3u" listing the songs' paths, one UTF-8 line each,
// ended by CR LF; never replaces a file.
void WritePlaylist(const std::wstring& folder, const std::wstring& artist,
                   const std::wstring& album, const std::vector<std::wstring>& songs);

}  // namespace ExtractFolder

#pragma once
#include <optional>
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/id3/ID3TagLib.h"

namespace BackupFile {

// The text as a file name: characters that no file name may hold become dots,
// control characters spaces.
std::wstring FileNameOf(std::wstring name);

// "Artist - Album", one of them alone, or the translation of "Unknown".
std::wstring DefaultTitle(const DiscInfo& disc);
// Bare file names (no folder) that can be created; with a folder, the first
// name that does not exist there yet, counted on as "name (n)".
std::wstring MakeBackupFileName(const DiscInfo& disc, const std::wstring& extension,
                                const std::optional<std::wstring>& folder = std::nullopt);
std::wstring MakeDiscImageFileName(const std::vector<BackupDisc>& discs, std::size_t disc,
                                   const std::wstring& extension,
                                   const std::optional<std::wstring>& folder = std::nullopt);
// The tag of one song cut out of a backup: the texts of track k.
bool WriteSongTag(ID3::ByteOStream& os, unsigned k, const BackupDisc& disc);

}  // namespace BackupFile

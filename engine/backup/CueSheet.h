#pragma once
#include <string>

#include "engine/backup/DiscRecords.h"

namespace BackupFile {

// One disc as a cue sheet in the thread's ANSI code page, a line feed after
// every line. Track 1 starts at 00:00:00: the audio file begins with it.
std::string MakeCueSheet(const BackupDisc& disc, const std::string& fileName,
                         const std::string& fileType, bool withTrackTexts);
// mm:ss:ff of entry n's start, counted from the start of track 1.
std::string FormatCueTime(unsigned n, const std::vector<unsigned char>& toc);
std::string ToAnsi(const std::wstring& text);
// The three-letter language of the comment frames that carry the cue sheets.
std::string CommentLanguage();

}  // namespace BackupFile

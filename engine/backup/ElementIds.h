#pragma once
#include <string>

// The element ids of a backup's CTOC and CHAP frames: "disc<d>" names disc d's
// table, "chunk<d>" the chapter of its audio, "disc<d> track<k>" its track k, and
// "track<k>" track k of a single-disc backup.
namespace BackupFile {

std::string DiscElementId(unsigned disc);
std::string ChunkElementId(unsigned disc);
// Disc 0: the single-disc form.
std::string TrackElementId(unsigned disc, unsigned track);

bool ParseDiscElementId(const std::string& id, unsigned& n);
bool ParseChapterElementId(const std::string& id, unsigned& disc, unsigned& track);

// The whole text as a decimal integer with an optional sign, nothing else; the
// fallback otherwise (also when it does not fit an int).
int ToIntOr(const std::string& text, int fallback);
int ToIntOrW(const std::wstring& text, int fallback);

}  // namespace BackupFile

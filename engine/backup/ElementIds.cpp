#include <cerrno>
#include <climits>
#include <cstdlib>

#include "engine/backup/ElementIds.h"

namespace BackupFile {
namespace {

const char kDisc[] = "disc";
const char kChunk[] = "chunk";
const char kTrack[] = " track";
const char kSingleTrack[] = "track";

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

unsigned Number(const std::string& text) { return static_cast<unsigned>(ToIntOr(text, 0)); }

}  // namespace

std::string DiscElementId(unsigned disc) { return kDisc + std::to_string(disc); }

std::string ChunkElementId(unsigned disc) { return kChunk + std::to_string(disc); }

std::string TrackElementId(unsigned disc, unsigned track) {
  return (disc ? DiscElementId(disc) + kTrack : std::string(kSingleTrack)) + std::to_string(track);
}

int ToIntOr(const std::string& text, int fallback) {
  if (text.empty() || !(text[0] == '-' || text[0] == '+' || (text[0] >= '0' && text[0] <= '9')))
    return fallback;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end != text.c_str() + text.size() || value < INT_MIN || value > INT_MAX)
    return fallback;
  return static_cast<int>(value);
}

int ToIntOrW(const std::wstring& text, int fallback) {
  std::string narrow;
  for (wchar_t c : text) {
    if (c <= 0 || c > 0x7F) return fallback;
    narrow.push_back(static_cast<char>(c));
  }
  return ToIntOr(narrow, fallback);
}

bool ParseDiscElementId(const std::string& id, unsigned& n) {
  n = 0;
  if (!StartsWith(id, kDisc)) return false;
  n = Number(id.substr(sizeof kDisc - 1));
  return true;
}

bool ParseChapterElementId(const std::string& id, unsigned& disc, unsigned& track) {
  disc = track = 0;
  if (StartsWith(id, kChunk)) {
    disc = Number(id.substr(sizeof kChunk - 1));
    return true;
  }
  const std::size_t at = id.find(kTrack);
  if (StartsWith(id, kDisc) && at != std::string::npos) {
    disc = Number(id.substr(sizeof kDisc - 1, at - (sizeof kDisc - 1)));
    track = Number(id.substr(at + sizeof kTrack - 1));
  }
  return false;
}

}  // namespace BackupFile

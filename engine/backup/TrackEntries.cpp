#include "engine/backup/BackupFormat.h"
#include "engine/cd/RawToc.h"

namespace BackupFile {

std::size_t EntriesFor(const std::vector<unsigned char>& toc) {
  return RawToc::Usable(toc) ? static_cast<std::size_t>(RawToc::TrackCount(toc)) + 1 : 0;
}

void FitEntriesToToc(DiscInfo& disc, const std::vector<unsigned char>& toc) {
  const std::size_t entries = EntriesFor(toc);
  if (entries != 0) disc.tracks.resize(entries);
}

bool EntriesMatchToc(const BackupDisc& disc) {
  const std::size_t entries = EntriesFor(disc.toc);
  return entries != 0 && disc.disc.tracks.size() == entries;
}

}  // namespace BackupFile

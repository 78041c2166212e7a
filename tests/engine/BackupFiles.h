#pragma once
#include <functional>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "tests/engine/MemoryStreams.h"

// A whole backup file in memory: the tag, then each disc's audio (filled with
// the disc's number) with the gap between discs. Audio sizes come from the discs.
inline std::vector<unsigned char> BuildBackup(std::vector<BackupDisc>& discs) {
  std::streamoff at = 0;
  for (BackupDisc& d : discs) {
    d.audioStart = at;
    at += d.audioSize + BackupFile::kGapBytes;
  }
  MemoryOut m;
  if (!BackupFile::WriteTag(m.out, discs, L"backup.mp3")) return {};
  std::vector<unsigned char> file = m.bytes();
  for (std::size_t i = 0; i < discs.size(); ++i) {
    if (i > 0)
      for (unsigned g = 0; g < BackupFile::kGapBlocks; ++g)
        file.insert(file.end(), BackupFile::GapFrame().begin(), BackupFile::GapFrame().end());
    file.insert(file.end(), discs[i].audioSize, static_cast<unsigned char>(i + 1));
  }
  return file;
}

inline std::vector<BackupDisc> ReadBackup(const std::vector<unsigned char>& file) {
  MemoryIn in(file);
  return BackupFile::ReadDiscs(in.in);
}

// The file with its tag's frames changed in place; the tag keeps its size.
inline std::vector<unsigned char> EditTag(const std::vector<unsigned char>& file,
                                          const std::function<void(ID3::ID3TagLib&)>& edit) {
  MemoryIn in(file);
  auto tag = ID3::CreateFromStream(in.in);
  edit(*tag);
  MemoryOut m;
  if (!tag->Write(m.out)) return {};
  std::vector<unsigned char> out = m.bytes();
  out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(tag->GetTagSize()), file.end());
  return out;
}

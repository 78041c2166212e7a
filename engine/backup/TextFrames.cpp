#include <string>

#include "engine/backup/BackupFormat.h"

namespace BackupFile {

std::vector<TagFrame> MakeTextFrames(const ID3::ID3TagLib& tag, unsigned k, int disc, int discs,
                                     const DiscInfo& info, int32_t lengthMs) {
  static const TrackText kNone;
  const TrackText& album = info.tracks.empty() ? kNone : info.tracks[0];
  const TrackText& entry = k < info.tracks.size() ? info.tracks[k] : kNone;
  std::vector<TagFrame> frames;
  auto add = [&](const char* id, const std::wstring& text) {
    frames.push_back(TagFrame{id, 0, tag.EncodeText(text)});
  };
  add("TIT2", entry.title);
  add("TPE1", entry.artist);
  add("TPE2", album.artist);
  add("TALB", album.title);
  add("TCON", album.genre);
  if (k != 0) add("TRCK", std::to_wstring(k));
  if (entry.year != 0) add("TYER", std::to_wstring(entry.year));
  if (lengthMs != 0) add("TLEN", std::to_wstring(lengthMs));
  add("TMED", L"CD");
  if (disc != 0 && discs != 0) add("TSET", std::to_wstring(disc) + L"/" + std::to_wstring(discs));
  return frames;
}

}  // namespace BackupFile

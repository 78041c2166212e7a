#include "engine/backup/CueSheet.h"

#include <windows.h>

#include <cstdio>

#include "common/CodePage.h"
#include "engine/cd/RawToc.h"

namespace BackupFile {
namespace {

const char kHeader[] = "REM cue sheet created by Velmora TAVRIN\n";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string FormatCueTime(unsigned n, const std::vector<unsigned char>& toc) {
  // The audio file starts with track 1, so its start is 00:00:00.
  const int32_t start = RawToc::TrackStart(n, toc);
  unsigned f = start > 0 ? static_cast<unsigned>(start) : 0;
  const unsigned mm = f / 4500 % 99;
  f -= mm * 4500;
  const unsigned ss = f / 75 % 60;
  f -= ss * 75;
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", mm, ss, f % 75);
  return buf;
}

std::string ToAnsi(const std::wstring& text) { return CodePage::FromWide(text, CP_THREAD_ACP); }

std::string MakeCueSheet(const BackupDisc& disc, const std::string& fileName,
                         const std::string& fileType, bool withTrackTexts) {
  static const TrackText kNone;
  const std::vector<TrackText>& tracks = disc.disc.tracks;
  const TrackText& album = tracks.empty() ? kNone : tracks[0];
  std::string cue = kHeader;
  cue += "FILE " + Quoted(fileName) + " " + fileType + "\n";
  cue += "TITLE " + Quoted(ToAnsi(album.title)) + "\n";
  cue += "PERFORMER " + Quoted(ToAnsi(album.artist)) + "\n";
  for (std::size_t i = 1; i < tracks.size(); ++i) {
    char line[32];
    std::snprintf(line, sizeof line, " TRACK %02u AUDIO\n", static_cast<unsigned>(i));
    cue += line;
    cue += "  INDEX 01 " + FormatCueTime(static_cast<unsigned>(i), disc.toc) + "\n";
    if (withTrackTexts) {
      cue += "  TITLE " + Quoted(ToAnsi(tracks[i].title)) + "\n";
      cue += "  PERFORMER " + Quoted(ToAnsi(tracks[i].artist)) + "\n";
    }
  }
  return cue;
}

}  // namespace BackupFile

#pragma once
// Backup files for the page tests: discs of short tones with the texts given,
// and cover pictures of one colour each.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "wizard/coverart/Dib.h"
#include "wizard/coverart/ImageUtils.h"

namespace BackupFiles {

struct Cover {
  int kind;
  COLORREF colour;
};

inline std::vector<unsigned char> SolidJpeg(COLORREF colour, int width = 64, int height = 48) {
  SharedBytes dib = DibLayout::Make24(width, height);
  for (std::size_t i = sizeof(BITMAPINFOHEADER); i + 2 < dib->size(); i += 3) {
    (*dib)[i] = GetBValue(colour);
    (*dib)[i + 1] = GetGValue(colour);
    (*dib)[i + 2] = GetRValue(colour);
  }
  return EncodeJpeg(*dib);
}

// One disc per pair of artist and album; the covers go with the first disc.
// Returns the discs as written (empty when writing failed).
inline std::vector<BackupDisc> Write(
    const std::wstring& path, const std::vector<std::pair<std::wstring, std::wstring>>& texts,
    const std::vector<Cover>& covers = {}) {
  std::vector<BackupMaker::DiscPlan> plans;
  std::vector<std::vector<unsigned char>> audio;
  for (std::size_t d = 0; d < texts.size(); ++d) {
    // Distinct TOCs: each disc starts somewhere else.
    plans.push_back({{0, 150}, 300, static_cast<int>(d) * 1000, {440, 660}});
    audio.push_back(BackupMaker::EncodeDisc(plans.back()));
  }
  std::vector<BackupDisc> discs = BackupMaker::DescribeDiscs(plans, audio);
  for (std::size_t d = 0; d < texts.size(); ++d) {
    discs[d].disc.tracks[0].artist = texts[d].first;
    discs[d].disc.tracks[0].title = texts[d].second;
  }
  for (const Cover& cover : covers) {
    TagFrame frame;
    if (!BackupFile::MakePictureFrame(frame, L"cover", SolidJpeg(cover.colour), cover.kind))
      return {};
    discs.front().pictures.push_back(frame);
  }
  if (!BackupMaker::WriteBackup(path, discs, audio)) return {};
  return discs;
}

}  // namespace BackupFiles

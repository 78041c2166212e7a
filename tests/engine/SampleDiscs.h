#pragma once
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "tests/engine/TocBuilder.h"

// A disc of `tracks` tracks of `sectors` sectors each, track 1 at `firstLba`,
// with texts that name the disc and track.
inline BackupDisc SampleDisc(int tracks, int sectors = 300, int disc = 1, int firstLba = 0) {
  std::vector<int> lbas;
  for (int k = 0; k <= tracks; ++k) lbas.push_back(firstLba + k * sectors);
  BackupDisc d;
  d.toc = MakeToc(lbas);
  const std::wstring n = std::to_wstring(disc);
  d.disc.tracks.resize(tracks + 1);
  d.disc.tracks[0] = {L"Artist " + n, L"Album " + n, L"Rock", L"", 1990 + disc};
  for (int k = 1; k <= tracks; ++k)
    d.disc.tracks[k] = {L"Singer " + n + L"." + std::to_wstring(k),
                        L"Song " + n + L"." + std::to_wstring(k), L"", L"", 0};
  return d;
}

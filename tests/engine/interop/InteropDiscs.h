#pragma once
#include <string>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "tests/engine/TocBuilder.h"

// The backup files that programs written elsewhere check: one, two and three
// discs of real MP3 audio, a disc of 99 tracks, a first track after the usual
// pregap, texts in several scripts and several pictures.
namespace Interop {

struct DiscSpec {
  int firstLba;
  std::vector<int> sectors;  // per track
  std::wstring artist, album, genre;
  int year;
};

struct PictureSpec {
  int kind;
  std::wstring description;
  int width, height;
};

struct FileSpec {
  std::wstring name;  // without extension
  std::vector<DiscSpec> discs;
  std::vector<PictureSpec> pictures;
  bool image;  // also a disc image of the first disc
};

inline std::vector<FileSpec> Files() {
  const std::vector<int> ninetyNine(99, 16);
  return {
      {L"one",
       {{0,
         {150, 225, 300, 180, 240},
         L"\x5c71\x7530 \x82b1\x5b50",
         L"\x65e5\x672c\x306e\x6b4c",
         L"J-Pop",
         2003}},
       {{1, L"Front \x65e5\x672c", 64, 48},
        {2,
         L"R\x00fc"
         L"ckseite",
         40, 40},
        {4, L"\x042d\x0442\x0438\x043a\x0435\x0442\x043a\x0430", 24, 32}},
       true},
      {L"two",
       {{182, {200, 150, 260, 190}, L"Caf\x00e9 Ensemble", L"Nuits \x00e0 Paris", L"Jazz", 1999},
        {0,
         {300, 170, 210},
         L"\x0394\x03b9\x03bf\x03bd\x03cd\x03c3\x03b7\x03c2",
         L"\x0398\x03ac\x03bb\x03b1\x03c3\x03c3\x03b1",
         L"Folk",
         0}},
       {{1, L"cover", 50, 50}, {3, L"inlay", 30, 60}},
       true},
      {L"three",
       {{0, {220, 180}, L"First Artist", L"First Album", L"Rock", 1971},
        {0, ninetyNine, L"Many Tracks", L"Ninety-nine", L"Electronic", 2010},
        {32,
         {240, 200, 160},
         L"\x0416\x0443\x043a\x043e\x0432\x0441\x043a\x0438\x0439",
         L"\x0412\x0435\x0441\x043d\x0430",
         L"Classical",
         1985}},
       {{1, L"front", 32, 32}, {0, L"", 16, 16}, {2, L"back \x2603", 20, 20}},
       false},
  };
}

inline std::wstring TrackArtist(const DiscSpec& d, int k) {
  return k % 3 == 0 ? d.artist + L" & Friend " + std::to_wstring(k) : d.artist;
}
inline std::wstring TrackTitle(int disc, int k) {
  return L"Track " + std::to_wstring(k) + L" of disc " + std::to_wstring(disc) +
         (k % 4 == 1 ? L" \x266b \x00bf\x201c" : L"");
}
inline int TrackYear(const DiscSpec& d, int k) { return k % 2 == 0 ? d.year : 0; }

inline BackupDisc MakeDisc(const DiscSpec& spec, int disc) {
  std::vector<int> lbas = {spec.firstLba};
  for (int s : spec.sectors) lbas.push_back(lbas.back() + s);
  BackupDisc d;
  d.toc = MakeToc(lbas);
  d.disc.tracks.push_back({spec.artist, spec.album, spec.genre, L"", spec.year});
  for (int k = 1; k <= int(spec.sectors.size()); ++k)
    d.disc.tracks.push_back(
        {TrackArtist(spec, k), TrackTitle(disc, k), L"", L"", TrackYear(spec, k)});
  return d;
}

}  // namespace Interop

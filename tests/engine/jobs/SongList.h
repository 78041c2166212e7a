#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "engine/jobs/ExtracterData.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/support/FilesIn.h"

// Helpers of the extraction tests: the songs to write and the folder afterwards.
struct SongList {
  std::vector<int> tracks;
  std::vector<std::wstring> paths;
  std::vector<int> discs;

  void Add(const std::wstring& path, int disc, int track) {
    tracks.push_back(track);
    paths.push_back(path);
    discs.push_back(disc);
  }
  // Every track of every disc, named d<disc>t<track> with the extension.
  static SongList AllTracks(const std::vector<BackupDisc>& discs, const std::wstring& folder,
                            const std::wstring& ext) {
    SongList songs;
    for (std::size_t d = 0; d < discs.size(); ++d)
      for (std::size_t t = 1; t < discs[d].disc.tracks.size(); ++t)
        songs.Add(folder + L"\\d" + std::to_wstring(d + 1) + L"t" + std::to_wstring(t) + ext,
                  static_cast<int>(d), static_cast<int>(t));
    return songs;
  }
  HRESULT StartOn(ExtracterData& engine, HWND window, bool mp3) const {
    return engine.StartExtraction(window, tracks, paths, discs, mp3);
  }
};

// A folder of its own under `root`, created or emptied.
inline std::wstring FreshFolder(const std::wstring& root, const std::wstring& name) {
  CreateDirectoryW(root.c_str(), nullptr);
  const std::wstring folder = root + L"\\" + name;
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& file : FilesIn(folder)) DeleteFileW((folder + L"\\" + file).c_str());
  return folder;
}

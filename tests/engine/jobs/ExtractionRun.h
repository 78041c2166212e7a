#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/jobs/ExtracterData.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/engine/jobs/SongList.h"
#include "tests/support/FileBytes.h"
#include "tests/support/JobNotifications.h"

// Every track of the discs extracted into the folder as the progress page runs
// it, to the engine's report of success; the notifications stay for more checks.
inline void ExtractEveryTrack(ExtracterData& engine, JobNotifications& notifications,
                              const std::wstring& backup, const std::vector<BackupDisc>& discs,
                              const std::wstring& folder, bool mp3) {
  const SongList songs = SongList::AllTracks(discs, folder, mp3 ? L".mp3" : L".wav");
  ASSERT_EQ(S_OK, engine.Scan(backup, BackupMaker::ExpectedFrames(discs), discs));
  ASSERT_EQ(S_OK, songs.StartOn(engine, notifications.window(), mp3));
  ASSERT_TRUE(notifications.WaitDone());
  EXPECT_TRUE(engine.Succeeded());
  std::wstring text;
  EXPECT_EQ(S_OK, engine.Stop(text));
  EXPECT_EQ(L"Your tracks have been successfully created", text);
  for (const std::wstring& path : songs.paths)
    EXPECT_FALSE(ReadFileBytes(path).empty()) << std::string(path.begin(), path.end());
}

#pragma once
// What the ripper's tests share: a virtual drive with one disc, the wizard
// state a backup starts from, a job run to its end as the progress page runs
// it, and byte-level looks at the files it leaves.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/backup/BackupFormat.h"
#include "engine/cd/CdDevice.h"
#include "engine/jobs/RipperData.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/MemoryStreams.h"
#include "tests/support/FileBytes.h"
#include "tests/support/JobNotifications.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"
#include "wizard/WizardInfo.h"

namespace ripfixture {

using Bytes = std::vector<unsigned char>;

using ::ReadFileBytes;
using ::WriteFileBytes;

inline bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The discs of a backup file as the destination page reads them before an append.
inline std::vector<BackupDisc> ReadBackup(const std::wstring& path) {
  ByteSourceSB sb(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> in(&sb);
  return BackupFile::ReadDiscs(in);
}

// A disc of the given tracks: (start LBA, tone Hz), then the lead-out, with
// extra description lines (fault plan) after it.
struct Disc {
  std::vector<std::pair<int32_t, unsigned>> tracks;
  int32_t leadOut = 0;
  std::string extra;
  std::string dataTracks;                           // one 'd' per data track position, else ' '
  std::vector<std::pair<int32_t, int32_t>> silent;  // sectors the drive cannot deliver
  int firstTrack = 1;

  std::string Description(const std::string& id, wchar_t letter) const {
    std::string text = "[drive]\nid = " + id + "\nvolumes = " + char(letter) + ":\\\n" +
                       "first = " + std::to_string(firstTrack) + "\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
      const bool data = i < dataTracks.size() && dataTracks[i] == 'd';
      text += "track = " + std::to_string(tracks[i].first) + (data ? " data" : " audio ") +
              (data ? "" : std::to_string(tracks[i].second)) + "\n";
    }
    return text + "leadout = " + std::to_string(leadOut) + "\n" + extra;
  }
};

// Twelve tracks of distinct tones, seconds long each.
inline Disc TwelveTracks(int seconds, unsigned baseHz) {
  Disc d;
  for (int i = 0; i < 12; ++i) d.tracks.emplace_back(i * seconds * 75, baseHz + 97 * i);
  d.leadOut = 12 * seconds * 75;
  return d;
}

// A backup file of `count` discs of one TOC, each with `audioBytes` of audio
// (a pattern, not MP3: reading the file and appending to it do not decode it).
// Returns the file's bytes.
inline Bytes WriteDiscs(const std::wstring& path, const Bytes& toc, std::size_t count,
                        int32_t audioBytes) {
  std::vector<BackupDisc> discs(count);
  std::streamoff at = 0;
  for (BackupDisc& disc : discs) {
    disc.toc = toc;
    disc.disc.tracks.resize(2);
    disc.disc.tracks[0].title = L"Album";
    disc.audioStart = at;
    disc.audioSize = audioBytes;
    at += audioBytes + BackupFile::kGapBytes;
  }
  MemoryOut tag;
  if (!BackupFile::WriteTag(tag.out, discs, L"backup.mp3")) return {};
  Bytes file = tag.bytes();
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0)
      for (unsigned g = 0; g < BackupFile::kGapBlocks; ++g)
        file.insert(file.end(), BackupFile::GapFrame().begin(), BackupFile::GapFrame().end());
    for (int32_t b = 0; b < audioBytes; ++b) file.push_back(static_cast<unsigned char>(i + b));
  }
  WriteFileBytes(path, file);
  return file;
}

inline DiscInfo Texts(std::size_t tracks, const std::wstring& album) {
  DiscInfo info;
  info.tracks.resize(tracks + 1);
  info.tracks[0].artist = L"The Testers";
  info.tracks[0].title = album;
  info.tracks[0].genre = L"Rock";
  info.tracks[0].year = 2024;
  for (std::size_t k = 1; k <= tracks; ++k) {
    info.tracks[k].artist = L"The Testers";
    info.tracks[k].title = L"Song " + std::to_wstring(k);
  }
  return info;
}

// One rip as the progress page runs it: Start, messages until JOB_DONE, Finish.
struct RipRun {
  int range = 0;
  bool success = false;
  std::wstring text;
  std::vector<std::pair<WPARAM, LPARAM>> messages;
};

class RipTest : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }

  // Puts the disc in the drive and selects it in the wizard state.
  void Insert(const Disc& disc, const std::wstring& album = L"Album") {
    drive_.Describe(disc.Description("VD-R", L'R'));
    drives_ = CdDevice::GetDriveList();
    ASSERT_EQ(1u, drives_.size());
    ASSERT_EQ(CdDevice::KindAudio, drives_[0].kind);
    info_->drive = &drives_[0];
    info_->disc = Texts(disc.tracks.size(), album);
  }

  // Target backup file; appending when the file already holds discs.
  void Target(const std::wstring& path, int quality = 102) {
    info_->backupPath = path;
    info_->quality = quality;
    info_->discs = Exists(path) ? ReadBackup(path) : std::vector<BackupDisc>();
  }

  RipRun Run(RipperData& job, const std::function<void(JobNotifications&)>& during = nullptr) {
    JobNotifications page;
    RipRun run;
    run.range = job.Start(page.window(), info_);
    if (run.range > 0) {
      if (during) during(page);
      EXPECT_TRUE(page.WaitDone());
    }
    run.success = job.Finish();
    EXPECT_EQ(run.success, job.Finish());  // a second Finish only repeats the answer
    page.Drain();
    run.text = job.Message();
    run.messages = page.received();
    return run;
  }
  RipRun Run() {
    RipperData job;
    return Run(job);
  }

  VirtualDriveSetup drive_;
  std::vector<CdDevice::DriveEntry> drives_;
  CWizardInfo info_;
  TempDir dir_;
};

}  // namespace ripfixture

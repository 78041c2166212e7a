#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "wizard/WizardInfo.h"
#include "wizard/jobs/ThreadedJob.h"

// Restores one disc of a backup file as a disc image: a .bin file of the
// program area's raw CD-DA sectors and a .cue sheet beside it, written on the
// "DiscImage Thread". The files are written under temporary names in their
// folder and take their names only when both are complete, so a failed or
// cancelled job leaves no file behind and replaces none.
class ImageRecorderData : public ThreadedJob {
 public:
  ~ImageRecorderData() override { StopWorker(); }

  // Takes the .cue path, the backup file, the disc at the front of the queue
  // (disc 0 when it is empty) and the disc list from the wizard state; returns
  // the progress range, 0 when the job did not start.
  int Start(HWND notify, CWizardInfo info) override;

  // Copies what the job needs; false when the backup file holds no such disc
  // or its TOC gives it no length.
  bool Setup(HWND notify, const std::wstring& cuePath, const std::wstring& backupPath,
             std::size_t discIndex, const std::vector<BackupDisc>& discs);
  // Sets the progress range and starts the worker; false when it cannot start.
  bool StartThread();

  // The .bin path beside a .cue path: its extension replaced by ".bin".
  static std::wstring BinPathFor(const std::wstring& cuePath);
  // The translated text that refuses a .cue path whose .bin would be the same
  // file (a name ending in ".bin", in any case), or whose .cue or .bin would
  // replace the backup file; empty for a usable path.
  static std::wstring RefusedName(const std::wstring& cuePath, const std::wstring& backupPath);

 private:
  void ThreadProc();
  void WriteImage();

  std::size_t discIndex_ = 0;
  bool failed_ = false;
  std::wstring cuePath_, binPath_, backupPath_;
  std::vector<BackupDisc> discs_;
  std::wstring binTemp_, cueTemp_;  // files this job created, until they take their names
};

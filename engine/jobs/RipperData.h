#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/jobs/TempCopy.h"
#include "engine/mp3/LameEncEncoder.h"
#include "wizard/jobs/ThreadedJob.h"

class CoverImageCollection;

// The backup of one audio CD: the "Ripper Thread" reads the disc in the chosen
// drive, encodes it to MP3 and writes it as a new backup file, or appends it to
// the discs already in the backup file. The user's old file is kept aside until
// the new one is complete and comes back whenever the rip does not succeed.
class RipperData : public ThreadedJob {
 public:
  using ByteOStream = std::basic_ostream<unsigned char>;
  static const int kSectorsPerStep = 75;  // one second of audio per progress step

  // Where the backup file's bytes go.
  class OutputFile {
   public:
    virtual ~OutputFile() = default;
    // Writes what fits; fewer bytes than given once the disk is full.
    virtual std::streamsize Write(const unsigned char* s, std::streamsize n) = 0;
  };
  // The output stream over the backup file while the rip writes it.
  class Output;

  RipperData();
  ~RipperData() override;

  // Copies what the rip needs from the wizard state and starts the thread;
  // returns the progress range, 0 when the rip did not start.
  int Start(HWND notify, CWizardInfo info) override;

  // Whether the disc of this TOC, at the quality, can be appended behind the
  // discs of a backup file without the file reaching 2 GiB; and what the user
  // is told when not.
  static bool AppendFits(const std::vector<unsigned char>& toc,
                         const std::vector<BackupDisc>& existing, int quality);
  static const wchar_t kTooLargeText[];
  // Whether a disc of newDiscBytes of audio can still be appended after the
  // discs (with their positions in the existing file) while every position
  // stays within BackupFile::kMaxBackupBytes.
  static bool AppendFitsBackup(const std::vector<BackupDisc>& discs, int64_t newDiscBytes);
  // What the user is told when the backup file already holds as many discs as
  // a backup can.
  static const wchar_t kFullText[];

  // Works out the sectors to read, builds the encoder and starts the thread;
  // 0 once the thread runs.
  HRESULT StartRip();

 protected:
  // The backup file, emptied; destroying it closes the file.
  virtual std::unique_ptr<OutputFile> OpenOutput(const std::wstring& path);

 private:
  using Encoder = boost::iostreams::lameenc_encoder;

  static bool FitsBehind(int32_t sectors, const std::vector<BackupDisc>& existing, int quality);
  static void RipperThread(RipperData* job);
  void Rip();
  // Replaces the old file by the new one, or puts it back, and says which.
  void Commit();
  bool WriteAudio(Output& out);
  bool CopyExistingAudio(Output& out, uint64_t bytes);
  void SetProgress(int position);
  void WriteError();

  // Copies of the wizard state.
  wchar_t driveLetter_ = 0;
  std::vector<unsigned char> toc_;
  std::vector<BackupDisc> existing_;
  DiscInfo disc_;
  int quality_ = 255;
  std::wstring backupPath_;
  const CoverImageCollection* pictures_ = nullptr;  // read in place, never changed meanwhile

  std::shared_ptr<Encoder> encoder_;
  std::unique_ptr<TempCopy> oldFile_;
  bool failed_ = false;  // the file on disk must be thrown away
  int32_t startSector_ = 0;
  int32_t sectorCount_ = 0;
  int position_ = 0;
  int copySteps_ = 0;
  unsigned unreadableSectors_ = 0;
};

#pragma once
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"

// Backup files for the extraction tests: every track a steady tone whose
// frequency its title carries ("Tone 440 Hz"), encoded by the LAME library at
// 128 kbit/s as one stream per disc, behind the tag of the backup-file writer.
namespace BackupMaker {

struct DiscPlan {
  std::vector<int> trackStarts;  // CD frames from the start of the disc's first track
  int leadOut = 0;               // CD frames, likewise
  int firstLba = 0;              // where the first track lies on the disc
  std::vector<int> tonesHz;      // one per track
  int firstTrack = 1;            // the number of the disc's first track
};

// The MP3 stream of a disc, one tone per track.
std::vector<unsigned char> EncodeDisc(const DiscPlan& plan);

// The discs with texts, TOCs and audio positions as the writer takes them.
std::vector<BackupDisc> DescribeDiscs(const std::vector<DiscPlan>& plans,
                                      const std::vector<std::vector<unsigned char>>& audio);

// Writes the backup file; false when the writer fails.
bool WriteBackup(const std::wstring& path, const std::vector<BackupDisc>& discs,
                 const std::vector<std::vector<unsigned char>>& audio);

// The frame count the select-tracks page expects of the discs.
int ExpectedFrames(const std::vector<BackupDisc>& discs);

}  // namespace BackupMaker

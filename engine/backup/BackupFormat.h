#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/id3/ID3TagLib.h"

// The backup file: an MP3 stream of one or more discs behind an ID3v2.3 tag
// that carries every disc's texts, raw TOC, cue sheet, chapters and pictures.
namespace BackupFile {

const unsigned kGapBlocks = 77;
const unsigned kGapBlockBytes = 627;
// Silent MPEG frames between two discs, and the time the chapters give them.
const int32_t kGapBytes = kGapBlocks * kGapBlockBytes;  // 48279
const int32_t kGapMs = 2011;
// The 627-byte block written kGapBlocks times between two discs: one padded
// 192 kbit/s frame that decodes to silence.
const std::array<unsigned char, kGapBlockBytes>& GapFrame();

// Every position and size that the tag stores or the records hold is below this.
const int64_t kMaxBackupBytes = 0x7FFFFFFF;

// A backup holds at most this many discs; the reader refuses a file with more.
const unsigned kMaxDiscs = 99;
// Whether one more disc can be appended to a backup holding these discs.
inline bool HasRoomForDisc(const std::vector<BackupDisc>& discs) {
  return discs.size() < kMaxDiscs;
}

const uint16_t kReadOnly = 0x2000;  // frame flag of the structure frames
const unsigned char kTopLevelOrdered = 0x03;
const unsigned char kOrdered = 0x01;
const uint32_t kNoOffset = 0xFFFFFFFF;

// A disc's texts hold one entry for the disc and one per track of its TOC.
// FitEntriesToToc drops the entries past the TOC's last track and adds empty
// ones for the tracks that have none; a TOC that is not usable changes nothing.
void FitEntriesToToc(DiscInfo& disc, const std::vector<unsigned char>& toc);
bool EntriesMatchToc(const BackupDisc& disc);

// Text frames of entry k: TIT2 TPE1 TPE2 TALB TCON [TRCK] [TYER] [TLEN] TMED [TSET].
std::vector<TagFrame> MakeTextFrames(const ID3::ID3TagLib& tag, unsigned k, int disc, int discs,
                                     const DiscInfo& info, int32_t lengthMs);
// The tag of the whole backup, written once at the start of the file. Refuses
// what the reader would refuse: no disc, more than kMaxDiscs, a disc whose
// TOC is not usable, or one whose entries do not match its TOC.
bool WriteTag(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
              const std::wstring& fileName);
bool WriteSingleDiscTag(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
                        const std::wstring& fileName);

// The discs of a backup file; empty when the file is not a valid backup file.
std::vector<BackupDisc> ReadDiscs(ID3::ByteIStream& is);

}  // namespace BackupFile

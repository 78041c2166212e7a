#pragma once
#include <array>
#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/cd/RawToc.h"

// CD-Text of the lead-in: the disc's and the tracks' titles and performers as
// packs of block 0, each 18 bytes with its CRC.
namespace Recorder {

enum CdTextCharCode : unsigned char {
  kCharIso8859 = 0x00,
  kCharMsJis = 0x80,
  kCharKorean = 0x81,
  kCharMandarin = 0x82,
};

enum CdTextPackType : unsigned char {
  kPackTitle = 0x80,
  kPackPerformer = 0x81,
  kPackSizeInfo = 0x8F,
};

const int kCdTextPackBytes = 18;
// What a double-byte text writes for a character that its bytes cannot carry.
const unsigned char kCdTextSubstitute = '?';
// Sequence numbers of a block are single bytes: with the three size packs, at
// most this many title and performer packs fit.
const unsigned kMaxCdTextTextPacks = 253;

struct CdTextPack {
  unsigned char type = 0;
  unsigned char track = 0;
  unsigned char sequence = 0;
  unsigned char id4 = 0;  // double-byte flag, block number, character position
  std::array<unsigned char, 12> payload{};
};

// The lead-in data: whole 72-byte units of four packs. Texts that need more
// packs than one block holds are all cut to the longest length that fits.
std::vector<unsigned char> BuildCdText(const DiscInfo& texts, const RawToc::Bytes& toc);
// The character code that can write the most characters of the artists and titles.
unsigned char ChooseCdTextCharCode(const DiscInfo& texts);
// The text in the code with its terminator (00 00 in a double-byte code, after
// a zero that keeps an odd byte count even); characters without a code are
// left out. A double-byte text writes the
// characters below 0x80, and MS-JIS its half-width katakana, in one byte as
// Shift-JIS and EUC do; a code that the text's bytes cannot carry (the
// Mandarin table's euro sign, 0x80) is written as kCdTextSubstitute.
std::vector<unsigned char> EncodeCdText(unsigned char code, const std::wstring& text);
// Appends the packs of one pack type that carry the encoded texts.
void AppendCdTextPacks(std::vector<CdTextPack>& packs, unsigned char type, unsigned block,
                       unsigned char code, const std::vector<unsigned char>& bytes);

}  // namespace Recorder

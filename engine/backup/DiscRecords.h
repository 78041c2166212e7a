#pragma once
#include <array>
#include <cstdint>
#include <ios>
#include <string>
#include <vector>

// The value records that carry a disc through the program.

// Texts of one track, or of the disc as entry 0 of DiscInfo::tracks.
struct TrackText {
  std::wstring artist;
  std::wstring title;
  std::wstring genre;
  std::wstring extendedText;  // from the CD database; never stored in a backup
  int32_t year = 0;           // 0: unknown
};

// The texts of a disc with its CD-database identity.
struct DiscInfo {
  std::wstring source;  // "submitted" once the user's own texts were submitted
  int32_t revision = 0;
  std::wstring category;
  int32_t discId = 0;
  std::array<unsigned char, 20> tocHash{};
  std::vector<TrackText> tracks;  // entry 0: the disc; entry k: track k
};

// One ID3v2 frame: four-character id, flags as stored, data without header.
struct TagFrame {
  std::string id;
  uint16_t flags = 0;
  std::vector<unsigned char> data;
};

// One disc as stored in a backup file.
struct BackupDisc {
  DiscInfo disc;
  std::vector<unsigned char> toc;
  std::vector<TagFrame> pictures;
  std::streampos audioStart = 0;  // first MP3 byte of the disc in the file
  int32_t audioSize = 0;
};

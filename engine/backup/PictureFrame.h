#pragma once
#include <string>

#include "engine/backup/DiscRecords.h"
#include "engine/id3/ID3TagLib.h"

// The APIC frames that carry a backup's pictures.
namespace BackupFile {

// Picture kinds: 0 other, 1 front cover, 2 back cover, 3 inlay, 4 label.
// Refuses a picture whose frame would be larger than the reader accepts.
bool MakePictureFrame(TagFrame& out, const std::wstring& description, const ID3::Bytes& jpeg,
                      int kind = 0);
// Gives the picture kind back from the stored picture type.
bool ParsePictureFrame(const TagFrame& frame, int& kind, std::wstring& description,
                       ID3::Bytes& picture);

}  // namespace BackupFile

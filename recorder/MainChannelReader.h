#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/mp3/AcmWrapper.h"

namespace Recorder {

// The sector source of one disc of a backup file: for consecutive LBAs from the
// lead-in to the end of the lead-out, the 2352 main-channel bytes and the 96 raw
// P-W subchannel bytes of every sector.
class MainChannelReader {
 public:
  virtual ~MainChannelReader() = default;
  // S_OK, or STG_E_READFAULT past the end and when the audio runs out early.
  // Sectors must be asked for one after the other.
  virtual HRESULT ReadSector(int32_t lba, std::vector<unsigned char>& main,
                             std::vector<unsigned char>& sub) = 0;
  // The first LBA past the disc: the lead-out start + 6750.
  virtual HRESULT GetEndLba(int32_t* end) = 0;
};

// Empty when the disc cannot be given: an unusable TOC or CD-Text, no decoder,
// or audio that cannot be read or decoded.
std::unique_ptr<MainChannelReader> CreateMainChannelReader(
    const std::wstring& backupPath, int32_t audioStart, int32_t audioLength,
    const std::vector<unsigned char>& toc, const std::vector<unsigned char>& cdText);
// The same with the decoder given.
std::unique_ptr<MainChannelReader> CreateMainChannelReader(
    const std::wstring& backupPath, int32_t audioStart, int32_t audioLength,
    const std::vector<unsigned char>& toc, const std::vector<unsigned char>& cdText,
    std::shared_ptr<AcmWrapper::IACMWrapper> decoder);

}  // namespace Recorder

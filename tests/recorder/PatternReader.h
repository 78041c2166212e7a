#pragma once
#include <windows.h>

#include <cstdint>
#include <vector>

#include "recorder/MainChannelReader.h"

// Sectors whose every byte tells its LBA and offset apart.
class PatternReader : public Recorder::MainChannelReader {
 public:
  explicit PatternReader(int32_t end, std::vector<int32_t>* asked = nullptr)
      : end_(end), asked_(asked) {}
  HRESULT ReadSector(int32_t lba, std::vector<unsigned char>& main,
                     std::vector<unsigned char>& sub) override {
    if (asked_) asked_->push_back(lba);
    main.resize(2352);
    sub.resize(96);
    for (int i = 0; i < 2352; ++i) main[i] = Byte(lba, i);
    for (int i = 0; i < 96; ++i) sub[i] = Byte(lba, 2352 + i);
    return lba < end_ ? S_OK : STG_E_READFAULT;
  }
  HRESULT GetEndLba(int32_t* end) override {
    *end = end_;
    return S_OK;
  }
  static unsigned char Byte(int32_t lba, int i) {
    return static_cast<unsigned char>(lba * 31 + i * 7);
  }

 private:
  int32_t end_;
  std::vector<int32_t>* asked_;
};

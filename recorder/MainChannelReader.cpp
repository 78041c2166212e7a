#include "recorder/MainChannelReader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>

#include "recorder/DiscSubchannel.h"
#include "recorder/Mp3Decoder.h"

namespace Recorder {
namespace {

const int kRingSectors = 750;           // ten seconds of audio ahead of the sector written
const int32_t kTolerableUnderrun = 32;  // sectors before the lead-out that may be silent
const int kSilenceLevel = 15;

class MainChannelReaderImpl : public MainChannelReader, private PregapFinder {
 public:
  MainChannelReaderImpl(const std::wstring& path, int32_t audioStart, int32_t audioLength,
                        const std::vector<unsigned char>& toc,
                        const std::vector<unsigned char>& cdText,
                        std::shared_ptr<AcmWrapper::IACMWrapper> acm)
      : subchannel_(toc, cdText),
        ring_(std::size_t(kRingSectors) * kMainBytes),
        decoder_(path, std::streampos(audioStart), audioLength, std::move(acm)),
        pcm_(decoder_.DecodeBytes()) {
    FillRing();
    // Audio that cannot be read or decoded fails here, before anything is
    // written, not after the lead-in has been burned.
    const int32_t program = subchannel_.LeadOutStart() - subchannel_.TrackStart(1);
    const int32_t needed =
        std::min<int32_t>(kRingSectors, std::max(0, program - kTolerableUnderrun));
    if (complete_ < needed) throw std::runtime_error("the audio of the disc cannot be read");
  }

  HRESULT ReadSector(int32_t lba, std::vector<unsigned char>& main,
                     std::vector<unsigned char>& sub) override {
    main.assign(kMainBytes, 0);
    sub.resize(kRawSubBytes);
    FillRing();
    switch (subchannel_.AreaOf(lba)) {
      case DiscSubchannel::Area::LeadIn:
        subchannel_.LeadIn(lba, sub.data());
        return S_OK;
      case DiscSubchannel::Area::Pregap:
        subchannel_.Pregap(lba, sub.data());
        return S_OK;
      case DiscSubchannel::Area::Program:
        if (complete_ > 0) {
          std::memcpy(main.data(), Slot(readSlot_), kMainBytes);
          readSlot_ = (readSlot_ + 1) % kRingSectors;
          --complete_;
        } else if (lba + kTolerableUnderrun < subchannel_.LeadOutStart()) {
          subchannel_.Unreadable(lba, sub.data());
          return STG_E_READFAULT;
        }
        subchannel_.Program(lba, *this, sub.data());
        return S_OK;
      case DiscSubchannel::Area::LeadOut:
        subchannel_.LeadOut(lba, sub.data());
        return S_OK;
      case DiscSubchannel::Area::PastEnd:
        break;
    }
    subchannel_.Unreadable(lba, sub.data());
    return STG_E_READFAULT;
  }

  HRESULT GetEndLba(int32_t* end) override {
    if (!end) return E_POINTER;
    *end = subchannel_.EndLba();
    return S_OK;
  }

 private:
  unsigned char* Slot(int slot) { return ring_.data() + std::size_t(slot) * kMainBytes; }

  void FillRing() {
    while (complete_ < kRingSectors) {
      if (pendingBytes_ == 0) {
        if (ended_) return;
        pendingBytes_ = decoder_.Decode(pcm_.data(), static_cast<unsigned>(pcm_.size()));
        takenBytes_ = 0;
        if (pendingBytes_ == 0) {
          ended_ = true;
          return;
        }
      }
      const unsigned n = std::min(kMainBytes - slotBytes_, pendingBytes_ - takenBytes_);
      std::memcpy(Slot(writeSlot_) + slotBytes_, pcm_.data() + takenBytes_, n);
      slotBytes_ += n;
      takenBytes_ += n;
      if (takenBytes_ == pendingBytes_) pendingBytes_ = 0;
      if (slotBytes_ == unsigned(kMainBytes)) {
        ++complete_;
        writeSlot_ = (writeSlot_ + 1) % kRingSectors;
        slotBytes_ = 0;
      }
    }
  }

  bool Silent(int slot) {
    const unsigned char* p = Slot(slot);
    for (int i = 0; i < kMainBytes; i += 2) {
      const int sample = int16_t(p[i] | p[i + 1] << 8);
      if (std::abs(sample) > kSilenceLevel) return false;
    }
    return true;
  }

  // Called once sector x has left the ring: the read slot holds x + 1. The
  // silence before the next track, as far as the ring shows it, in whole
  // seconds (and a half second more past 36 sectors), ends five sectors
  // before the track; an index-0 pregap covers it.
  int32_t FindPregapStart(int32_t x, unsigned track) override {
    const int32_t c = subchannel_.TrackStart(track + 1), d = c - x;
    if (d <= 0 || complete_ < d || d < 5) return -1;
    int slot = (readSlot_ + (d - 5)) % kRingSectors;  // LBA c - 4
    int32_t k = 0;
    while (slot != readSlot_ && Silent(slot)) {
      ++k;
      slot = (slot + kRingSectors - 1) % kRingSectors;
    }
    const int32_t r = 75 * (k / 75) + (k % 75 > 36 ? 36 : 0);
    return std::min(c + 5 - r, c);
  }

  DiscSubchannel subchannel_;
  std::vector<unsigned char> ring_;
  int complete_ = 0, readSlot_ = 0, writeSlot_ = 0;
  unsigned slotBytes_ = 0;
  Mp3Decoder decoder_;
  std::vector<unsigned char> pcm_;
  bool ended_ = false;
  unsigned pendingBytes_ = 0, takenBytes_ = 0;
};

}  // namespace

std::unique_ptr<MainChannelReader> CreateMainChannelReader(
    const std::wstring& backupPath, int32_t audioStart, int32_t audioLength,
    const std::vector<unsigned char>& toc, const std::vector<unsigned char>& cdText,
    std::shared_ptr<AcmWrapper::IACMWrapper> decoder) {
  try {
    return std::make_unique<MainChannelReaderImpl>(backupPath, audioStart, audioLength, toc, cdText,
                                                   std::move(decoder));
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::unique_ptr<MainChannelReader> CreateMainChannelReader(
    const std::wstring& backupPath, int32_t audioStart, int32_t audioLength,
    const std::vector<unsigned char>& toc, const std::vector<unsigned char>& cdText) {
  return CreateMainChannelReader(backupPath, audioStart, audioLength, toc, cdText,
                                 AcmWrapper::CreateACMWrapper());
}

}  // namespace Recorder

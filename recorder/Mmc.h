#pragma once
// What the raw-CD writer asks a recorder through IMAPI2's pass-through side:
// the CD Mastering feature, the medium, the write speeds, and the MMC command
// blocks it sends.
#include <windows.h>

#include <initializer_list>
#include <vector>

#include "engine/cd/imapi2/Imapi2.h"

namespace Recorder {
namespace Mmc {

// Speeds are given in sectors per second; this many are one times CD speed.
constexpr LONG kBaseSpeed = 75;
constexpr LONG kDefaultSpeed = 300;

// Seconds a command may take: a query, and one that moves the medium or the speed.
constexpr ULONG kShortTimeout = 10, kLongTimeout = 20;

// The five capabilities of the CD Mastering feature.
struct Features {
  bool raw = false;
  bool bufferUnderrunFree = false;
  bool rewritable = false;
  bool rwSubchannel = false;
  bool testWrite = false;
};

struct MediaInfo {
  bool physicallyBlank = false;
  bool heuristicallyBlank = false;
  bool erasable = false;
  LONG lastLeadOutStart = 0;  // frames from 00:00:00, without the 150-frame offset
  BYTE profile = 0;
};

struct WriteSpeed {
  LONG start = kDefaultSpeed;
  LONG end = kDefaultSpeed;
  bool pureCav = false;
};

struct SpeedDescriptor {
  LONG sectorsPerSecond;
  bool pureCav;
};

// None of the calls below throws: short of memory they answer E_OUTOFMEMORY.

// Sends a command without data; its result.
HRESULT Send(IDiscRecorder2Ex* recorder, std::initializer_list<BYTE> cdb, ULONG timeout);
// Sends a command that reads up to `size` bytes; `reply` holds what came.
HRESULT Receive(IDiscRecorder2Ex* recorder, std::initializer_list<BYTE> cdb, ULONG timeout,
                ULONG size, std::vector<BYTE>& reply);

HRESULT QueryFeatures(IDiscRecorder2* recorder, Features& features);
// The current profiles (low bytes); an empty list when the recorder names none.
HRESULT QueryCurrentProfiles(IDiscRecorder2* recorder, std::vector<BYTE>& profiles);
HRESULT QueryMediaInfo(IDiscRecorder2* recorder, MediaInfo& info);
HRESULT QueryWriteSpeed(IDiscRecorder2* recorder, WriteSpeed& speed);
HRESULT QueryWriteSpeedDescriptors(IDiscRecorder2* recorder, std::vector<SpeedDescriptor>& list);
// SET CD SPEED with the write speed (-1: the maximum) and rotation control.
HRESULT ApplyWriteSpeed(IDiscRecorder2Ex* recorder, LONG sectorsPerSecond, bool pureCav);

// kB/s as a drive reports them, in sectors per second (rounded up).
LONG SectorsPerSecond(ULONG kilobytesPerSecond);

}  // namespace Mmc
}  // namespace Recorder

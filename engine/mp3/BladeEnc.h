#pragma once
#include <windows.h>

#include <cstddef>

// The records and entry points of a BladeEnc-style encoder library (cdecl, packed records).
namespace Encoders {
namespace BladeEnc {

constexpr DWORD kConfigLame = 256;
constexpr DWORD kStructVersion = 1;
constexpr LONG kModeJointStereo = 1;
constexpr LONG kPresetNone = -1;
constexpr DWORD kMpeg1 = 1;
constexpr LONG kVbrMethodAbr = 4;

#pragma pack(push, 1)
struct Config {
  DWORD config;  // kConfigLame
  DWORD structVersion;
  DWORD structSize;
  DWORD sampleRate;
  DWORD resampleRate;
  LONG mode;
  DWORD bitrate;     // kbit/s (the minimum with a variable rate)
  DWORD maxBitrate;  // kbit/s
  LONG preset;
  DWORD mpegVersion;
  DWORD psyModel;
  DWORD emphasis;
  BOOL privateBit;
  BOOL crc;
  BOOL copyright;
  BOOL original;
  BOOL writeVbrHeader;
  BOOL enableVbr;
  INT vbrQuality;
  DWORD vbrAbrBps;  // bit/s
  LONG vbrMethod;
  BOOL noBitReservoir;
  BOOL strictIso;
  WORD quality;
  BYTE reserved[255 - 4 * sizeof(DWORD) - sizeof(WORD)];
};

struct Version {
  BYTE dllMajorVersion;
  BYTE dllMinorVersion;
  BYTE majorVersion;
  BYTE minorVersion;
  BYTE day;
  BYTE month;
  WORD year;
  char homepage[129];
  BYTE alphaLevel;
  BYTE betaLevel;
  BYTE mmxEnabled;
  BYTE reserved[125];
};
#pragma pack(pop)

static_assert(sizeof(Config) == 331, "the library copies a 331-byte configuration");
static_assert(offsetof(Config, quality) == 92, "LHV1 layout");
static_assert(sizeof(Version) == 265, "the library writes a 265-byte version record");

typedef void* Stream;
typedef unsigned long Error;  // 0 = success
typedef Error(__cdecl* InitStreamFn)(Config*, DWORD* samples, DWORD* bufferSize, Stream* stream);
typedef Error(__cdecl* EncodeChunkFn)(Stream, DWORD samples, const SHORT* pcm, BYTE* output,
                                      DWORD* produced);
typedef Error(__cdecl* DeinitStreamFn)(Stream, BYTE* output, DWORD* produced);
typedef Error(__cdecl* CloseStreamFn)(Stream);
typedef void(__cdecl* VersionFn)(Version*);
typedef Error(__cdecl* WriteVbrHeaderFn)(LPCSTR path);
typedef Error(__cdecl* WriteInfoTagFn)(Stream, LPCSTR path);

}  // namespace BladeEnc
}  // namespace Encoders

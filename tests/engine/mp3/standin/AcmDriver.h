#pragma once
// The driver side of the Audio Compression Manager: the messages a codec
// driver's DriverProc receives and the records they carry.
#include "engine/mp3/AcmAudio.h"

namespace AcmDriver {

constexpr UINT kDriverDetails = 0x600A;
constexpr UINT kFormatTagDetails = 0x6019;
constexpr UINT kFormatDetails = 0x601A;
constexpr UINT kFormatSuggest = 0x601B;
constexpr UINT kStreamOpen = 0x604C;
constexpr UINT kStreamClose = 0x604D;
constexpr UINT kStreamSize = 0x604E;
constexpr UINT kStreamConvert = 0x604F;
constexpr UINT kStreamPrepare = 0x6051;
constexpr UINT kStreamUnprepare = 0x6052;

constexpr FOURCC kAudioCodec = mmioFOURCC('a', 'u', 'd', 'c');

struct OpenDesc {
  DWORD cbStruct;
  FOURCC fccType;
  FOURCC fccComp;
  DWORD dwVersion;
  DWORD dwFlags;
  DWORD dwError;
  LPCWSTR pszSectionName;
  LPCWSTR pszAliasName;
  DWORD dnDevNode;
};

struct StreamInstance {
  DWORD cbStruct;
  LPWAVEFORMATEX pwfxSrc;
  LPWAVEFORMATEX pwfxDst;
  LPWAVEFILTER pwfltr;
  DWORD_PTR dwCallback;
  DWORD_PTR dwInstance;
  DWORD fdwOpen;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
  HACMSTREAM has;
};

struct StreamHeader {
  DWORD cbStruct;
  DWORD fdwStatus;
  DWORD_PTR dwUser;
  LPBYTE pbSrc;
  DWORD cbSrcLength;
  DWORD cbSrcLengthUsed;
  DWORD_PTR dwSrcUser;
  LPBYTE pbDst;
  DWORD cbDstLength;
  DWORD cbDstLengthUsed;
  DWORD_PTR dwDstUser;
  DWORD fdwConvert;
  StreamHeader* padshNext;
  DWORD fdwDriver;
  DWORD_PTR dwDriver;
};

struct StreamSize {
  DWORD cbStruct;
  DWORD fdwSize;
  DWORD cbSrcLength;
  DWORD cbDstLength;
};

struct FormatSuggest {
  DWORD cbStruct;
  DWORD fdwSuggest;
  LPWAVEFORMATEX pwfxSrc;
  DWORD cbwfxSrc;
  LPWAVEFORMATEX pwfxDst;
  DWORD cbwfxDst;
};

}  // namespace AcmDriver

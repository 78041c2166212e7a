// A stand-in for the system's MPEG Layer-3 ACM codec: an ACM driver that
// encodes 16-bit PCM to constant-bit-rate MPEG-1 Layer III with libmp3lame. It
// converts only at the source's own rate and channel count, so other targets
// take the route through the system's PCM converter.
#include <lame.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/CallingConvention.h"
#include "tests/engine/mp3/standin/AcmDriver.h"

namespace {

constexpr DWORD kRates[] = {32000, 44100, 48000};
constexpr DWORD kBitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
constexpr DWORD kStandardBitRates[] = {128, 160, 192, 224, 256, 320};
constexpr DWORD kFlushRoom = 7200;  // the encoder's bound for what a flush hands out
constexpr WORD kCodecDelay = 1393;

bool IsRate(DWORD rate) {
  return std::find(std::begin(kRates), std::end(kRates), rate) != std::end(kRates);
}

bool IsBitRate(DWORD kbps) {
  return std::find(std::begin(kBitRates), std::end(kBitRates), kbps) != std::end(kBitRates);
}

bool IsPcmInput(const WAVEFORMATEX* f) {
  return f && f->wFormatTag == WAVE_FORMAT_PCM && f->wBitsPerSample == 16 &&
         (f->nChannels == 1 || f->nChannels == 2) && IsRate(f->nSamplesPerSec) &&
         f->nBlockAlign == f->nChannels * 2;
}

bool IsMp3For(const WAVEFORMATEX* mp3, const WAVEFORMATEX* pcm) {
  return mp3 && mp3->wFormatTag == WAVE_FORMAT_MPEGLAYER3 &&
         mp3->cbSize >= MPEGLAYER3_WFX_EXTRA_BYTES && mp3->nChannels == pcm->nChannels &&
         mp3->nSamplesPerSec == pcm->nSamplesPerSec && IsBitRate(mp3->nAvgBytesPerSec * 8 / 1000);
}

void MakeMp3(MPEGLAYER3WAVEFORMAT* f, WORD channels, DWORD rate, DWORD averageBytes) {
  std::memset(f, 0, sizeof *f);
  f->wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  f->wfx.nChannels = channels;
  f->wfx.nSamplesPerSec = rate;
  f->wfx.nAvgBytesPerSec = averageBytes;
  f->wfx.nBlockAlign = 1;
  f->wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  f->wID = MPEGLAYER3_ID_MPEG;
  f->fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  f->nBlockSize = static_cast<WORD>(averageBytes * 1152 / rate);
  f->nFramesPerBlock = 1;
  f->nCodecDelay = kCodecDelay;
}

void MakePcm(WAVEFORMATEX* f, WORD channels, DWORD rate) {
  std::memset(f, 0, sizeof(PCMWAVEFORMAT));
  f->wFormatTag = WAVE_FORMAT_PCM;
  f->nChannels = channels;
  f->nSamplesPerSec = rate;
  f->wBitsPerSample = 16;
  f->nBlockAlign = static_cast<WORD>(channels * 2);
  f->nAvgBytesPerSec = rate * f->nBlockAlign;
}

template <std::size_t N>
void CopyName(WCHAR (&to)[N], const wchar_t* from) {
  lstrcpynW(to, from, static_cast<int>(N));
}

LRESULT DriverDetails(ACMDRIVERDETAILSW* out) {
  ACMDRIVERDETAILSW d{};
  d.cbStruct = std::min<DWORD>(out->cbStruct, sizeof d);
  d.fccType = AcmDriver::kAudioCodec;
  d.wMid = 1;
  d.wPid = 1;
  d.vdwACM = 0x03320000;
  d.vdwDriver = 0x01000000;
  d.fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d.cFormatTags = 2;
  CopyName(d.szShortName, L"Test MP3 encoder");
  CopyName(d.szLongName, L"MPEG Layer-3 test encoder");
  std::memcpy(out, &d, d.cbStruct);
  return MMSYSERR_NOERROR;
}

LRESULT FormatTagDetails(ACMFORMATTAGDETAILSW* d, DWORD flags) {
  DWORD tag = 0;
  switch (flags & ACM_FORMATTAGDETAILSF_QUERYMASK) {
    case ACM_FORMATTAGDETAILSF_INDEX:
      if (d->dwFormatTagIndex > 1) return ACMERR_NOTPOSSIBLE;
      tag = d->dwFormatTagIndex == 0 ? WAVE_FORMAT_PCM : WAVE_FORMAT_MPEGLAYER3;
      break;
    case ACM_FORMATTAGDETAILSF_FORMATTAG:
      tag = d->dwFormatTag;
      if (tag != WAVE_FORMAT_PCM && tag != WAVE_FORMAT_MPEGLAYER3) return ACMERR_NOTPOSSIBLE;
      break;
    case ACM_FORMATTAGDETAILSF_LARGESTSIZE:
      tag = d->dwFormatTag == WAVE_FORMAT_PCM ? WAVE_FORMAT_PCM : WAVE_FORMAT_MPEGLAYER3;
      break;
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
  const bool pcm = tag == WAVE_FORMAT_PCM;
  d->dwFormatTagIndex = pcm ? 0 : 1;
  d->dwFormatTag = tag;
  d->cbFormatSize = pcm ? sizeof(PCMWAVEFORMAT) : sizeof(MPEGLAYER3WAVEFORMAT);
  d->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d->cStandardFormats =
      pcm ? std::size(kRates) * 2 : std::size(kRates) * 2 * std::size(kStandardBitRates);
  CopyName(d->szFormatTag, pcm ? L"" : L"MPEG Layer-3");
  return MMSYSERR_NOERROR;
}

LRESULT FormatDetails(ACMFORMATDETAILSW* d, DWORD flags) {
  if ((flags & ACM_FORMATDETAILSF_QUERYMASK) == ACM_FORMATDETAILSF_FORMAT) {
    const WAVEFORMATEX* f = d->pwfx;
    const bool known =
        f && IsRate(f->nSamplesPerSec) && (f->nChannels == 1 || f->nChannels == 2) &&
        ((f->wFormatTag == WAVE_FORMAT_PCM && f->wBitsPerSample == 16) ||
         (f->wFormatTag == WAVE_FORMAT_MPEGLAYER3 && IsBitRate(f->nAvgBytesPerSec * 8 / 1000)));
    if (!known) return ACMERR_NOTPOSSIBLE;
  } else if ((flags & ACM_FORMATDETAILSF_QUERYMASK) == ACM_FORMATDETAILSF_INDEX) {
    const DWORD i = d->dwFormatIndex;
    if (d->dwFormatTag == WAVE_FORMAT_PCM) {
      if (i >= std::size(kRates) * 2 || d->cbwfx < sizeof(PCMWAVEFORMAT)) return ACMERR_NOTPOSSIBLE;
      MakePcm(d->pwfx, static_cast<WORD>(i % 2 + 1), kRates[i / 2]);
    } else if (d->dwFormatTag == WAVE_FORMAT_MPEGLAYER3) {
      const DWORD count = std::size(kRates) * 2 * std::size(kStandardBitRates);
      if (i >= count || d->cbwfx < sizeof(MPEGLAYER3WAVEFORMAT)) return ACMERR_NOTPOSSIBLE;
      const DWORD rate = kRates[i / (2 * std::size(kStandardBitRates))];
      const WORD channels = static_cast<WORD>((i / std::size(kStandardBitRates)) % 2 + 1);
      MakeMp3(reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(d->pwfx), channels, rate,
              kStandardBitRates[i % std::size(kStandardBitRates)] * 1000 / 8);
    } else {
      return ACMERR_NOTPOSSIBLE;
    }
  } else {
    return MMSYSERR_NOTSUPPORTED;
  }
  d->fdwSupport = ACMDRIVERDETAILS_SUPPORTF_CODEC;
  d->szFormat[0] = 0;
  return MMSYSERR_NOERROR;
}

LRESULT FormatSuggest(AcmDriver::FormatSuggest* s) {
  const WAVEFORMATEX* src = s->pwfxSrc;
  WAVEFORMATEX* dst = s->pwfxDst;
  const DWORD flags = s->fdwSuggest;
  if (!IsPcmInput(src) || !dst || s->cbwfxDst < sizeof(MPEGLAYER3WAVEFORMAT))
    return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_WFORMATTAG) && dst->wFormatTag != WAVE_FORMAT_MPEGLAYER3)
    return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NCHANNELS) && dst->nChannels != src->nChannels)
    return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_NSAMPLESPERSEC) && dst->nSamplesPerSec != src->nSamplesPerSec)
    return ACMERR_NOTPOSSIBLE;
  if ((flags & ACM_FORMATSUGGESTF_WBITSPERSAMPLE) && dst->wBitsPerSample != 0)
    return ACMERR_NOTPOSSIBLE;
  const bool tagged = dst->wFormatTag == WAVE_FORMAT_MPEGLAYER3;
  const DWORD wanted = tagged ? dst->nAvgBytesPerSec : 0;
  MakeMp3(reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(dst), src->nChannels, src->nSamplesPerSec,
          IsBitRate(wanted * 8 / 1000) ? wanted : 128000 / 8);
  return MMSYSERR_NOERROR;
}

LRESULT StreamOpen(AcmDriver::StreamInstance* si) {
  if (!IsPcmInput(si->pwfxSrc) || !IsMp3For(si->pwfxDst, si->pwfxSrc)) return ACMERR_NOTPOSSIBLE;
  if (si->fdwOpen & ACM_STREAMOPENF_QUERY) return MMSYSERR_NOERROR;
  lame_global_flags* gf = lame_init();
  if (!gf) return MMSYSERR_NOMEM;
  const WAVEFORMATEX& src = *si->pwfxSrc;
  lame_set_in_samplerate(gf, static_cast<int>(src.nSamplesPerSec));
  lame_set_out_samplerate(gf, static_cast<int>(src.nSamplesPerSec));
  lame_set_num_channels(gf, src.nChannels);
  lame_set_mode(gf, src.nChannels == 1 ? MONO : JOINT_STEREO);
  lame_set_VBR(gf, vbr_off);
  lame_set_brate(gf, static_cast<int>(si->pwfxDst->nAvgBytesPerSec * 8 / 1000));
  lame_set_bWriteVbrTag(gf, 0);
  if (lame_init_params(gf) < 0) {
    lame_close(gf);
    return ACMERR_NOTPOSSIBLE;
  }
  si->dwDriver = reinterpret_cast<DWORD_PTR>(gf);
  return MMSYSERR_NOERROR;
}

LRESULT StreamSize(const AcmDriver::StreamInstance* si, AcmDriver::StreamSize* size) {
  const DWORD frame = si->pwfxSrc->nBlockAlign;
  switch (size->fdwSize & ACM_STREAMSIZEF_QUERYMASK) {
    case ACM_STREAMSIZEF_SOURCE: {
      const DWORD samples = size->cbSrcLength / frame;
      size->cbDstLength = samples * 5 / 4 + 2 * kFlushRoom;
      return MMSYSERR_NOERROR;
    }
    case ACM_STREAMSIZEF_DESTINATION: {
      if (size->cbDstLength <= 2 * kFlushRoom) return ACMERR_NOTPOSSIBLE;
      size->cbSrcLength = (size->cbDstLength - 2 * kFlushRoom) * 4 / 5 * frame;
      return MMSYSERR_NOERROR;
    }
    default:
      return MMSYSERR_NOTSUPPORTED;
  }
}

LRESULT StreamConvert(const AcmDriver::StreamInstance* si, AcmDriver::StreamHeader* h) {
  auto* gf = reinterpret_cast<lame_global_flags*>(si->dwDriver);
  const WAVEFORMATEX& src = *si->pwfxSrc;
  const int samples = static_cast<int>(h->cbSrcLength / src.nBlockAlign);
  auto* pcm = reinterpret_cast<short*>(h->pbSrc);
  const int size = static_cast<int>(h->cbDstLength);
  int used = src.nChannels == 2 ? lame_encode_buffer_interleaved(gf, pcm, samples, h->pbDst, size)
                                : lame_encode_buffer(gf, pcm, pcm, samples, h->pbDst, size);
  if (used < 0) return ACMERR_NOTPOSSIBLE;
  if (h->fdwConvert & ACM_STREAMCONVERTF_END) {
    const int tail = lame_encode_flush(gf, h->pbDst + used, size - used);
    if (tail < 0) return ACMERR_NOTPOSSIBLE;
    used += tail;
  }
  h->cbSrcLengthUsed = static_cast<DWORD>(samples) * src.nBlockAlign;
  h->cbDstLengthUsed = static_cast<DWORD>(used);
  return MMSYSERR_NOERROR;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    DriverProc(DWORD_PTR id, HDRVR driver, UINT msg, LPARAM p1, LPARAM p2) {
  switch (msg) {
    case DRV_LOAD:
    case DRV_FREE:
    case DRV_ENABLE:
    case DRV_DISABLE:
      return 1;
    case DRV_OPEN: {
      auto* desc = reinterpret_cast<AcmDriver::OpenDesc*>(p2);
      if (desc) {
        if (desc->fccType != AcmDriver::kAudioCodec) return 0;
        desc->dwError = MMSYSERR_NOERROR;
      }
      return 1;
    }
    case DRV_CLOSE:
      return 1;
    case DRV_QUERYCONFIGURE:
      return 0;
    case AcmDriver::kDriverDetails:
      return DriverDetails(reinterpret_cast<ACMDRIVERDETAILSW*>(p1));
    case AcmDriver::kFormatTagDetails:
      return FormatTagDetails(reinterpret_cast<ACMFORMATTAGDETAILSW*>(p1), static_cast<DWORD>(p2));
    case AcmDriver::kFormatDetails:
      return FormatDetails(reinterpret_cast<ACMFORMATDETAILSW*>(p1), static_cast<DWORD>(p2));
    case AcmDriver::kFormatSuggest:
      return FormatSuggest(reinterpret_cast<AcmDriver::FormatSuggest*>(p1));
    case AcmDriver::kStreamOpen:
      return StreamOpen(reinterpret_cast<AcmDriver::StreamInstance*>(p1));
    case AcmDriver::kStreamClose: {
      auto* si = reinterpret_cast<AcmDriver::StreamInstance*>(p1);
      if (si->dwDriver) lame_close(reinterpret_cast<lame_global_flags*>(si->dwDriver));
      si->dwDriver = 0;
      return MMSYSERR_NOERROR;
    }
    case AcmDriver::kStreamSize:
      return StreamSize(reinterpret_cast<AcmDriver::StreamInstance*>(p1),
                        reinterpret_cast<AcmDriver::StreamSize*>(p2));
    case AcmDriver::kStreamConvert:
      return StreamConvert(reinterpret_cast<AcmDriver::StreamInstance*>(p1),
                           reinterpret_cast<AcmDriver::StreamHeader*>(p2));
    case AcmDriver::kStreamPrepare:
    case AcmDriver::kStreamUnprepare:
      return MMSYSERR_NOTSUPPORTED;  // the manager prepares the headers itself
    default:
      return msg < DRV_USER ? DefDriverProc(id, driver, msg, p1, p2) : MMSYSERR_NOTSUPPORTED;
  }
}
// The driver manager calls it as an installable driver's entry point.
PIN_BINDING(DRIVERPROC, DriverProc);

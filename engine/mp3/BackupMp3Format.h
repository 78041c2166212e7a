#pragma once
#include "engine/mp3/AcmAudio.h"
#include "engine/mp3/Mp3Frame.h"

namespace AcmWrapper {

// The samples a Layer III codec delays its output by.
constexpr WORD kMp3CodecDelay = 1393;

// MPEG-1 Layer III as the codecs take it: one frame per block, padding off.
inline MPEGLAYER3WAVEFORMAT Mp3WaveFormat(WORD channels, DWORD rate, DWORD averageBytes,
                                          WORD blockSize, WORD codecDelay) {
  MPEGLAYER3WAVEFORMAT format = {};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = channels;
  format.wfx.nSamplesPerSec = rate;
  format.wfx.nAvgBytesPerSec = averageBytes;
  format.wfx.nBlockAlign = 1;
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  format.nBlockSize = blockSize;
  format.nFramesPerBlock = 1;
  format.nCodecDelay = codecDelay;
  return format;
}

// A backup file's audio as its decoders describe it to the codec: stereo,
// 44100 Hz.
inline MPEGLAYER3WAVEFORMAT BackupMp3Format() {
  return Mp3WaveFormat(2, Mp3Frame::kSampleRate, 8000, 26, kMp3CodecDelay);
}

}  // namespace AcmWrapper

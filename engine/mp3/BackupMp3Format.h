#pragma once
#include "engine/mp3/AcmAudio.h"

namespace AcmWrapper {

// A backup file's audio as its decoders describe it to the codec: MPEG-1
// Layer III, stereo, 44100 Hz.
inline MPEGLAYER3WAVEFORMAT BackupMp3Format() {
  MPEGLAYER3WAVEFORMAT format = {};
  format.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  format.wfx.nChannels = 2;
  format.wfx.nSamplesPerSec = 44100;
  format.wfx.nAvgBytesPerSec = 8000;
  format.wfx.nBlockAlign = 1;
  format.wfx.wBitsPerSample = 0;
  format.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  format.wID = MPEGLAYER3_ID_MPEG;
  format.fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  format.nBlockSize = 26;
  format.nFramesPerBlock = 1;
  format.nCodecDelay = 1393;
  return format;
}

}  // namespace AcmWrapper

#include "engine/mp3/MP3EncoderAcmImpl.h"

#include <cstring>

#include "common/SysUtil.h"
#include "engine/mp3/BackupMp3Format.h"
#include "engine/mp3/Mp3Frame.h"

namespace Encoders {
namespace {

constexpr wchar_t kDriverName[] = L"l3codecp.acm";

}  // namespace

MP3EncoderAcmImpl::~MP3EncoderAcmImpl() { Unload(); }

HRESULT MP3EncoderAcmImpl::Load() {
  if (driverModule_) return 0;
  SetLastError(0);
  HMODULE module = LoadLibraryW(kDriverName);
  if (!module) return SysUtil::LastErrorResult();
  SetLastError(0);
  FARPROC driverProc = GetProcAddress(module, "DriverProc");
  if (!driverProc) {
    const HRESULT failure = SysUtil::LastErrorResult();
    FreeLibrary(module);
    return failure;
  }
  // Registered for this process only.
  HACMDRIVERID id = nullptr;
  if (acmDriverAddW(&id, module, reinterpret_cast<LPARAM>(driverProc), 0,
                    ACM_DRIVERADDF_FUNCTION) != MMSYSERR_NOERROR) {
    FreeLibrary(module);
    return E_FAIL;
  }
  driverModule_ = module;
  driverId_ = id;
  return 0;
}

int MP3EncoderAcmImpl::Unload() {
  wrapper_.reset();
  if (driverModule_) {
    if (acmDriverRemove(driverId_, 0) == MMSYSERR_NOERROR) FreeLibrary(driverModule_);
  }
  driverModule_ = nullptr;
  driverId_ = nullptr;
  return 0;
}

int MP3EncoderAcmImpl::Init(const EncoderSettings& settings) {
  const DWORD averageBytes = settings.averageBitRate / 8;
  const WORD blockSize = static_cast<WORD>(
      inputRate_ > 0 ? averageBytes * Mp3Frame::kSamples / static_cast<DWORD>(inputRate_) : 0);
  MPEGLAYER3WAVEFORMAT format =
      AcmWrapper::Mp3WaveFormat(static_cast<WORD>(inputChannels_), static_cast<DWORD>(inputRate_),
                                averageBytes, blockSize, AcmWrapper::kMp3CodecDelay);

  wrapper_ = AcmWrapper::CreateACMWrapper();
  const HRESULT result = wrapper_->OpenEncoder(
      &format.wfx, &outputFormat_, static_cast<unsigned>(inputRate_), this, &Deliver, nullptr);
  if (result == S_OK && wrapper_->GetBufferSizes(&inputSize_, &outputSize_) != S_OK) return E_FAIL;
  return result;
}

int MP3EncoderAcmImpl::InitFromQuality(int quality) {
  EncoderSettings settings = BaseSettings();
  AcmQualityToSettings(quality, settings);
  return Init(settings);
}

int MP3EncoderAcmImpl::SetInput(int rate, int channels, int bits) {
  inputRate_ = rate;
  inputChannels_ = channels;
  inputBits_ = bits;
  return 0;
}

void MP3EncoderAcmImpl::GetSizes(unsigned& inputBytes, unsigned& outputBytes) {
  inputBytes = wrapper_ ? inputSize_ : 0;
  outputBytes = wrapper_ ? outputSize_ : 0;
}

// Copies each converted block behind what this call has delivered; a block that
// would run past the caller's output buffer fails the call instead.
int MP3EncoderAcmImpl::Deliver(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer,
                               unsigned byteCount, unsigned frameCount, unsigned,
                               unsigned* outBytes, unsigned* outFrames) {
  auto* self = static_cast<MP3EncoderAcmImpl*>(user);
  if (self->delivered_ + byteCount > self->outputSize_) {
    self->overflow_ = true;
    return 0;
  }
  std::memcpy(self->target_ + self->delivered_, buffer, byteCount);
  self->delivered_ += byteCount;
  *outBytes = byteCount;
  *outFrames = frameCount;
  return 1;
}

bool MP3EncoderAcmImpl::Run(const unsigned char* pcm, unsigned frames, unsigned char* output,
                            unsigned& bytes, unsigned& produced) {
  produced = 0;
  if (!wrapper_) return false;
  target_ = output;
  delivered_ = 0;
  overflow_ = false;
  unsigned handedOut = 0;
  const HRESULT result = wrapper_->Encode(pcm, frames, &handedOut);
  bytes = handedOut;
  produced = delivered_;
  target_ = nullptr;
  return result == S_OK && !overflow_;
}

bool MP3EncoderAcmImpl::Encode(const unsigned char* pcm, unsigned& bytes, unsigned char* output,
                               unsigned& produced) {
  return Run(pcm, bytes / 4, output, bytes, produced);
}

bool MP3EncoderAcmImpl::Finish(unsigned char* output, unsigned& produced) {
  unsigned bytes = 0;
  return Run(nullptr, 0, output, bytes, produced);
}

}  // namespace Encoders

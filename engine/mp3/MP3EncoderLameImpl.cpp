#include "engine/mp3/MP3EncoderLameImpl.h"

#include <cstring>
#include <string>

#include "common/SysUtil.h"

namespace Encoders {
namespace {

constexpr wchar_t kLibraryName[] = L"lame_enc.dll";
constexpr BYTE kAcceptedDllMajor = 1;
// Samples (of both channels) per chunk of an MPEG-1 stream: one 1152-sample frame.
constexpr DWORD kMpeg1ChunkSamples = 2304;

// "lame_enc.dll" in the folder of the module that holds this code, else by name.
HMODULE LoadLameLibrary() {
  HMODULE self = nullptr;
  wchar_t path[512] = {};
  if (GetModuleHandleExW(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCWSTR>(&LoadLameLibrary), &self) &&
      GetModuleFileNameW(self, path, 512) > 0) {
    std::wstring full(path);
    full.erase(full.find_last_of(L"\\/") + 1);
    if (HMODULE library = LoadLibraryW((full + kLibraryName).c_str())) return library;
  }
  return LoadLibraryW(kLibraryName);
}

template <typename Fn>
bool Bind(HMODULE library, const char* name, Fn& fn, HRESULT& failure) {
  fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  if (!fn) failure = SysUtil::LastErrorResult();
  return fn != nullptr;
}

}  // namespace

MP3EncoderLameImpl::~MP3EncoderLameImpl() { Unload(); }

HRESULT MP3EncoderLameImpl::Load() {
  if (library_) return 0;
  SetLastError(0);
  HMODULE library = LoadLameLibrary();
  if (!library) return SysUtil::LastErrorResult();

  HRESULT failure = S_OK;
  bool bound = true;
  bound &= Bind(library, "beInitStream", initStream_, failure);
  bound &= Bind(library, "beEncodeChunk", encodeChunk_, failure);
  bound &= Bind(library, "beDeinitStream", deinitStream_, failure);
  bound &= Bind(library, "beCloseStream", closeStream_, failure);
  bound &= Bind(library, "beVersion", version_, failure);
  bound &= Bind(library, "beWriteVBRHeader", writeVbrHeader_, failure);
  HRESULT optional = S_OK;
  Bind(library, "beWriteInfoTag", writeInfoTag_, optional);
  if (!bound) {
    FreeLibrary(library);
    return FAILED(failure) ? failure : E_FAIL;
  }

  BladeEnc::Version version{};
  version_(&version);
  if (version.dllMajorVersion != kAcceptedDllMajor) {
    FreeLibrary(library);
    return E_FAIL;
  }
  library_ = library;
  return 0;
}

void MP3EncoderLameImpl::CloseStream() {
  if (streamOpen_ && library_) closeStream_(stream_);
  streamOpen_ = false;
  stream_ = nullptr;
}

int MP3EncoderLameImpl::Unload() {
  CloseStream();
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
  return 0;
}

int MP3EncoderLameImpl::Init(const EncoderSettings& settings) {
  if (!library_) return -1;
  CloseStream();
  BladeEnc::Config config;
  std::memset(&config, 0, sizeof config);
  config.config = BladeEnc::kConfigLame;
  config.structVersion = BladeEnc::kStructVersion;
  config.structSize = sizeof config;
  config.sampleRate = 44100;
  // The library picks a lower rate (MPEG-2) for low bit rates unless told otherwise.
  config.resampleRate = 44100;
  config.mode = BladeEnc::kModeJointStereo;
  config.bitrate = settings.minimumBitRate / 1000;
  config.maxBitrate = settings.maximumBitRate / 1000;
  config.preset = BladeEnc::kPresetNone;
  config.mpegVersion = BladeEnc::kMpeg1;
  config.privateBit = TRUE;
  config.crc = TRUE;
  config.copyright = TRUE;
  config.original = TRUE;
  config.enableVbr = settings.vbr;
  config.vbrAbrBps = settings.averageBitRate;
  config.vbrMethod = BladeEnc::kVbrMethodAbr;

  DWORD samples = 0, bufferSize = 0;
  BladeEnc::Stream stream = nullptr;
  if (initStream_(&config, &samples, &bufferSize, &stream) != 0) return -1;
  stream_ = stream;
  streamOpen_ = true;
  if (samples != kMpeg1ChunkSamples || bufferSize == 0) {
    CloseStream();
    return -1;
  }
  samplesPerChunk_ = samples;
  outputSize_ = bufferSize;
  return 0;
}

int MP3EncoderLameImpl::InitFromQuality(int quality) {
  EncoderSettings settings = BaseSettings();
  LameQualityToSettings(quality, settings);
  return Init(settings);
}

int MP3EncoderLameImpl::SetInput(int rate, int channels, int bits) {
  inputRate_ = rate;
  inputChannels_ = channels;
  inputBits_ = bits;
  return 0;
}

void MP3EncoderLameImpl::GetSizes(unsigned& inputBytes, unsigned& outputBytes) {
  inputBytes = samplesPerChunk_ * 4;
  outputBytes = outputSize_;
}

bool MP3EncoderLameImpl::Encode(const unsigned char* pcm, unsigned& bytes, unsigned char* output,
                                unsigned& produced) {
  produced = 0;
  if (!streamOpen_) return false;
  DWORD out = 0;
  const bool ok =
      encodeChunk_(stream_, bytes / 2, reinterpret_cast<const SHORT*>(pcm), output, &out) == 0;
  produced = out;
  return ok;
}

// Drains the encoder: the last frames, whole.
bool MP3EncoderLameImpl::Finish(unsigned char* output, unsigned& produced) {
  produced = 0;
  if (!streamOpen_) return false;
  DWORD out = 0;
  const bool ok = deinitStream_(stream_, output, &out) == 0;
  produced = out;
  return ok;
}

}  // namespace Encoders

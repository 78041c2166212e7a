#include "engine/mp3/AcmWrapper.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace AcmWrapper {
namespace {

constexpr unsigned kDecodeChunk = 60208;  // PCM bytes per decode conversion
constexpr unsigned kMaxDecodeFrames = 0xFFFFF;
constexpr unsigned kMp3EncodeInput = 0x9000;  // PCM bytes per MP3 encode conversion
constexpr unsigned kEncodeOutput = 8192;
constexpr unsigned kFallbackInput = 16384;
constexpr unsigned kExtraRoom = 1024;  // room for the codec's extra format bytes
constexpr WORD kMp3CodecDelay = 1393;
constexpr DWORD kSuggestAll = ACM_FORMATSUGGESTF_NCHANNELS | ACM_FORMATSUGGESTF_NSAMPLESPERSEC |
                              ACM_FORMATSUGGESTF_WBITSPERSAMPLE | ACM_FORMATSUGGESTF_WFORMATTAG;

WAVEFORMATEX Pcm(WORD channels, DWORD rate, WORD bits) {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rate;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  f.nAvgBytesPerSec = rate * f.nBlockAlign;
  return f;
}

bool IsPcm(const WAVEFORMATEX& f, WORD channels, WORD bits, DWORD rate) {
  return f.wFormatTag == WAVE_FORMAT_PCM && f.nChannels == channels && f.wBitsPerSample == bits &&
         f.nSamplesPerSec == rate;
}

unsigned FrameBytes(const WAVEFORMATEX& f) {
  return f.nBlockAlign ? f.nBlockAlign : f.wBitsPerSample * f.nChannels / 8;
}

unsigned RoundDown(unsigned n, unsigned align) { return align ? n - n % align : n; }

unsigned Gcd(unsigned a, unsigned b) { return b ? Gcd(b, a % b) : a; }

// The input bytes that a PCM rate converter turns into a whole number of output
// frames; it does not carry the fraction from one conversion to the next, so
// converting other amounts would let the audio drift.
unsigned Granule(const WAVEFORMATEX& from, const WAVEFORMATEX& to) {
  const unsigned frame = std::max(1u, FrameBytes(from));
  if (from.wFormatTag != WAVE_FORMAT_PCM || from.nSamplesPerSec == to.nSamplesPerSec ||
      from.nSamplesPerSec == 0 || to.nSamplesPerSec == 0)
    return frame;
  const unsigned frames = from.nSamplesPerSec / Gcd(from.nSamplesPerSec, to.nSamplesPerSec);
  return frames <= 4096 ? frames * frame : frame;
}

// A wave format record that owns its extra bytes.
class Format {
 public:
  Format() : Format(WAVEFORMATEX{}) {}
  explicit Format(const WAVEFORMATEX& f, unsigned extra = 0)
      : bytes_(sizeof(WAVEFORMATEX) + extra) {
    std::memcpy(bytes_.data(), &f, sizeof f);
    get()->cbSize = static_cast<WORD>(extra);
  }
  // A copy of a caller's record with all of its cbSize extra bytes.
  static Format CopyOf(const WAVEFORMATEX& f) {
    Format copy;
    copy.bytes_.assign(reinterpret_cast<const unsigned char*>(&f),
                       reinterpret_cast<const unsigned char*>(&f) + sizeof f + f.cbSize);
    return copy;
  }
  WAVEFORMATEX* get() { return reinterpret_cast<WAVEFORMATEX*>(bytes_.data()); }
  const WAVEFORMATEX& operator*() const {
    return *reinterpret_cast<const WAVEFORMATEX*>(bytes_.data());
  }
  DWORD size() const { return static_cast<DWORD>(bytes_.size()); }
  void Trim() { bytes_.resize(sizeof(WAVEFORMATEX) + get()->cbSize); }
  FormatCopy Duplicate() const {
    const std::size_t n = sizeof(WAVEFORMATEX) + (**this).cbSize;
    auto* copy = static_cast<WAVEFORMATEX*>(std::malloc(n));
    if (copy) std::memcpy(copy, bytes_.data(), std::min<std::size_t>(n, bytes_.size()));
    return FormatCopy(copy);
  }

 private:
  std::vector<unsigned char> bytes_;
};

bool Suggest(Format& from, Format& to, DWORD flags) {
  return acmFormatSuggest(nullptr, from.get(), to.get(), to.size(), flags) == MMSYSERR_NOERROR;
}

// What the codec makes of an MPEG Layer-3 target: whole bytes per block, one
// frame per block, the codec's own delay.
void CorrectMp3(Format& f, DWORD averageBytes) {
  if (f.get()->wFormatTag != WAVE_FORMAT_MPEGLAYER3 || f.size() < sizeof(MPEGLAYER3WAVEFORMAT))
    return;
  auto* m = reinterpret_cast<MPEGLAYER3WAVEFORMAT*>(f.get());
  const std::uint64_t rate = m->wfx.nSamplesPerSec ? m->wfx.nSamplesPerSec : 1;
  m->wID = MPEGLAYER3_ID_MPEG;
  m->fdwFlags = MPEGLAYER3_FLAG_PADDING_OFF;
  m->wfx.nAvgBytesPerSec = averageBytes;
  m->nBlockSize = static_cast<WORD>((std::uint64_t(averageBytes) * 1152 + rate - 1) / rate);
  m->nFramesPerBlock = 1;
  m->nCodecDelay = kMp3CodecDelay;
}

// One ACM stream with its prepared header. The header's user field keeps the
// prepared source length, which every conversion restores afterwards.
struct Stage {
  HACMSTREAM stream = nullptr;
  ACMSTREAMHEADER header{};
  std::vector<unsigned char> source;  // empty when reading the previous stage's output
  std::vector<unsigned char> output;
  bool prepared = false;
  unsigned inputFrame = 1;  // bytes per frame of the stage's input
  unsigned granule = 1;     // input bytes converted as a whole

  bool Open(Format& from, Format& to) {
    inputFrame = std::max(1u, FrameBytes(*from));
    granule = Granule(*from, *to);
    return acmStreamOpen(&stream, nullptr, from.get(), to.get(), nullptr, 0, 0,
                         ACM_STREAMOPENF_NONREALTIME) == MMSYSERR_NOERROR;
  }
  bool Size(unsigned n, DWORD direction, unsigned* result) const {
    DWORD size = 0;
    if (acmStreamSize(stream, n, &size, direction) != MMSYSERR_NOERROR || size == 0) return false;
    *result = size;
    return true;
  }
  // Prepares with the given input (own buffer when null) and an own output buffer.
  bool Prepare(unsigned char* input, unsigned inputBytes, unsigned outputBytes) {
    if (!input) {
      source.assign(inputBytes, 0);
      input = source.data();
    }
    output.assign(outputBytes, 0);
    header = ACMSTREAMHEADER{};
    header.cbStruct = sizeof header;
    header.pbSrc = input;
    header.cbSrcLength = inputBytes;
    header.dwUser = inputBytes;
    header.pbDst = output.data();
    header.cbDstLength = outputBytes;
    prepared = acmStreamPrepareHeader(stream, &header, 0) == MMSYSERR_NOERROR;
    return prepared;
  }
  bool Convert(unsigned bytes, DWORD flags) {
    header.cbSrcLength = bytes;
    const MMRESULT result = acmStreamConvert(stream, &header, flags);
    header.cbSrcLength = static_cast<DWORD>(header.dwUser);
    if (result != MMSYSERR_NOERROR) {
      header.cbSrcLengthUsed = 0;
      header.cbDstLengthUsed = 0;
      return false;
    }
    header.cbSrcLengthUsed = std::min(header.cbSrcLengthUsed, static_cast<DWORD>(bytes));
    header.cbDstLengthUsed = std::min(header.cbDstLengthUsed, header.cbDstLength);
    return true;
  }
  void Close() {
    if (prepared) {
      header.cbSrcLength = static_cast<DWORD>(header.dwUser);
      acmStreamUnprepareHeader(stream, &header, 0);
      prepared = false;
    }
    if (stream) acmStreamClose(stream, 0);
    stream = nullptr;
  }
};

class ACMWrapper : public IACMWrapper {
 public:
  ACMWrapper() = default;
  ACMWrapper(const ACMWrapper&) = delete;
  ACMWrapper& operator=(const ACMWrapper&) = delete;
  ~ACMWrapper() override { CloseStages(); }

  HRESULT Encode(const unsigned char* pcm, unsigned frames, unsigned* handedOut) override;
  HRESULT Decode(unsigned char* destination, unsigned frames, unsigned* delivered) override;
  HRESULT OpenEncoder(const WAVEFORMATEX* wanted, FormatCopy* formatCopy, unsigned rate, void* user,
                      StreamCallback callback, unsigned* outRate) override;
  HRESULT OpenDecoder(WAVEFORMATEX* source, unsigned rate, void* user,
                      StreamCallback callback) override;
  HRESULT Seek(std::uint64_t frame) override;
  std::uint64_t GetBufferedFrames() override { return buffered_; }
  HRESULT GetBufferSizes(unsigned* inputBytes, unsigned* outputBytes) override;

 private:
  enum class Chunk { Ready, End, Error };

  Stage& Last() { return stages_[stageCount_ - 1]; }
  void CloseStages() {
    for (int i = stageCount_ - 1; i >= 0; --i) stages_[i].Close();
    stageCount_ = 0;
  }
  HRESULT Fail() {
    CloseStages();
    decodeCallback_ = nullptr;
    encodeCallback_ = nullptr;
    return E_FAIL;
  }
  bool OpenStages(Format& destination);
  bool SizeDecoderBuffers(unsigned chunk);
  bool SizeEncoderBuffers();
  Chunk DecodeChunk();
  Chunk PassThroughChunk();
  int Deliver(unsigned& total);

  Format source_, intermediate_, destination_;
  Stage stages_[2];
  int stageCount_ = 0;
  std::uint64_t buffered_ = 0;
  std::uint64_t framePosition_ = 0;
  std::vector<unsigned char> passThrough_;
  StreamCallback decodeCallback_ = nullptr;
  StreamCallback encodeCallback_ = nullptr;
  void* user_ = nullptr;
  std::uint64_t sourceBytePosition_ = 0;
  unsigned encodeFill_ = 0;
  unsigned decodeTail_ = 0;  // source bytes the decoder left unused, kept for the next chunk
  unsigned secondTail_ = 0;  // intermediate bytes the converter has still to take
  bool draining_ = false;    // the input has ended; the codec hands out what it holds
  bool drained_ = false;     // ... and has nothing more without the end flag
  bool inputEnded_ = false;
  bool opened_ = false;
};

// One stream source -> destination, or two through the intermediate format.
bool ACMWrapper::OpenStages(Format& destination) {
  if (intermediate_.size() == 0 || (*intermediate_).wFormatTag == 0) {
    stageCount_ = 1;
    return stages_[0].Open(source_, destination);
  }
  stageCount_ = 2;
  return stages_[0].Open(source_, intermediate_) && stages_[1].Open(intermediate_, destination);
}

HRESULT ACMWrapper::OpenDecoder(WAVEFORMATEX* source, unsigned rate, void* user,
                                StreamCallback callback) {
  if (opened_ || !source || !callback) return E_FAIL;
  opened_ = true;
  if (source->wFormatTag == WAVE_FORMAT_PCM) source->cbSize = 0;
  if (source->nChannels > 2) {
    source->nChannels = 2;
    source->nBlockAlign = static_cast<WORD>(source->wBitsPerSample / 4);
    source->nAvgBytesPerSec = source->nBlockAlign * source->nSamplesPerSec;
  }
  source_ = Format::CopyOf(*source);
  decodeCallback_ = callback;
  user_ = user;

  if (IsPcm(*source, 2, 16, rate)) {
    passThrough_.assign(kDecodeChunk, 0);
    destination_ = source_;
    return S_OK;
  }
  destination_ = Format(Pcm(2, rate, 16));
  // A codec may suggest a conversion that it then cannot open (a decoder asked
  // for another rate): the route through the intermediate PCM is taken then too.
  if (!Suggest(source_, destination_, kSuggestAll) || !OpenStages(destination_)) {
    CloseStages();
    destination_ = Format(Pcm(2, rate, 16));
    Format intermediate(Pcm(source->nChannels, source->nSamplesPerSec, 16));
    Format check = destination_;
    if (!Suggest(source_, intermediate, ACM_FORMATSUGGESTF_WFORMATTAG) ||
        !Suggest(intermediate, check, kSuggestAll))
      return Fail();
    intermediate_ = intermediate;
    if (!OpenStages(destination_)) return Fail();
  }

  unsigned chunk = kDecodeChunk;
  if (source->nSamplesPerSec == 44100 && rate == 48000) chunk = 60160;
  if (source->nSamplesPerSec == 48000 && rate == 44100) chunk = 59976;
  return SizeDecoderBuffers(chunk) ? S_OK : Fail();
}

// Sized backwards from the PCM chunk the decoder hands out per conversion.
bool ACMWrapper::SizeDecoderBuffers(unsigned chunk) {
  const unsigned output = RoundDown(chunk, FrameBytes(*destination_));
  if (stageCount_ == 2) {
    unsigned secondInput = 0, firstInput = 0;
    if (!stages_[1].Size(output, ACM_STREAMSIZEF_DESTINATION, &secondInput)) return false;
    const unsigned firstOutput = RoundDown(secondInput, FrameBytes(*intermediate_));
    if (!stages_[0].Size(firstOutput, ACM_STREAMSIZEF_DESTINATION, &firstInput)) return false;
    // The converter's input has room for what it kept back from the chunk before.
    const unsigned secondCapacity = firstOutput + stages_[1].granule;
    unsigned secondOutput = 0;
    if (!stages_[1].Size(secondCapacity, ACM_STREAMSIZEF_SOURCE, &secondOutput)) return false;
    return stages_[0].Prepare(nullptr, firstInput, firstOutput) &&
           stages_[1].Prepare(nullptr, secondCapacity, std::max(output, secondOutput));
  }
  unsigned input = 0;
  if (stages_[0].Size(output, ACM_STREAMSIZEF_DESTINATION, &input) &&
      stages_[0].Prepare(nullptr, input, output))
    return true;
  unsigned fallbackOutput = 0;
  return stages_[0].Size(kFallbackInput, ACM_STREAMSIZEF_SOURCE, &fallbackOutput) &&
         stages_[0].Prepare(nullptr, kFallbackInput, fallbackOutput);
}

HRESULT ACMWrapper::Decode(unsigned char* destination, unsigned frames, unsigned* delivered) {
  unsigned copied = 0;
  if (delivered) *delivered = 0;
  if (!decodeCallback_) return E_FAIL;
  if (frames > kMaxDecodeFrames) frames = 0;
  const unsigned frameBytes = FrameBytes(*destination_);
  while (copied < frames) {
    if (buffered_ > 0) {
      const unsigned n = static_cast<unsigned>(std::min<std::uint64_t>(frames - copied, buffered_));
      const unsigned char* end = stageCount_ ? Last().header.pbDst + Last().header.cbDstLengthUsed
                                             : passThrough_.data() + passThrough_.size();
      if (destination)
        std::memcpy(destination + std::size_t(copied) * frameBytes, end - buffered_ * frameBytes,
                    std::size_t(n) * frameBytes);
      buffered_ -= n;
      copied += n;
      framePosition_ += n;
      continue;
    }
    const Chunk chunk = stageCount_ ? DecodeChunk() : PassThroughChunk();
    if (chunk == Chunk::Error) {
      if (delivered) *delivered = copied;
      return E_FAIL;
    }
    if (chunk == Chunk::End) break;
  }
  if (delivered) *delivered = copied;
  return S_OK;
}

// Fetches source bytes behind what the codec left unused and converts them.
// After the input's end, conversions without input hand out what the codec
// decoded ahead (a low bit rate gives more PCM than one chunk holds); once that
// is drained, one last conversion carries the end flag.
ACMWrapper::Chunk ACMWrapper::DecodeChunk() {
  if (inputEnded_) return Chunk::End;
  Stage& first = stages_[0];
  const unsigned sourceFrame = std::max(1u, FrameBytes(*source_));
  const unsigned room = static_cast<unsigned>(first.header.dwUser) - decodeTail_;
  unsigned bytes = 0, reportedFrames = 0;
  if (!draining_) {
    if (room == 0) return Chunk::Error;  // the codec left a whole buffer unused
    if (!decodeCallback_(user_, sourceBytePosition_, framePosition_,
                         first.header.pbSrc + decodeTail_, room, room / sourceFrame, sourceFrame,
                         &bytes, &reportedFrames))
      bytes = 0;
    bytes = std::min(bytes, room);
    sourceBytePosition_ += bytes;
    draining_ = bytes == 0;
  }
  const DWORD flags =
      draining_ && drained_ ? ACM_STREAMCONVERTF_END : ACM_STREAMCONVERTF_BLOCKALIGN;
  if (flags == ACM_STREAMCONVERTF_END) inputEnded_ = true;

  const unsigned length = decodeTail_ + bytes;
  const unsigned convertible = draining_ ? length : RoundDown(length, first.granule);
  if (!first.Convert(convertible, flags)) return draining_ ? Chunk::End : Chunk::Error;
  const unsigned used = first.header.cbSrcLengthUsed;
  decodeTail_ = length - used;
  if (decodeTail_ && used) std::memmove(first.header.pbSrc, first.header.pbSrc + used, decodeTail_);
  if (stageCount_ == 2) {
    // The converter gets whole granules behind what it kept back.
    Stage& second = stages_[1];
    const unsigned produced = first.header.cbDstLengthUsed;
    const unsigned total = secondTail_ + produced;
    if (total > second.header.dwUser) return Chunk::Error;
    std::memcpy(second.header.pbSrc + secondTail_, first.header.pbDst, produced);
    if (!second.Convert(draining_ ? total : RoundDown(total, second.granule), flags))
      return draining_ ? Chunk::End : Chunk::Error;
    const unsigned secondUsed = second.header.cbSrcLengthUsed;
    secondTail_ = total - secondUsed;
    if (secondTail_ && secondUsed)
      std::memmove(second.header.pbSrc, second.header.pbSrc + secondUsed, secondTail_);
  }
  buffered_ = Last().header.cbDstLengthUsed / FrameBytes(*destination_);
  if (buffered_ == 0 && draining_) {
    if (inputEnded_) return Chunk::End;
    drained_ = true;
    return DecodeChunk();
  }
  return Chunk::Ready;
}

ACMWrapper::Chunk ACMWrapper::PassThroughChunk() {
  const unsigned chunk = static_cast<unsigned>(passThrough_.size());
  unsigned bytes = 0, reportedFrames = 0;
  if (!decodeCallback_(user_, sourceBytePosition_, framePosition_, passThrough_.data(), chunk,
                       chunk / 4, 4, &bytes, &reportedFrames) ||
      bytes == 0)
    return Chunk::End;
  bytes = std::min(bytes, chunk);
  sourceBytePosition_ += bytes;
  if (bytes < chunk) std::memmove(passThrough_.data() + chunk - bytes, passThrough_.data(), bytes);
  buffered_ = std::min(reportedFrames, bytes / 4);
  return Chunk::Ready;
}

HRESULT ACMWrapper::OpenEncoder(const WAVEFORMATEX* wanted, FormatCopy* formatCopy, unsigned rate,
                                void* user, StreamCallback callback, unsigned* outRate) {
  if (opened_ || !wanted || !callback) return E_FAIL;
  opened_ = true;
  encodeCallback_ = callback;
  user_ = user;
  source_ = Format(Pcm(2, rate, 16));
  WAVEFORMATEX target{};
  target.wFormatTag = wanted->wFormatTag;
  target.nChannels = wanted->nChannels;
  target.nSamplesPerSec = wanted->nSamplesPerSec;
  target.wBitsPerSample = wanted->wBitsPerSample;
  target.nAvgBytesPerSec = wanted->nAvgBytesPerSec;
  destination_ = Format(target, kExtraRoom);

  if (IsPcm(*wanted, 2, 16, rate)) {
    destination_.get()->cbSize = 0;
    destination_.get()->nBlockAlign = 4;
    destination_.Trim();
  } else {
    // A compressed target has no sample size of its own: go through 16-bit PCM.
    Format intermediate(Pcm(wanted->nChannels, wanted->nSamplesPerSec,
                            wanted->wBitsPerSample ? wanted->wBitsPerSample : 16));
    Format suggested = destination_;
    bool open = false;
    if (Suggest(source_, suggested, kSuggestAll)) {
      CorrectMp3(suggested, wanted->nAvgBytesPerSec);
      open = OpenStages(suggested);
    } else if (Suggest(source_, intermediate, kSuggestAll) &&
               Suggest(intermediate, suggested, kSuggestAll)) {
      intermediate_ = intermediate;
      CorrectMp3(suggested, wanted->nAvgBytesPerSec);
      open = OpenStages(suggested);
    }
    if (!open) {
      CloseStages();
      intermediate_ = Format();
      suggested = destination_;
      if (!OpenStages(suggested)) return Fail();
    }
    destination_ = suggested;
    destination_.Trim();
    if (!SizeEncoderBuffers()) return Fail();
  }

  if (outRate) {
    const WORD tag = (*destination_).wFormatTag;
    const std::uint64_t sourceAverage = std::max<DWORD>(1, (*source_).nAvgBytesPerSec);
    *outRate = (tag == WAVE_FORMAT_PCM || tag == WAVE_FORMAT_ADPCM || tag == WAVE_FORMAT_IMA_ADPCM)
                   ? rate
                   : static_cast<unsigned>(std::uint64_t(rate) * 4 *
                                           (*destination_).nAvgBytesPerSec / sourceAverage);
  }
  if (formatCopy) *formatCopy = destination_.Duplicate();
  return S_OK;
}

bool ACMWrapper::SizeEncoderBuffers() {
  if ((*destination_).wFormatTag == WAVE_FORMAT_MPEGLAYER3) {
    unsigned firstOutput = 0;
    if (!stages_[0].Size(kMp3EncodeInput, ACM_STREAMSIZEF_SOURCE, &firstOutput) ||
        !stages_[0].Prepare(nullptr, kMp3EncodeInput, firstOutput))
      return false;
    if (stageCount_ == 1) return true;
    unsigned secondOutput = 0;
    return stages_[1].Size(firstOutput, ACM_STREAMSIZEF_SOURCE, &secondOutput) &&
           stages_[1].Prepare(stages_[0].output.data(), firstOutput, secondOutput);
  }
  unsigned output = kEncodeOutput;
  if (stageCount_ == 2) {
    output = RoundDown(kEncodeOutput, FrameBytes(*destination_));
    unsigned secondInput = 0, firstInput = 0;
    if (!stages_[1].Size(output, ACM_STREAMSIZEF_DESTINATION, &secondInput) ||
        !stages_[0].Size(secondInput, ACM_STREAMSIZEF_DESTINATION, &firstInput) ||
        !stages_[0].Prepare(nullptr, RoundDown(firstInput, 4), secondInput))
      return false;
    return stages_[1].Prepare(stages_[0].output.data(), secondInput, output);
  }
  unsigned input = 0;
  return stages_[0].Size(output, ACM_STREAMSIZEF_DESTINATION, &input) &&
         stages_[0].Prepare(nullptr, RoundDown(input, 4), output);
}

// Hands the last stage's output to the callback: 1 = go on, 0 = the callback
// took nothing (stop), -1 = the callback failed.
int ACMWrapper::Deliver(unsigned& total) {
  Stage& last = Last();
  const unsigned bytes = last.header.cbDstLengthUsed;
  last.header.cbDstLengthUsed = 0;
  framePosition_ += last.header.cbSrcLengthUsed / last.inputFrame;
  if (bytes == 0) return 1;
  const unsigned block = std::max(1u, FrameBytes(*destination_));
  unsigned taken = 0, reportedFrames = 0;
  if (!encodeCallback_(user_, sourceBytePosition_, framePosition_, last.header.pbDst, bytes,
                       bytes / block, block, &taken, &reportedFrames))
    return -1;
  total += taken;
  return taken ? 1 : 0;
}

HRESULT ACMWrapper::Encode(const unsigned char* pcm, unsigned frames, unsigned* handedOut) {
  unsigned total = 0;
  if (handedOut) *handedOut = 0;
  if (!encodeCallback_) return E_FAIL;
  const unsigned inputFrame = (*source_).nChannels * 2u;

  if (stageCount_ == 0) {  // PCM to the same PCM
    if (frames == 0) return S_OK;
    unsigned taken = 0, reportedFrames = 0;
    if (!encodeCallback_(user_, sourceBytePosition_, framePosition_,
                         const_cast<unsigned char*>(pcm), frames * inputFrame, frames, inputFrame,
                         &taken, &reportedFrames))
      return E_FAIL;
    sourceBytePosition_ += std::uint64_t(frames) * inputFrame;
    framePosition_ += frames;
    if (handedOut) *handedOut = taken;
    return S_OK;
  }

  Stage& first = stages_[0];
  const unsigned capacity = static_cast<unsigned>(first.header.dwUser);
  if (frames > 0) {
    std::uint64_t remaining = std::uint64_t(frames) * inputFrame;
    while (remaining > 0) {
      const unsigned n =
          static_cast<unsigned>(std::min<std::uint64_t>(remaining, capacity - encodeFill_));
      std::memcpy(first.header.pbSrc + encodeFill_, pcm, n);
      pcm += n;
      remaining -= n;
      encodeFill_ += n;
      sourceBytePosition_ += n;
      if (encodeFill_ < capacity) break;
      if (!first.Convert(RoundDown(encodeFill_, first.granule), ACM_STREAMCONVERTF_BLOCKALIGN))
        return E_FAIL;
      const unsigned used = first.header.cbSrcLengthUsed;
      if (used == 0) return E_FAIL;  // the codec takes nothing: it would never progress
      encodeFill_ -= used;
      if (encodeFill_) std::memmove(first.header.pbSrc, first.header.pbSrc + used, encodeFill_);
      if (stageCount_ == 2 &&
          !stages_[1].Convert(first.header.cbDstLengthUsed, ACM_STREAMCONVERTF_BLOCKALIGN))
        continue;  // that block's output is lost; go on with the next input
      const int delivered = Deliver(total);
      if (delivered < 0) return E_FAIL;
      if (delivered == 0) break;
    }
    if (handedOut) *handedOut = total;
    return S_OK;
  }

  // Flush: the last conversions carry the end flag, so the codec also hands out
  // what it still holds when no input is collected.
  bool converted = true;
  if (encodeFill_ > 0 || stageCount_ == 1)
    converted = first.Convert(encodeFill_, ACM_STREAMCONVERTF_END);
  else
    first.header.cbDstLengthUsed = 0;
  encodeFill_ = 0;
  if (converted && stageCount_ == 2)
    converted = stages_[1].Convert(first.header.cbDstLengthUsed, ACM_STREAMCONVERTF_END);
  if (!converted) return S_OK;
  if (Deliver(total) < 0) return E_FAIL;
  if (handedOut) *handedOut = total;
  return S_OK;
}

HRESULT ACMWrapper::Seek(std::uint64_t frame) {
  const WAVEFORMATEX& source = *source_;
  const std::uint64_t destinationRate = std::max<DWORD>(1, (*destination_).nSamplesPerSec);
  framePosition_ = frame * source.nSamplesPerSec / destinationRate;
  const std::uint64_t bytes =
      std::uint64_t(source.nChannels) * framePosition_ * source.wBitsPerSample / 8;
  sourceBytePosition_ = source.nBlockAlign ? bytes - bytes % source.nBlockAlign : bytes;
  buffered_ = 0;
  decodeTail_ = 0;
  secondTail_ = 0;
  draining_ = false;
  drained_ = false;
  inputEnded_ = false;
  return S_OK;
}

HRESULT ACMWrapper::GetBufferSizes(unsigned* inputBytes, unsigned* outputBytes) {
  if (stageCount_ == 0) return E_FAIL;
  if (inputBytes)
    *inputBytes = static_cast<unsigned>(stages_[stageCount_ == 2 ? 1 : 0].header.dwUser);
  // The last stage's output is what one conversion hands out.
  if (outputBytes) *outputBytes = Last().header.cbDstLength;
  return S_OK;
}

}  // namespace

std::shared_ptr<IACMWrapper> CreateACMWrapper() { return std::make_shared<ACMWrapper>(); }

}  // namespace AcmWrapper

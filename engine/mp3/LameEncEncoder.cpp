#include "engine/mp3/LameEncEncoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace boost {
namespace iostreams {
namespace detail {

namespace {
const char kNoEncoder[] = "This system has no MP-3 encoder installed.";
const char kNoEncoderDll[] = "no encoder dll";
const char kEncoderError[] = "encoder dll error";
}  // namespace

std::unique_ptr<Encoders::MP3EncoderLame> lameenc_encoder_impl::DefaultEncoder() {
  return Encoders::CreateMP3Encoder(Encoders::kEncoderAuto);
}

lameenc_encoder_impl::lameenc_encoder_impl(int quality, EncoderMaker makeEncoder)
    : encoder_(makeEncoder()) {
  if (!encoder_) throw std::runtime_error(kNoEncoder);
  if (encoder_->Load() != 0) throw std::runtime_error(kNoEncoderDll);
  if (encoder_->SetInput(44100, 2, 16) != 0 || encoder_->InitFromQuality(quality) != 0)
    throw std::runtime_error(kEncoderError);
  encoder_->GetSizes(inputChunkSize_, outputSize_);
  if (inputChunkSize_ == 0 || outputSize_ == 0) throw std::runtime_error(kEncoderError);
  held_.reserve(outputSize_);
}

// Copies held output into the destination; true when none is left.
bool lameenc_encoder_impl::HandOn(char_type*& destBegin, char_type* destEnd) {
  const std::size_t n = std::min<std::size_t>(held_.size() - readPosition_, destEnd - destBegin);
  std::memcpy(destBegin, held_.data() + readPosition_, n);
  destBegin += n;
  readPosition_ += n;
  if (readPosition_ < held_.size()) return false;
  held_.clear();
  readPosition_ = 0;
  return true;
}

// Appends what one Encode call produces to the held output.
bool lameenc_encoder_impl::EncodeStep(const char_type* pcm, unsigned bytes) {
  const std::size_t base = held_.size();
  held_.resize(base + outputSize_);
  unsigned produced = 0;
  const bool ok = encoder_->Encode(pcm, bytes, held_.data() + base, produced);
  held_.resize(base + std::min(produced, outputSize_));
  return ok;
}

bool lameenc_encoder_impl::FinishStep() {
  const std::size_t base = held_.size();
  held_.resize(base + outputSize_);
  unsigned produced = 0;
  const bool ok = encoder_->Finish(held_.data() + base, produced);
  held_.resize(base + std::min(produced, outputSize_));
  return ok;
}

// Drops the held output. While writing, the failure reaches the writer as a
// stream error, so the failed block is never offered to the encoder again;
// while closing, the close ends here.
bool lameenc_encoder_impl::Failed(bool flush) {
  held_.clear();
  readPosition_ = 0;
  failed_ = true;
  if (flush) return false;
  throw std::runtime_error(kEncoderError);
}

bool lameenc_encoder_impl::filter(const char_type*& srcBegin, const char_type* srcEnd,
                                  char_type*& destBegin, char_type* destEnd, bool flush) {
  if (failed_) return Failed(flush);
  while (srcBegin != srcEnd) {
    if (!HandOn(destBegin, destEnd)) return true;
    const std::size_t remaining = srcEnd - srcBegin;
    if (fill_ > 0) {
      const std::size_t n = std::min(kBlockBytes - fill_, remaining);
      std::memcpy(input_ + fill_, srcBegin, n);
      srcBegin += n;
      fill_ += n;
      if (fill_ == kBlockBytes) {
        if (!EncodeStep(input_, kBlockBytes)) return Failed(flush);
        fill_ = 0;
      }
    } else if (remaining < kBlockBytes) {
      std::memcpy(input_, srcBegin, remaining);
      srcBegin += remaining;
      fill_ = remaining;
    } else {
      const std::size_t n = std::min(remaining, chunkBytes()) / kBlockBytes * kBlockBytes;
      if (!EncodeStep(srcBegin, static_cast<unsigned>(n))) return Failed(flush);
      srcBegin += n;
    }
  }
  if (!flush) {
    HandOn(destBegin, destEnd);
    return true;
  }
  if (!flushed_) {
    flushed_ = true;
    if (fill_ > 0) {
      std::memset(input_ + fill_, 0, kBlockBytes - fill_);
      fill_ = 0;
      if (!EncodeStep(input_, kBlockBytes)) return Failed(flush);
    }
    if (!FinishStep()) return Failed(flush);
  }
  return !HandOn(destBegin, destEnd);
}

std::size_t lameenc_encoder_impl::chunkBytes() const {
  return std::max<std::size_t>(kBlockBytes, inputChunkSize_) / kBlockBytes * kBlockBytes;
}

void lameenc_encoder_impl::close() {
  if (encoder_) encoder_->Unload();
}

}  // namespace detail
}  // namespace iostreams
}  // namespace boost

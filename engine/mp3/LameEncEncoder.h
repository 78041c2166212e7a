#pragma once
#include <cstddef>
#include <memory>
#include <vector>

#include <boost/iostreams/constants.hpp>
#include <boost/iostreams/filter/symmetric.hpp>

#include "engine/mp3/MP3Encoder.h"
#include "engine/mp3/Mp3Frame.h"

namespace boost {
namespace iostreams {
namespace detail {

// Cuts 16-bit stereo PCM into 4608-byte blocks (one MPEG-1 Layer III frame of
// 1152 sample frames), encodes whole blocks and hands the MP3 bytes on.
class lameenc_encoder_impl {
 public:
  typedef unsigned char char_type;
  typedef std::unique_ptr<Encoders::MP3EncoderLame> (*EncoderMaker)();

  static constexpr std::size_t kBlockBytes = Mp3Frame::kPcmBytes;

  // Throws std::runtime_error when no encoder can be made ready.
  explicit lameenc_encoder_impl(int quality, EncoderMaker makeEncoder = &DefaultEncoder);
  lameenc_encoder_impl(const lameenc_encoder_impl&) = delete;
  lameenc_encoder_impl& operator=(const lameenc_encoder_impl&) = delete;

  bool filter(const char_type*& srcBegin, const char_type* srcEnd, char_type*& destBegin,
              char_type* destEnd, bool flush);
  void close();

  // The most PCM one encoder call takes: whole blocks, at least one.
  std::size_t chunkBytes() const;

 private:
  static std::unique_ptr<Encoders::MP3EncoderLame> DefaultEncoder();
  bool HandOn(char_type*& destBegin, char_type* destEnd);
  bool EncodeStep(const char_type* pcm, unsigned bytes);
  bool FinishStep();
  bool Failed(bool flush);

  char_type input_[kBlockBytes];
  std::size_t fill_ = 0;
  std::vector<char_type> held_;
  std::size_t readPosition_ = 0;
  unsigned inputChunkSize_ = 0;
  unsigned outputSize_ = 0;
  std::unique_ptr<Encoders::MP3EncoderLame> encoder_;
  bool flushed_ = false;
  bool failed_ = false;
};

}  // namespace detail

// The MP3 encoding output filter: raw CD audio in, MPEG-1 Layer III out.
//
// A chain gives it a buffer of one encoder chunk, unless told otherwise: the
// chain then hands on whole chunks, which are encoded straight from its buffer.
template <typename Alloc = std::allocator<unsigned char> >
struct basic_lameenc_encoder : symmetric_filter<detail::lameenc_encoder_impl, Alloc> {
 private:
  typedef symmetric_filter<detail::lameenc_encoder_impl, Alloc> base_type;

 public:
  typedef typename base_type::char_type char_type;
  struct category : base_type::category, optimally_buffered_tag {};

  explicit basic_lameenc_encoder(int quality,
                                 std::streamsize bufferSize = default_device_buffer_size)
      : base_type(bufferSize, quality), chunkBytes_(this->filter().chunkBytes()) {}
  basic_lameenc_encoder(int quality, std::streamsize bufferSize,
                        detail::lameenc_encoder_impl::EncoderMaker makeEncoder)
      : base_type(bufferSize, quality, makeEncoder), chunkBytes_(this->filter().chunkBytes()) {}

  std::streamsize optimal_buffer_size() const { return chunkBytes_; }

 private:
  std::streamsize chunkBytes_;
};
typedef basic_lameenc_encoder<> lameenc_encoder;

}  // namespace iostreams
}  // namespace boost

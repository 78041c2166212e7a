#include <gtest/gtest.h>

#include <boost/iostreams/device/back_inserter.hpp>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/mp3/LameEncEncoder.h"
#include "engine/streams/FilteringByteStream.h"

namespace io = boost::iostreams;
using Bytes = std::vector<unsigned char>;

namespace {

constexpr std::size_t kBlock = 4608;

// What the filter did with the encoder, and how the encoder is to behave.
struct EncoderScript {
  bool none = false;
  HRESULT load = 0;
  int setInput = 0;
  int init = 0;
  unsigned inputSize = 2 * kBlock;
  unsigned outputSize = 8640;
  int failAtEncode = 0;         // 1-based call that fails, 0 = none
  unsigned outputPerInput = 8;  // one output byte per so many input bytes

  int quality = -1;
  std::vector<int> input;
  std::vector<Bytes> encoded;
  unsigned finishes = 0;
  unsigned unloads = 0;
  Bytes produced;  // every byte handed to the filter, in order
};
EncoderScript script;

class RecordingEncoder : public Encoders::MP3EncoderLame {
 public:
  HRESULT Load() override { return script.load; }
  int Unload() override { return ++script.unloads, 0; }
  int Init(const Encoders::EncoderSettings&) override { return script.init; }
  int InitFromQuality(int quality) override { return script.quality = quality, script.init; }
  int SetInput(int rate, int channels, int bits) override {
    script.input = {rate, channels, bits};
    return script.setInput;
  }
  void GetSizes(unsigned& in, unsigned& out) override {
    in = script.inputSize;
    out = script.outputSize;
  }
  bool Encode(const unsigned char* pcm, unsigned& bytes, unsigned char* out,
              unsigned& produced) override {
    script.encoded.emplace_back(pcm, pcm + bytes);
    produced = 0;
    if (script.encoded.size() == unsigned(script.failAtEncode)) return false;
    return Produce(bytes / script.outputPerInput, out, produced);
  }
  bool Finish(unsigned char* out, unsigned& produced) override {
    ++script.finishes;
    return Produce(100, out, produced);
  }

 private:
  static bool Produce(unsigned n, unsigned char* out, unsigned& produced) {
    for (unsigned i = 0; i < n; ++i) {
      out[i] = static_cast<unsigned char>(script.produced.size() * 7 + 1);
      script.produced.push_back(out[i]);
    }
    produced = n;
    return true;
  }
};

std::unique_ptr<Encoders::MP3EncoderLame> MakeRecording() {
  if (script.none) return nullptr;
  return std::make_unique<RecordingEncoder>();
}

Bytes Pattern(std::size_t n) {
  Bytes v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 31 + 3);
  return v;
}

// Writes pcm in pieces through filter and sink, then closes the chain.
Bytes Filter(const Bytes& pcm, std::size_t piece = 2352, std::streamsize filterBuffer = 4096,
             std::streamsize chainBuffer = -1, bool* good = nullptr) {
  Bytes sink;
  {
    io::filtering_byte_stream<io::output> out;
    out.push(io::lameenc_encoder(102, filterBuffer, &MakeRecording), chainBuffer);
    out.push(io::back_inserter(sink));
    for (std::size_t at = 0; at < pcm.size(); at += piece)
      out.write(pcm.data() + at, static_cast<std::streamsize>(std::min(piece, pcm.size() - at)));
    out.flush();
    if (good) *good = out.good();
  }
  return sink;
}

std::size_t EncodedBytes() {
  return std::accumulate(script.encoded.begin(), script.encoded.end(), std::size_t(0),
                         [](std::size_t n, const Bytes& b) { return n + b.size(); });
}

class LameEncFilter : public ::testing::Test {
 protected:
  void SetUp() override { script = EncoderScript(); }
};

TEST_F(LameEncFilter, PadsAPartialLastBlockWithZerosAndDrainsTheEncoder) {
  const Bytes pcm = Pattern(kBlock + 1);
  const Bytes sink = Filter(pcm, 1000);

  ASSERT_EQ(script.encoded.size(), 2u);
  EXPECT_EQ(script.encoded[0], Bytes(pcm.begin(), pcm.begin() + kBlock));
  Bytes padded(kBlock, 0);
  padded[0] = pcm[kBlock];
  EXPECT_EQ(script.encoded[1], padded);
  EXPECT_EQ(script.finishes, 1u);
  EXPECT_EQ(sink, script.produced);  // the encoder's tail included
  EXPECT_EQ(script.quality, 102);
  EXPECT_EQ(script.input, (std::vector<int>{44100, 2, 16}));
  EXPECT_GE(script.unloads, 1u);
}

TEST_F(LameEncFilter, WholeBlocksCloseWithoutAPaddedBlock) {
  const Bytes pcm = Pattern(3 * kBlock);
  const Bytes sink = Filter(pcm, 588 * 4 * 12);

  EXPECT_EQ(EncodedBytes(), pcm.size());
  for (const Bytes& block : script.encoded) EXPECT_EQ(block.size() % kBlock, 0u);
  Bytes joined;
  for (const Bytes& block : script.encoded) joined.insert(joined.end(), block.begin(), block.end());
  EXPECT_EQ(joined, pcm);
  EXPECT_EQ(script.finishes, 1u);
  EXPECT_EQ(sink, script.produced);
}

// A chain that is given no buffer size takes the filter's: the ripper's reads
// reach the encoder as whole chunks, straight from the chain's buffer (a copy
// through the filter's own block would hand it single blocks).
TEST_F(LameEncFilter, TheChainHandsTheEncoderWholeChunks) {
  const std::pair<unsigned, std::vector<std::size_t>> cases[] = {
      {2 * kBlock, {2 * kBlock, 2 * kBlock, 2 * kBlock, 2 * kBlock, 2 * kBlock}},  // LAME
      {8 * kBlock, {8 * kBlock, 2 * kBlock}},                                      // ACM codec
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    script = EncoderScript();
    script.inputSize = c.first;
    const Bytes sink = Filter(Pattern(10 * kBlock), 12 * 2352);

    std::vector<std::size_t> sizes;
    for (const Bytes& chunk : script.encoded) sizes.push_back(chunk.size());
    EXPECT_EQ(sizes, c.second);
    EXPECT_EQ(sink, script.produced);
  }
}

TEST_F(LameEncFilter, HandsEverythingOnThroughASmallDestination) {
  script.outputPerInput = 1;  // more output than the filter's buffer holds
  script.outputSize = 2 * kBlock;
  const Bytes pcm = Pattern(7 * kBlock + 100);
  const Bytes sink = Filter(pcm, 5000, 16);

  EXPECT_EQ(sink.size(), 8 * kBlock + 100);
  EXPECT_EQ(sink, script.produced);
  EXPECT_EQ(script.finishes, 1u);
}

TEST_F(LameEncFilter, AnEncoderFailureFailsTheStreamAndIsNotRetried) {
  script.failAtEncode = 2;
  const Bytes pcm = Pattern(20 * kBlock);
  bool good = true;
  const Bytes sink = Filter(pcm, 2352, 4096, -1, &good);

  EXPECT_FALSE(good);
  EXPECT_EQ(script.encoded.size(), 2u);
  EXPECT_EQ(script.finishes, 0u);
  EXPECT_EQ(sink, Bytes(script.produced.begin(), script.produced.end()));
  EXPECT_EQ(sink.size(), script.encoded[0].size() / 8);  // the first call's output stays
}

TEST_F(LameEncFilter, ConstructionErrorsNameTheirCause) {
  struct Case {
    const char* name;
    void (*set)(EncoderScript&);
    const char* message;
  };
  const Case cases[] = {
      {"no encoder", [](EncoderScript& s) { s.none = true; },
       "This system has no MP-3 encoder installed."},
      {"load", [](EncoderScript& s) { s.load = E_FAIL; }, "no encoder dll"},
      {"input", [](EncoderScript& s) { s.setInput = 1; }, "encoder dll error"},
      {"init", [](EncoderScript& s) { s.init = -1; }, "encoder dll error"},
      {"sizes", [](EncoderScript& s) { s.outputSize = 0; }, "encoder dll error"},
  };
  for (const Case& c : cases) {
    script = EncoderScript();
    c.set(script);
    try {
      io::lameenc_encoder filter(51, 4096, &MakeRecording);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), c.message) << c.name;
    }
  }
}

}  // namespace

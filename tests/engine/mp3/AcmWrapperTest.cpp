#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "engine/mp3/AcmWrapper.h"
#include "engine/mp3/MP3Encoder.h"
#include "tests/engine/mp3/Mp3TestSupport.h"

using namespace Mp3Test;

namespace {

bool IsFrameSync(const Bytes& b) { return b.size() > 4 && b[0] == 0xFF && (b[1] & 0xE0) == 0xE0; }

struct Collected {
  Bytes bytes;
  unsigned calls = 0;
};

int Collect(void* user, std::uint64_t, std::uint64_t, unsigned char* buffer, unsigned byteCount,
            unsigned frameCount, unsigned, unsigned* outBytes, unsigned* outFrames) {
  auto* c = static_cast<Collected*>(user);
  ++c->calls;
  c->bytes.insert(c->bytes.end(), buffer, buffer + byteCount);
  *outBytes = byteCount;
  *outFrames = frameCount;
  return 1;
}

MPEGLAYER3WAVEFORMAT WantedMp3(DWORD bitRate, DWORD rate) {
  MPEGLAYER3WAVEFORMAT f = AcmWrapper::BackupMp3Format();
  f.wfx.nSamplesPerSec = rate;
  f.wfx.nAvgBytesPerSec = bitRate / 8;
  f.nBlockSize = static_cast<WORD>(bitRate / 8 * 1152 / rate);
  return f;
}

WAVEFORMATEX Pcm44100() {
  WAVEFORMATEX f{};
  f.wFormatTag = WAVE_FORMAT_PCM;
  f.nChannels = 2;
  f.nSamplesPerSec = kRate;
  f.wBitsPerSample = 16;
  f.nBlockAlign = 4;
  f.nAvgBytesPerSec = kRate * 4;
  return f;
}

// The stand-in codec is registered for this process, as the ACM encoder does it.
class AcmWrapperTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    codec_ = Encoders::CreateMP3Encoder(Encoders::kEncoderAcm);
    ASSERT_EQ(codec_->Load(), 0);
  }
  static void TearDownTestSuite() { codec_.reset(); }

  // Encodes pcm to MP3 through a wrapper opened for bitRate at rate.
  static Bytes Encode(const Bytes& pcm, DWORD bitRate, DWORD rate) {
    Collected out;
    MPEGLAYER3WAVEFORMAT wanted = WantedMp3(bitRate, rate);
    auto encoder = AcmWrapper::CreateACMWrapper();
    if (encoder->OpenEncoder(&wanted.wfx, nullptr, kRate, &out, &Collect, nullptr) != S_OK)
      return {};
    unsigned handed = 0;
    for (std::size_t at = 0; at < pcm.size(); at += 36864)
      EXPECT_EQ(
          encoder->Encode(pcm.data() + at,
                          static_cast<unsigned>(std::min<std::size_t>(36864, pcm.size() - at) / 4),
                          &handed),
          S_OK);
    EXPECT_EQ(encoder->Encode(nullptr, 0, &handed), S_OK);
    return out.bytes;
  }

  static std::unique_ptr<Encoders::MP3EncoderLame> codec_;
};
std::unique_ptr<Encoders::MP3EncoderLame> AcmWrapperTest::codec_;

TEST_F(AcmWrapperTest, DecodesPcmAtTheRequestedRateWithoutAStream) {
  const Bytes pcm = TestSignal(1.0, 0.5);
  WAVEFORMATEX source = Pcm44100();
  source.cbSize = 77;  // a PCM record's extra size is ignored
  MemorySource input{&pcm};
  auto decoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(decoder->OpenDecoder(&source, kRate, &input, &ReadMemory), S_OK);
  EXPECT_EQ(source.cbSize, 0);
  unsigned in = 0, out = 0;
  EXPECT_EQ(decoder->GetBufferSizes(&in, &out), E_FAIL);  // no ACM stream behind it

  Bytes decoded(pcm.size());
  unsigned got = 0;
  ASSERT_EQ(decoder->Decode(decoded.data(), static_cast<unsigned>(pcm.size() / 4 + 10), &got),
            S_OK);
  EXPECT_EQ(got, pcm.size() / 4);
  EXPECT_EQ(decoded, pcm);
}

TEST_F(AcmWrapperTest, OversizedRequestsAndTheEndOfInputReturnWhatThereIs) {
  const Bytes mp3 = Encode(TestSignal(1.0, 0.0), 128000, kRate);
  ASSERT_TRUE(IsFrameSync(mp3));
  MPEGLAYER3WAVEFORMAT format = AcmWrapper::BackupMp3Format();
  MemorySource input{&mp3};
  auto decoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(decoder->OpenDecoder(&format.wfx, kRate, &input, &ReadMemory), S_OK);

  unsigned got = 77;
  EXPECT_EQ(decoder->Decode(nullptr, 0x100000, &got), S_OK);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(input.calls, 0u);

  Bytes decoded(0xFFFFF * 4);
  EXPECT_EQ(decoder->Decode(decoded.data(), 0xFFFFF, &got), S_OK);
  EXPECT_GE(got, kRate);  // everything, delay and padding included
  EXPECT_LT(got, kRate + 4 * 1152);
  EXPECT_EQ(decoder->Decode(decoded.data(), 100, &got), S_OK);
  EXPECT_EQ(got, 0u);
}

TEST_F(AcmWrapperTest, OpensTheMp3EncoderWithTheCodecsWholeBlockSize) {
  MPEGLAYER3WAVEFORMAT wanted = WantedMp3(128000, kRate);
  EXPECT_EQ(wanted.nBlockSize, 417);
  Collected out;
  AcmWrapper::FormatCopy format;
  unsigned outRate = 0;
  auto encoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(encoder->OpenEncoder(&wanted.wfx, &format, kRate, &out, &Collect, &outRate), S_OK);
  ASSERT_TRUE(format);
  ASSERT_EQ(format->wFormatTag, WAVE_FORMAT_MPEGLAYER3);
  const auto* mp3 = reinterpret_cast<const MPEGLAYER3WAVEFORMAT*>(format.get());
  EXPECT_EQ(mp3->nBlockSize, 418);
  EXPECT_EQ(mp3->wfx.nAvgBytesPerSec, 16000u);
  EXPECT_EQ(mp3->wfx.cbSize, MPEGLAYER3_WFX_EXTRA_BYTES);
  EXPECT_EQ(mp3->wID, MPEGLAYER3_ID_MPEG);
  EXPECT_EQ(mp3->nCodecDelay, 1393);
  unsigned in = 0, outBytes = 0;
  ASSERT_EQ(encoder->GetBufferSizes(&in, &outBytes), S_OK);
  EXPECT_EQ(in, 36864u);
  EXPECT_GT(outBytes, 0u);
}

TEST_F(AcmWrapperTest, HoldsInputUntilItsBufferIsFullAndFlushesOnZeroFrames) {
  const Bytes pcm = TestSignal(0.2, 0.0);
  Collected out;
  MPEGLAYER3WAVEFORMAT wanted = WantedMp3(128000, kRate);
  auto encoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(encoder->OpenEncoder(&wanted.wfx, nullptr, kRate, &out, &Collect, nullptr), S_OK);
  unsigned handed = 0;
  ASSERT_EQ(encoder->Encode(pcm.data(), 36864 / 4 - 1, &handed), S_OK);
  EXPECT_EQ(out.calls, 0u);
  EXPECT_EQ(handed, 0u);
  ASSERT_EQ(encoder->Encode(nullptr, 0, &handed), S_OK);
  EXPECT_EQ(out.calls, 1u);
  EXPECT_EQ(handed, out.bytes.size());
  EXPECT_TRUE(IsFrameSync(out.bytes));
}

TEST_F(AcmWrapperTest, FlushDrainsTheCodecAfterWholeBuffers) {
  Bytes pcm = TestSignal(3.0, 0.0);
  pcm.resize(pcm.size() / 36864 * 36864);
  Collected out;
  MPEGLAYER3WAVEFORMAT wanted = WantedMp3(128000, kRate);
  auto encoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(encoder->OpenEncoder(&wanted.wfx, nullptr, kRate, &out, &Collect, nullptr), S_OK);
  unsigned handed = 0;
  for (std::size_t at = 0; at < pcm.size(); at += 36864)
    ASSERT_EQ(encoder->Encode(pcm.data() + at, 36864 / 4, &handed), S_OK);
  const std::size_t beforeFlush = out.bytes.size();
  ASSERT_EQ(encoder->Encode(nullptr, 0, &handed), S_OK);
  EXPECT_GT(out.bytes.size(), beforeFlush);

  const Bytes decoded = DecodeWithAcm(out.bytes, kRate);
  EXPECT_GE(decoded.size(), pcm.size());  // nothing lost at the end
}

// A source that hands out pieces of changing size.
int ReadUnevenly(void* user, std::uint64_t bytePos, std::uint64_t framePos, unsigned char* buffer,
                 unsigned byteCount, unsigned frameCount, unsigned blockAlign, unsigned* outBytes,
                 unsigned* outFrames) {
  auto* source = static_cast<MemorySource*>(user);
  const unsigned piece = 4 * (1000 + (source->calls * 7919) % 12000);
  return ReadMemory(user, bytePos, framePos, buffer, std::min(byteCount, piece), frameCount,
                    blockAlign, outBytes, outFrames);
}

TEST_F(AcmWrapperTest, ResamplesUnevenPiecesWithoutDrift) {
  const Bytes pcm = TestSignal(6.0, 4.0);
  WAVEFORMATEX source = Pcm44100();
  MemorySource input{&pcm};
  auto decoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(decoder->OpenDecoder(&source, 48000, &input, &ReadUnevenly), S_OK);
  Bytes decoded(0xFFFFF * 4);
  unsigned got = 0;
  ASSERT_EQ(decoder->Decode(decoded.data(), 0xFFFFF, &got), S_OK);
  EXPECT_EQ(got, std::uint64_t(pcm.size() / 4) * 48000 / kRate);
}

TEST_F(AcmWrapperTest, ResamplesThroughThePcmConverterInBothDirections) {
  const Bytes pcm = TestSignal(2.0, 1.0);
  const double frames = pcm.size() / 4.0;

  // Decoding to 48000 Hz: the MP3 decoder, then the PCM converter.
  const Bytes mp3 = Encode(pcm, 128000, kRate);
  const Bytes at48 = DecodeWithAcm(mp3, 48000);
  const double expected48 = (frames + 1105) * 48000 / kRate;
  EXPECT_NEAR(at48.size() / 4.0, expected48, 3 * 1152 * 48000.0 / kRate);

  // Encoding a 48000 Hz MP3 from 44100 Hz PCM: the PCM converter, then the codec.
  const Bytes mp3At48 = Encode(pcm, 128000, 48000);
  ASSERT_TRUE(IsFrameSync(mp3At48));
  EXPECT_EQ((mp3At48[2] >> 2) & 3, 1);  // sampling-frequency index of 48 kHz
  MPEGLAYER3WAVEFORMAT format = AcmWrapper::BackupMp3Format();
  format.wfx.nSamplesPerSec = 48000;
  MemorySource input{&mp3At48};
  auto decoder = AcmWrapper::CreateACMWrapper();
  ASSERT_EQ(decoder->OpenDecoder(&format.wfx, 48000, &input, &ReadMemory), S_OK);
  Bytes decoded(0xFFFFF * 4);
  unsigned got = 0;
  ASSERT_EQ(decoder->Decode(decoded.data(), 0xFFFFF, &got), S_OK);
  EXPECT_NEAR(got, frames * 48000 / kRate + 1105, 3 * 1152);
}

}  // namespace

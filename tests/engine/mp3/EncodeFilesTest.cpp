// Encodes a sweep and noise through the encoding filter at the wizard's
// qualities and leaves, for the host's checkers, the input, each MP3 file and
// its decoding through the ACM (at 44100 Hz, and at 48000 Hz through the PCM
// converter for some qualities).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/mp3/LameEncEncoder.h"
#include "engine/mp3/MP3EncoderAcmImpl.h"
#include "engine/mp3/MP3EncoderLameImpl.h"
#include "engine/streams/FilteringByteStream.h"
#include "engine/streams/WFile.h"
#include "tests/engine/mp3/Mp3TestSupport.h"
#include "tests/engine/mp3/Mp3TestPaths.h"

namespace io = boost::iostreams;
using namespace Mp3Test;

namespace {

#ifdef EXPECT_ACM_ENCODER
using ExpectedEncoder = Encoders::MP3EncoderAcmImpl;
const char kEncoderName[] = "acm";
#define QUALITIES AcmQualities
#else
using ExpectedEncoder = Encoders::MP3EncoderLameImpl;
const char kEncoderName[] = "lame";
#define QUALITIES LameQualities
#endif

std::string OutPath(const std::string& name) {
  return std::string(MP3_TEST_OUT_DIR) + "\\" + kEncoderName + "\\" + name;
}

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

// Every test writes the same input, unless it is there already; the rename
// makes the file appear whole.
void WriteInput(const Bytes& pcm, int quality) {
  const std::string path = OutPath("input.pcm"), temp = path + "." + std::to_string(quality);
  if (ReadBytes(path) == pcm) return;
  ASSERT_TRUE(WriteBytes(temp, pcm));
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (MoveFileExW(Wide(temp).c_str(), Wide(path).c_str(), MOVEFILE_REPLACE_EXISTING)) return;
    Sleep(20);
  }
  DeleteFileW(Wide(temp).c_str());
  ASSERT_EQ(ReadBytes(path), pcm);
}

class EncodeFiles : public ::testing::TestWithParam<int> {};

TEST_P(EncodeFiles, ThroughTheFilterAndBackThroughTheAcm) {
  const int quality = GetParam();
  {
    auto encoder = Encoders::CreateMP3Encoder(Encoders::kEncoderAuto);
    ASSERT_NE(dynamic_cast<ExpectedEncoder*>(encoder.get()), nullptr);
  }
  CreateDirectoryW(Wide(MP3_TEST_OUT_DIR).c_str(), nullptr);
  CreateDirectoryW(Wide(OutPath("")).c_str(), nullptr);
  const Bytes pcm = TestSignal();
  WriteInput(pcm, quality);

  const std::string mp3Path = OutPath("q" + std::to_string(quality) + ".mp3");
  {
    io::filtering_byte_stream<io::output> out;
    out.push(io::lameenc_encoder(quality, 4096));
    out.push(io::basic_wfile_sink<unsigned char>(Wide(mp3Path)));
    // Pieces of a ripper's read (12 sectors) and odd ones, so every path of the filter runs.
    std::size_t piece = 12 * 2352, at = 0;
    while (at < pcm.size()) {
      const std::size_t n = std::min(piece, pcm.size() - at);
      out.write(pcm.data() + at, static_cast<std::streamsize>(n));
      at += n;
      piece = piece == 12 * 2352 ? 1001 : 12 * 2352;
    }
    ASSERT_TRUE(out.good());
  }

  const Bytes mp3 = ReadBytes(mp3Path);
  ASSERT_GT(mp3.size(), 10000u);
  const Bytes decoded = DecodeWithAcm(mp3, kRate);
  EXPECT_GE(decoded.size(), pcm.size());
  ASSERT_TRUE(WriteBytes(OutPath("q" + std::to_string(quality) + ".acm.pcm"), decoded));
  if (quality % 51 == 0) {
    const Bytes at48 = DecodeWithAcm(mp3, 48000);
    EXPECT_GT(at48.size(), decoded.size());
    ASSERT_TRUE(WriteBytes(OutPath("q" + std::to_string(quality) + ".acm48k.pcm"), at48));
  }
}

INSTANTIATE_TEST_SUITE_P(QUALITIES, EncodeFiles,
                         ::testing::Values(0, 30, 51, 80, 102, 140, 153, 180, 204, 240, 255));

}  // namespace

#pragma once
#include <cstddef>
#include <cstdint>

// The MPEG-1 Layer III frames of a backup's audio: 44100 Hz, 16-bit stereo.
namespace Mp3Frame {

constexpr unsigned kSampleRate = 44100;
constexpr unsigned kSamples = 1152;                  // per channel in one frame
constexpr std::size_t kPcmBytes = kSamples * 2 * 2;  // one frame as 16-bit stereo: 4608
// A time of n CD frames (1/75 s) is n * kSampleRate / kCdFrameScale MP3 frames.
constexpr int64_t kCdFrameScale = int64_t(kSamples) * 75;  // 86400

}  // namespace Mp3Frame

#include "engine/jobs/ExtracterData.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/engine/TocBuilder.h"

namespace {

struct FramesCase {
  int start;  // CD frames from the first track
  int length;
  uint64_t first;
  uint64_t end;
};

TEST(ExtracterFrames, CdFramesBecomeMp3Frames) {
  const FramesCase cases[] = {
      {0, 300, 0, 153},    // 4 s: frames 0 .. 152
      {1, 299, 0, 153},    // 44100 lies far below the next multiple of 86400
      {47, 253, 24, 153},  // 47 x 44100 lies 900 below 24 x 86400: rounded up
      {46, 254, 23, 153},  // ... and 46 x 44100 more than 1151 below 24 x 86400
      {96, 96, 49, 98},    // 1.28 s is exactly 49 frames
  };
  for (const FramesCase& c : cases) {
    SCOPED_TRACE(c.start);
    // A first track elsewhere on the disc shows that starts count from it.
    const std::vector<unsigned char> toc =
        c.start == 0 ? MakeToc({500, 500 + c.length})
                     : MakeToc({500, 500 + c.start, 500 + c.start + c.length});
    const ExtracterData::FrameRange r = ExtracterData::TrackFrames(c.start == 0 ? 1 : 2, toc);
    EXPECT_EQ(c.first, r.first);
    EXPECT_EQ(c.end, r.end);
  }
}

}  // namespace

#include <gtest/gtest.h>

#include "engine/mp3/MP3Encoder.h"

namespace {

struct Row {
  int quality;
  unsigned average, maximum, minimum, vbr;
};

void ExpectRows(int (*table)(int, Encoders::EncoderSettings&), const std::vector<Row>& rows) {
  for (const Row& r : rows) {
    Encoders::EncoderSettings s = Encoders::BaseSettings();
    EXPECT_EQ(table(r.quality, s), 0);
    EXPECT_EQ(s.averageBitRate, r.average) << r.quality;
    EXPECT_EQ(s.maximumBitRate, r.maximum) << r.quality;
    EXPECT_EQ(s.minimumBitRate, r.minimum) << r.quality;
    EXPECT_EQ(s.vbr, r.vbr) << r.quality;
    EXPECT_EQ(s.size, 40u);
    EXPECT_EQ(s.sampleRate, 44100u);
    EXPECT_EQ(s.channels, 2u);
    EXPECT_EQ(s.bitsPerSample, 16u);
  }
}

TEST(EncoderSettings, LameTableRowsAndTheirEdges) {
  ExpectRows(&Encoders::LameQualityToSettings, {{0, 32000, 32000, 32000, 0},
                                                {-7, 64000, 128000, 8000, 1},
                                                {1, 64000, 128000, 8000, 1},
                                                {63, 64000, 128000, 8000, 1},
                                                {64, 96000, 176000, 8000, 1},
                                                {95, 96000, 176000, 8000, 1},
                                                {96, 128000, 224000, 8000, 1},
                                                {127, 128000, 224000, 8000, 1},
                                                {128, 176000, 224000, 64000, 1},
                                                {159, 176000, 224000, 64000, 1},
                                                {160, 192000, 320000, 64000, 1},
                                                {191, 192000, 320000, 64000, 1},
                                                {192, 256000, 320000, 96000, 1},
                                                {223, 256000, 320000, 96000, 1},
                                                {224, 320000, 320000, 320000, 0},
                                                {255, 320000, 320000, 320000, 0},
                                                {1000, 320000, 320000, 320000, 0}});
}

TEST(EncoderSettings, AcmTableIsConstantBitRate) {
  ExpectRows(&Encoders::AcmQualityToSettings, {{-7, 128000, 128000, 128000, 0},
                                               {0, 128000, 128000, 128000, 0},
                                               {95, 128000, 128000, 128000, 0},
                                               {96, 160000, 160000, 160000, 0},
                                               {127, 160000, 160000, 160000, 0},
                                               {128, 192000, 192000, 192000, 0},
                                               {160, 224000, 224000, 224000, 0},
                                               {192, 256000, 256000, 256000, 0},
                                               {223, 256000, 256000, 256000, 0},
                                               {224, 320000, 320000, 320000, 0},
                                               {255, 320000, 320000, 320000, 0}});
}

}  // namespace

// Run from a folder without the LAME library and without an ACM codec.
#include "tests/engine/jobs/RipFixture.h"

namespace {

using namespace ripfixture;

TEST_F(RipTest, WithoutAnEncoderTheRipNeverStartsAndTheFileStaysAsItIs) {
  Insert(TwelveTracks(1, 300));
  const std::wstring path = dir_ / L"b.mp3";
  WriteFileBytes(path, {'o', 'l', 'd'});
  Target(path);
  RipperData job;
  JobNotifications page;
  EXPECT_EQ(0, job.Start(page.window(), info_));
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(L"This system has no MP-3 encoder installed.", job.Message());
  page.Drain();
  EXPECT_TRUE(page.received().empty());
  EXPECT_EQ((Bytes{'o', 'l', 'd'}), ReadFileBytes(path));
}

}  // namespace

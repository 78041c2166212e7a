#include "wizard/jobs/ExtracterProgressProxy.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <boost/make_shared.hpp>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "engine/backup/BackupFormat.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/engine/jobs/ExtractionRun.h"
#include "tests/support/TempDir.h"

namespace {

// A wizard state as the select-tracks page leaves it: a backup file being
// scanned and two songs chosen from it.
class ExtracterProgressProxyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Settings::SetBackend(Settings::BackendXmlFile);
    Settings::SetRoot(L"Velmora\\ExtracterProxyTest-" + std::to_wstring(GetCurrentProcessId()));
    const std::vector<BackupMaker::DiscPlan> plans = {{{0, 300}, 500, 0, {440, 880}}};
    const std::vector<std::vector<unsigned char>> audio = {BackupMaker::EncodeDisc(plans[0])};
    info_->backupPath = dir_ / L"backup.mp3";
    ASSERT_TRUE(BackupMaker::WriteBackup(info_->backupPath,
                                         BackupMaker::DescribeDiscs(plans, audio), audio));
    ByteSourceSB source(info_->backupPath, std::ios_base::in | std::ios_base::binary);
    std::basic_istream<unsigned char> is(&source);
    info_->discs = BackupFile::ReadDiscs(is);
    info_->extracter = boost::make_shared<ExtracterData>();
    info_->extracter->Scan(info_->backupPath, BackupMaker::ExpectedFrames(info_->discs),
                           info_->discs);
    info_->trackIndices = {2, 1};
    info_->discQueue = {0, 0};
  }
  void TearDown() override {
    if (info_->extracter) {
      std::wstring unused;
      info_->extracter->Stop(unused);
    }
    DeleteFileW(Settings::XmlStore::FilePath().c_str());
  }
  void ChooseSongs(const std::wstring& ext) {
    info_->outputPaths = {dir_ / (L"b" + ext), dir_ / (L"a" + ext)};
  }

  TempDir dir_;
  CWizardInfo info_;
  JobNotifications page_;
};

TEST_F(ExtracterProgressProxyTest, FinishBeforeStartTouchesNothing) {
  ExtracterProgressProxy job;
  info_->resultMessage = L"kept";
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(L"kept", info_->resultMessage);
  EXPECT_EQ(L"", job.Message());
  EXPECT_EQ(0, info_->extracter->ProgressRange());  // no songs handed over
}

// Name formats below 7 copy MP3 frames, the others decode to WAV.
class ExtracterProgressProxyFormat : public ExtracterProgressProxyTest,
                                     public testing::WithParamInterface<int> {};

TEST_P(ExtracterProgressProxyFormat, ExtractsTheChosenSongsAndLeavesTheSuccessText) {
  info_->nameFormat = GetParam();
  const std::wstring ext = GetParam() < 7 ? L".mp3" : L".wav";
  ChooseSongs(ext);
  ExtracterProgressProxy job;
  const int range = job.Start(page_.window(), info_);
  EXPECT_EQ(info_->extracter->ProgressRange(), range);
  EXPECT_GT(range, 0);
  job.Continue();  // no effect on an extraction
  ASSERT_TRUE(page_.WaitDone());
  EXPECT_TRUE(job.Finish());
  EXPECT_EQ(L"Your tracks have been successfully created", info_->resultMessage);
  EXPECT_EQ(L"", job.Message());
  EXPECT_TRUE(job.Finish());  // the same answer again, without a second stop
  for (const std::wstring& path : info_->outputPaths) {
    const std::vector<unsigned char> song = ReadFileBytes(path);
    ASSERT_GT(song.size(), 4u);
    EXPECT_EQ(ext == L".mp3" ? std::string("ID3") : std::string("RIF"),
              std::string(song.begin(), song.begin() + 3));
  }
}

INSTANTIATE_TEST_SUITE_P(NameFormats, ExtracterProgressProxyFormat, testing::Values(0, 6, 7, 13));

TEST_F(ExtracterProgressProxyTest, AnEngineThatRefusesTheSongsGivesNoRange) {
  ChooseSongs(L".mp3");
  info_->trackIndices = {1};  // fewer tracks than paths
  ExtracterProgressProxy job;
  EXPECT_EQ(0, job.Start(page_.window(), info_));
  EXPECT_FALSE(job.Finish());
  EXPECT_EQ(L"", info_->resultMessage);
}

}  // namespace

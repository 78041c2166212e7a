// The progress page in the wizard sheet of this process: each operation's
// real job run from the sheet to the completion page, Cancel while a backup
// runs, the restore queue and the end-session veto with scripted jobs, and
// the update check against a server on this machine.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <atomic>
#include <chrono>
#include <thread>

#include <boost/make_shared.hpp>

#include "engine/jobs/ExtracterData.h"
#include "tests/engine/jobs/RipFixture.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TimeScale.h"
#include "tests/wizard/ui/BackupFiles.h"
#include "tests/wizard/ui/RunSheet.h"
#include "wizard/UpdateCheck.h"
#include "wizard/pages/PageTools.h"

using namespace SheetDriver;

namespace {

const wchar_t kAbort[] = L"You have requested to abort the operation";

HWND Control(HWND sheet, int id) { return GetDlgItem(CurrentPage(sheet), id); }

// Follows a job on the progress page until Back and Next come back; what the
// bar showed meanwhile.
struct Watched {
  bool buttonsOff = false;
  int range = 0;
  int highest = 0;
};
Watched WatchJob(HWND sheet) {
  Watched seen;
  HWND bar = Control(sheet, IDC_PROGRESS);
  WaitFor(
      [&] {
        if (WizardButtons(sheet) == 0 && IsWindowVisible(bar)) {
          seen.buttonsOff = true;
          seen.range = std::max(seen.range, int(SendMessageW(bar, PBM_GETRANGE, FALSE, 0)));
          seen.highest = std::max(seen.highest, int(SendMessageW(bar, PBM_GETPOS, 0, 0)));
        }
        return WizardButtons(sheet) == (PSWIZB_BACK | PSWIZB_NEXT);
      },
      60000);
  return seen;
}

class ProgressPage : public ripfixture::RipTest {};

TEST_F(ProgressPage, BackupRunsFromTheDriveToTheResultText) {
  Insert(ripfixture::TwelveTracks(3, 400), L"From The Sheet");
  info_->operation = OpBackup;
  Target(dir_ / L"sheet.mp3");
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
    const Watched seen = WatchJob(sheet);
    EXPECT_TRUE(seen.buttonsOff);
    EXPECT_EQ(36, seen.range);  // a step per second of audio
    EXPECT_GT(seen.highest, 0);
    EXPECT_FALSE(IsWindowVisible(Control(sheet, IDC_PROGRESS)));
    // A backup allows the session to end.
    EXPECT_TRUE(SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_COMPLETE));
    EXPECT_EQ(L"The TAVRIN backup file " + dir_ / L"sheet.mp3" + L" has been successfully created",
              Text(Control(sheet, IDC_RESULT)));
  });
  const std::vector<BackupDisc> discs = PageTools::ReadBackupDiscs(dir_ / L"sheet.mp3");
  ASSERT_EQ(1u, discs.size());
  EXPECT_EQ(L"From The Sheet", discs[0].disc.tracks[0].title);
}

TEST_F(ProgressPage, CancelStopsARunningBackupAtOnceAndKeepsNothing) {
  Insert(ripfixture::TwelveTracks(300, 400));  // an hour of audio
  info_->operation = OpBackup;
  Target(dir_ / L"cancelled.mp3");
  std::chrono::steady_clock::time_point pressed;
  const INT_PTR result = RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
    HWND bar = Control(sheet, IDC_PROGRESS);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; }));
    EXPECT_TRUE(SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0));
    pressed = std::chrono::steady_clock::now();
  });
  const auto waited = std::chrono::steady_clock::now() - pressed;
  EXPECT_EQ(0, result);
  EXPECT_LT(waited, Scaled(std::chrono::seconds(5)));
  EXPECT_EQ(kAbort + std::wstring(L"\nNo backup file was written"), info_->resultMessage);
  EXPECT_FALSE(ripfixture::Exists(dir_ / L"cancelled.mp3"));
}

TEST_F(ProgressPage, ExtractionWritesTheChosenSongs) {
  const std::wstring path = dir_ / L"songs.mp3";
  info_->discs = BackupFiles::Write(path, {{L"Artist", L"Album"}});
  ASSERT_EQ(1u, info_->discs.size());
  info_->operation = OpExtract;
  info_->backupPath = path;
  info_->extracter = boost::make_shared<ExtracterData>();
  info_->extracter->Scan(path, BackupMaker::ExpectedFrames(info_->discs), info_->discs);
  info_->trackIndices = {2, 1};
  info_->outputPaths = {dir_ / L"second.mp3", dir_ / L"first.mp3"};
  info_->discQueue = {0, 0};
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
    EXPECT_GT(WatchJob(sheet).range, 0);
    EXPECT_TRUE(info_->discQueue.empty());
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_COMPLETE));
    EXPECT_NE(L"", Text(Control(sheet, IDC_RESULT)));
  });
  for (const std::wstring& song : {dir_ / L"second.mp3", dir_ / L"first.mp3"})
    EXPECT_GT(ReadFileBytes(song).size(), 10000u);
}

TEST_F(ProgressPage, DiscImageRestoreWritesTheImageAndTheSessionMayEnd) {
  const std::wstring path = dir_ / L"restore.mp3";
  info_->discs = BackupFiles::Write(path, {{L"Artist", L"Album"}});
  info_->operation = OpRestore;
  info_->backupPath = path;
  info_->imagePath = dir_ / L"image.cue";
  info_->restoreTarget = 0;
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
    EXPECT_TRUE(SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0));
    EXPECT_GT(WatchJob(sheet).range, 0);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_COMPLETE));
    EXPECT_EQ(L"The image file " + dir_ / L"image.cue" + L" has been successfully created",
              Text(Control(sheet, IDC_RESULT)));
  });
  // 300 CD frames of 2352 bytes.
  EXPECT_EQ(300u * 2352u, ReadFileBytes(dir_ / L"image.bin").size());
  EXPECT_FALSE(ReadFileBytes(dir_ / L"image.cue").empty());
}

TEST(ProgressPageQueue, ARestoreOfTwoDiscsReturnsToTheRecorderPageOnce) {
  for (bool firstSucceeds : {true, false}) {
    CWizardInfo info;
    info->operation = OpRestore;
    info->restoreTarget = 4;
    info->discQueue = {1, 2};
    int jobs = 0;
    RunSheet(
        info,
        [&](HWND sheet) {
          ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
          if (firstSucceeds) {
            ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_SELECTRECORDER));
            EXPECT_EQ(std::vector<int32_t>{2}, info->discQueue);
            ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
          }
          // The buttons may show Back and Next for a moment before the job
          // starts: wait for the series' end itself.
          const std::wstring last = firstSucceeds ? L"disc 2" : L"disc 1";
          EXPECT_TRUE(
              WaitFor([&] { return info->resultMessage == last && info->discQueue.empty(); }));
          EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
          EXPECT_EQ(firstSucceeds ? 2 : 1, jobs);
          EXPECT_EQ(L"disc " + std::to_wstring(jobs), info->resultMessage);
        },
        [&](const CWizardInfo&) {
          ++jobs;
          return std::make_unique<ScriptedJob>(firstSucceeds, true,
                                               L"disc " + std::to_wstring(jobs));
        });
  }
}

TEST(ProgressPageQueue, OnlyARunningRecordingRefusesTheEndOfTheSession) {
  CWizardInfo info;
  info->operation = OpRestore;
  info->restoreTarget = 4;
  RunSheet(
      info,
      [&](HWND sheet) {
        ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
        EXPECT_TRUE(WaitFor([&] { return !SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0); }));
      },
      [](const CWizardInfo&) { return std::make_unique<ScriptedJob>(true, false, L"recorded"); });
  // The job had done its work when the stop reached it: no abort is claimed.
  EXPECT_EQ(L"recorded", info->resultMessage);

  // A recording that could not start holds no drive: the session may end.
  CWizardInfo failed;
  failed->operation = OpRestore;
  failed->restoreTarget = 4;  // no disc to write: the set-up refuses
  RunSheet(failed, [&](HWND sheet) {
    PostMessageW(sheet, PSM_SETCURSELID, 0, IDD_WIZ97_PROGRESS);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_COMPLETE));
    EXPECT_TRUE(SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0));
  });
}

// Cancel while a job runs: a job that stops tells the abort and then its own
// text (what became of the user's file); one whose work was done by the time
// the stop reached it tells only its own text.
TEST(ProgressPageCancel, TheTextTellsWhatTheJobDid) {
  const struct {
    bool succeeds;
    const wchar_t* text;
    std::wstring shown;
  } cases[] = {
      {false, L"", kAbort},
      {false, L"The backup file x.mp3 was left as it was",
       kAbort + std::wstring(L"\nThe backup file x.mp3 was left as it was")},
      {true, L"The TAVRIN backup file x.mp3 has been successfully created",
       L"The TAVRIN backup file x.mp3 has been successfully created"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    CWizardInfo info;
    info->operation = OpBackup;
    RunSheet(
        info,
        [&](HWND sheet) {
          ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_PROGRESS));
          ASSERT_TRUE(WaitFor([&] { return WizardButtons(sheet) == 0; }));
        },
        [&](const CWizardInfo&) {
          return std::make_unique<ScriptedJob>(c.succeeds, false, c.text);
        });
    EXPECT_EQ(c.shown, info->resultMessage);
  }
}

// The update check runs when the progress page's window is made.
class UpdateOnTheProgressPage : public ::testing::Test {
 protected:
  void SetUp() override {
    UpdateCheck::MakerHost().port = server_.port();
    saved_ = Banner::Factory();
  }
  void TearDown() override {
    UpdateCheck::MakerHost().port = 9;
    Banner::Factory() = saved_;
  }
  // Shows the progress page of a backup that cannot start, and looks at the
  // banner area while the page is there.
  void ShowPage(const std::function<void(HWND page)>& look) {
    info_->operation = OpBackup;
    RunSheet(info_, [&](HWND sheet) {
      HWND page = nullptr;
      PostMessageW(sheet, PSM_SETCURSELID, 0, IDD_WIZ97_PROGRESS);
      ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_COMPLETE));
      // The page's window stays after it was passed by.
      page = reinterpret_cast<HWND>(SendMessageW(sheet, PSM_INDEXTOHWND, 11, 0));
      ASSERT_NE(nullptr, page);
      look(page);
    });
  }
  LoopbackHttpServer server_;
  Banner::BrowserFactory saved_;
  CWizardInfo info_;
};

TEST_F(UpdateOnTheProgressPage, WithoutAParameterFileThePictureShows) {
  ShowPage([&](HWND page) {
    EXPECT_EQ(nullptr, GetDlgItem(page, IDC_BANNER));
    HWND picture = GetDlgItem(page, IDC_BANNER_PICTURE);
    ASSERT_NE(nullptr, picture);
    EXPECT_NE(0, SendMessageW(picture, STM_GETICON, 0, 0));
  });
  EXPECT_EQ(0, info_->newerVersion);
  ASSERT_EQ(1u, server_.requests().size());
  EXPECT_EQ("GET /tavrinparam.xml HTTP/1.1", server_.requests()[0].line);
}

TEST_F(UpdateOnTheProgressPage, AValidFileTellsOfTheNewerVersionAndAsksForTheBanner) {
  server_.Reply(200,
                "<?xml version=\"1.0\"?><tavrin version=\"1.1.0.0\" adserver=\"http://127.0.0.1\" "
                "click=\"go/\"/>");
  std::wstring asked;
  RECT place = {};
  Banner::Factory() = [&](HWND, const RECT& rect, int id,
                          const std::function<std::wstring(int, int)>& address, HWND& host,
                          ComPtr<IWebBrowser2>&) {
    EXPECT_EQ(IDC_BANNER, id);
    place = rect;
    asked = address(rect.right - rect.left, rect.bottom - rect.top);
    host = nullptr;
    return false;  // no browser here: the picture stands in
  };
  ShowPage([&](HWND page) {
    HWND picture = GetDlgItem(page, IDC_BANNER_PICTURE);
    ASSERT_NE(nullptr, picture);
    EXPECT_NE(0, SendMessageW(picture, STM_GETICON, 0, 0));
  });
  EXPECT_EQ(2, info_->newerVersion);
  EXPECT_EQ(L"http://127.0.0.1/tavrinad.php?w=" + std::to_wstring(place.right - place.left) +
                L"&h=" + std::to_wstring(place.bottom - place.top) + L"&a=r&g=na&l=en-US",
            asked);
  EXPECT_GT(place.right - place.left, 100);
}

TEST_F(UpdateOnTheProgressPage, TheSystemsBrowserHostTakesTheBannersPlace) {
  server_.Reply(200,
                "<?xml version=\"1.0\"?><tavrin version=\"1.0.117.0\" "
                "adserver=\"http://127.0.0.1\" click=\"go/\"/>");
  ShowPage([&](HWND page) {
    HWND banner = GetDlgItem(page, IDC_BANNER);
    ASSERT_NE(nullptr, banner);
    EXPECT_EQ(0x52000000, GetWindowLongW(banner, GWL_STYLE) & 0x52000000);
    EXPECT_EQ(nullptr, GetDlgItem(page, IDC_BANNER_PICTURE));
  });
  EXPECT_EQ(0, info_->newerVersion);
}

}  // namespace

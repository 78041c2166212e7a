// The lookup thread on its own: what it asks of the plug-in, what it posts,
// and how it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "tests/support/vdrive/VirtualDisc.h"
#include "tests/wizard/dbhost/ScriptedDb.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/dbhost/DiscLookup.h"
#include "wizard/jobs/Action.h"

namespace {

class Lookup : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    lookup_.Start(window_);
  }
  void TearDown() override {
    lookup_.Stop();
    DestroyWindow(window_);
  }

  // Puts a disc of the given number of tracks (kind 2 audio, 3 data) in a slot.
  void Insert(int slot, int tracks, int kind = CdDevice::KindAudio) {
    VirtualDisc::Drive drive;
    for (int i = 0; i < tracks; ++i) drive.tracks.push_back({i * 7500, false, 0});
    drive.leadOut = tracks * 7500;
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    CdDevice::DriveEntry& entry = lookup_.Slot(slot);
    entry.letter = static_cast<wchar_t>(0x40 + slot);
    entry.kind = kind;
    entry.toc = VirtualDisc::TocReply(drive);
  }
  void Queue(int slot) {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    lookup_.Queue(slot);
  }
  // The next notification code posted to the window, 0 after the wait.
  WPARAM Next(int milliseconds = 5000) {
    MSG msg;
    WPARAM code = 0;
    SheetDriver::WaitFor(
        [&] {
          if (!PeekMessageW(&msg, window_, WM_JOB_NOTIFY, WM_JOB_NOTIFY, PM_REMOVE)) return false;
          code = msg.wParam;
          return true;
        },
        milliseconds);
    return code;
  }
  DiscLookup::Entry Entry(int slot) {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    return lookup_.Find(lookup_.Slot(slot).toc);
  }

  ScriptedDb db_;
  HWND window_ = nullptr;
  DiscLookup lookup_;
};

TEST_F(Lookup, TwoDrivesWithOneDiscShareOneLookupAndDataDiscsAreDropped) {
  db_.Script(
      "disc 2\nmatch T|A|rock|00000001|0\nentry A|T|rock||0\nentry A|x|rock||0\n"
      "entry A|y|rock||0\n");
  Insert(4, 2);
  Insert(5, 2);
  Insert(6, 1, CdDevice::KindData);
  Queue(6);
  Queue(4);
  Queue(5);
  EXPECT_EQ(LOOKUP_DONE, Next());
  EXPECT_EQ(Entry(4), Entry(5));
  EXPECT_EQ(DiscLookup::StateDone, Entry(4)->state);
  EXPECT_EQ(3u, Entry(4)->disc.tracks.size());
  // A disc whose lookup has ended is never looked up again.
  Queue(4);
  EXPECT_EQ(0u, Next(300));
  EXPECT_EQ(1u, db_.Texts("CreateSession").size());
}

TEST_F(Lookup, StopsAtOnceWhileWaitingForTheUsersChoiceAndClosesTheSessionItself) {
  db_.Script("disc 3\nmatch A|X|rock|00000001|0\nmatch B|Y|rock|00000002|0\n");
  Insert(4, 3);
  Queue(4);
  ASSERT_EQ(LOOKUP_CHOOSE, Next());
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    ASSERT_TRUE(lookup_.Pending());
    EXPECT_EQ(2u, lookup_.Pending()->matches.size());
  }
  const auto start = std::chrono::steady_clock::now();
  lookup_.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
  std::vector<ScriptedDb::Call> calls;
  for (const ScriptedDb::Call& call : db_.Calls())
    if (call.text.find("Session") != std::string::npos) calls.push_back(call);
  ASSERT_EQ(2u, calls.size());
  ASSERT_EQ("CloseSession", calls.back().text);
  EXPECT_NE(GetCurrentThreadId(), calls.back().thread);
  EXPECT_EQ(calls.front().thread, calls.back().thread);
  EXPECT_EQ(0u, Next(100));
}

}  // namespace

#pragma once
// The lookup thread on its own, reporting to a message-only window that the
// test reads.
#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <vector>

#include "tests/support/vdrive/VirtualDisc.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/dbhost/DiscLookup.h"
#include "wizard/jobs/Action.h"

class LookupThreadTest : public ::testing::Test {
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
    Insert(slot, VirtualDisc::TocReply(drive), kind);
  }
  void Insert(int slot, const std::vector<unsigned char>& toc, int kind = CdDevice::KindAudio) {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    CdDevice::DriveEntry& entry = lookup_.Slot(slot);
    entry.letter = static_cast<wchar_t>(0x40 + slot);
    entry.kind = kind;
    entry.toc = toc;
  }
  void Queue(int slot) {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    lookup_.Queue(slot);
  }
  // The next notification code posted to the window, 0 after the wait.
  WPARAM Next(int milliseconds = 60000) {
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

  HWND window_ = nullptr;
  DiscLookup lookup_;
};

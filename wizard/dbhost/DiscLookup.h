#pragma once
#include <windows.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/backup/DiscRecords.h"
#include "engine/cd/CdDevice.h"
#include "wizard/dbhost/VOVudoroDession.h"

// The background lookup of the discs in the drives for the source-drive page:
// the drive slots the page fills, a queue of slot numbers to look at, and a
// cache of lookup states keyed by raw TOC, all under one mutex, worked on by
// the "Ombrel Lookup Thread". The thread opens an online session per disc,
// asks the page (LOOKUP_CHOOSE) when the database has several matches, and
// posts LOOKUP_DONE when a disc's lookup has ended. A disc is looked up once
// in the object's life.
class DiscLookup {
 public:
  enum State {
    StateNew = 0,          // not yet looked at
    StateSessionOpen = 1,  // next: query
    StateChosen = 2,       // next: look the chosen match up
    StateDone = 3,         // with texts, without a match, or declined
    StateChoosing = 4,     // waits for the user's choice
  };

  // The lookup state of one disc.
  struct Data_t {
    int state = StateNew;
    std::vector<unsigned char> toc;
    std::unique_ptr<VOVudoroDession> session;  // used by the thread alone
    std::vector<DiscMatch> matches;
    DiscInfo disc;  // no entries when nothing was found
    int chosen = 0;
  };
  using Entry = std::shared_ptr<Data_t>;

  static const int kSlots = 32;
  // A slot that holds no drive has this letter code.
  static const wchar_t kNoDrive = 0x40;
  // Drive X lives in slot (X & 0x1F).
  static int SlotOf(wchar_t letter) { return letter & 0x1F; }

  DiscLookup();
  ~DiscLookup();
  DiscLookup(const DiscLookup&) = delete;
  DiscLookup& operator=(const DiscLookup&) = delete;

  // Starts the thread, which reports to the window; Stop ends it, letting a
  // plug-in call in progress finish first.
  void Start(HWND notify);
  void Stop();

  // Everything below is used with this mutex held.
  std::mutex& Mutex() { return mutex_; }
  CdDevice::DriveEntry& Slot(int slot) { return slots_[slot]; }
  // The disc's state, null when it was never queued.
  Entry Find(const std::vector<unsigned char>& toc) const;
  // Asks for the lookup of the disc in the slot; its state exists at once,
  // so that the page sees a lookup that has not started yet as running.
  void Queue(int slot);
  // The disc that waits for the user's choice, null when none does.
  Entry Pending() const { return pending_; }
  // The user's line among the pending disc's matches, -1 when declined.
  void Choose(const Entry& entry, int line);

 private:
  void Run();
  // The disc's state, made (new) when the disc was never seen.
  Entry& EntryFor(const std::vector<unsigned char>& toc);
  // Takes queued slots until one holds an audio disc; that disc's state
  // becomes the current one unless its lookup has ended.
  void TakeQueued(Entry& current);
  // One step of the current disc's lookup, made without the lock.
  void Step(Entry& current, std::unique_lock<std::mutex>& lock);
  void EndLookup(Entry& current);

  std::mutex mutex_;
  std::condition_variable work_;
  std::condition_variable choice_;
  std::thread thread_;
  HWND notify_ = nullptr;
  bool stop_ = false;
  CdDevice::DriveEntry slots_[kSlots];
  std::deque<unsigned char> queue_;
  Entry pending_;
  std::map<std::vector<unsigned char>, Entry> cache_;
};

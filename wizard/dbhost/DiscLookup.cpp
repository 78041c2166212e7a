#include "wizard/dbhost/DiscLookup.h"

#include "common/Boundary.h"
#include "wizard/jobs/WorkerScope.h"
#include "wizard/jobs/Action.h"

DiscLookup::DiscLookup() {
  for (CdDevice::DriveEntry& slot : slots_) slot.letter = kNoDrive;
}

DiscLookup::~DiscLookup() { Stop(); }

void DiscLookup::Start(HWND notify) {
  Stop();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = notify;
    stop_ = false;
  }
  thread_ = std::thread([this] { Boundary::Run("the disc lookup", [this] { Run(); }); });
}

void DiscLookup::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  work_.notify_all();
  choice_.notify_all();
  if (thread_.joinable()) thread_.join();
}

DiscLookup::Entry DiscLookup::Find(const std::vector<unsigned char>& toc) const {
  const auto found = cache_.find(toc);
  return found == cache_.end() ? nullptr : found->second;
}

DiscLookup::Entry& DiscLookup::EntryFor(const std::vector<unsigned char>& toc) {
  Entry& entry = cache_[toc];
  if (!entry) {
    entry = std::make_shared<Data_t>();
    entry->toc = toc;
  }
  return entry;
}

void DiscLookup::Queue(int slot) {
  EntryFor(slots_[slot].toc);
  queue_.push_back(static_cast<unsigned char>(slot));
  work_.notify_all();
}

void DiscLookup::Choose(const Entry& entry, int line) {
  if (entry->state != StateChoosing) return;
  if (line < 0 || static_cast<size_t>(line) >= entry->matches.size()) {
    entry->chosen = 0;
    entry->state = StateDone;
  } else {
    entry->chosen = line;
    entry->state = StateChosen;
  }
  choice_.notify_all();
}

void DiscLookup::Run() {
  WorkerScope scope("Ombrel Lookup Thread");
  Entry current;
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    TakeQueued(current);
    if (!current) {
      work_.wait(lock, [this] { return stop_ || !queue_.empty(); });
      continue;
    }
    // A lookup that throws ends without texts; the others go on.
    if (Boundary::Run("the disc lookup", [&] { Step(current, lock); })) continue;
    if (!lock.owns_lock()) lock.lock();
    pending_.reset();
    current->state = StateDone;
    EndLookup(current);
  }
  // Sessions belong to this thread and its COM apartment: those of lookups
  // that never ended are closed here, not when the cache goes.
  pending_.reset();
  for (auto& cached : cache_) cached.second->session.reset();
}

void DiscLookup::TakeQueued(Entry& current) {
  while (!queue_.empty()) {
    const CdDevice::DriveEntry& slot = slots_[queue_.front()];
    queue_.pop_front();
    if (slot.kind != CdDevice::KindAudio) continue;
    const Entry& entry = EntryFor(slot.toc);
    if (entry->state != StateDone) current = entry;
    return;
  }
}

void DiscLookup::Step(Entry& current, std::unique_lock<std::mutex>& lock) {
  Data_t& entry = *current;
  const int state = entry.state;
  if (state == StateNew) {
    const std::vector<unsigned char> toc = entry.toc;
    lock.unlock();
    auto session = VOVudoroDession::Create(notify_, true, L"", toc);
    lock.lock();
    entry.session = std::move(session);
    entry.state = StateSessionOpen;
  } else if (state == StateSessionOpen) {
    lock.unlock();
    std::vector<DiscMatch> matches = entry.session->QueryMatches();
    lock.lock();
    entry.chosen = 0;
    entry.state = matches.empty() ? StateDone : (matches.size() == 1 ? StateChosen : StateChoosing);
    entry.matches = std::move(matches);
  } else if (state == StateChosen) {
    if (static_cast<size_t>(entry.chosen) >= entry.matches.size()) {
      entry.state = StateDone;
    } else {
      const DiscMatch match = entry.matches[entry.chosen];
      lock.unlock();
      DiscInfo disc = entry.session->LookupDisc(match.category, match.discId, match.marker);
      lock.lock();
      entry.disc = std::move(disc);
      entry.state = StateDone;
    }
  }
  if (entry.state == StateChoosing) {
    if (stop_) return;
    pending_ = current;
    PostMessageW(notify_, WM_JOB_NOTIFY, LOOKUP_CHOOSE, 0);
    choice_.wait(lock, [&] { return stop_ || entry.state != StateChoosing; });
    pending_.reset();
  }
  if (entry.state == StateDone) EndLookup(current);
}

void DiscLookup::EndLookup(Entry& current) {
  current->session.reset();
  current.reset();
  PostMessageW(notify_, WM_JOB_NOTIFY, LOOKUP_DONE, 0);
}

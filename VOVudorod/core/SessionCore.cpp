#include "VOVudorod/core/SessionCore.h"

#include "VOVudorod/core/Toc.h"

namespace DbCore {

SessionCore::SessionCore(const std::vector<unsigned char>& rawToc)
    : toc_(ParseToc(rawToc)), hash_(HashToc(rawToc)) {
  discId_ = ComputeDiscId(toc_);
}

SessionCore::~SessionCore() = default;

bool SessionCore::CheckComplete() {
  if (entries_.empty() || entries_.size() != toc_.size()) return false;
  for (const TrackRecord& e : entries_)
    if (e.title.empty()) return false;
  if (entries_[0].artist.empty()) entries_[0].artist = L"various";
  return true;
}

TrackRecord* SessionCore::Entry(std::size_t index) {
  if (index >= kMaxEntries) return nullptr;
  if (entries_.size() <= index) entries_.resize(index + 1);
  return &entries_[index];
}

void SessionCore::SetArtist(std::size_t index, const std::wstring& text) {
  if (TrackRecord* e = Entry(index)) e->artist = text;
}

void SessionCore::SetTitle(std::size_t index, const std::wstring& text) {
  if (TrackRecord* e = Entry(index)) e->title = text;
}

void SessionCore::SetGenre(std::size_t index, const std::wstring& text) {
  if (TrackRecord* e = Entry(index)) e->genre = text;
}

void SessionCore::SetExtended(std::size_t index, const std::wstring& text) {
  if (TrackRecord* e = Entry(index)) e->extended = text;
}

void SessionCore::SetYear(std::size_t index, int32_t year) {
  if (TrackRecord* e = Entry(index)) e->year = year;
}

void SessionCore::TakeCachedDisc(const DiscRecord& disc) {
  discId_ = disc.discId;
  category_ = disc.category;
  entries_ = disc.entries;
}

void SessionCore::GetDiscKey(DiscRecord& disc) const {
  disc.discId = discId_;
  disc.tocHash = hash_;
}

MatchRecord CachedMatch(const DiscRecord& disc, int32_t marker) {
  MatchRecord match;
  if (!disc.entries.empty()) {
    match.title = disc.entries[0].title;
    match.artist = disc.entries[0].artist;
  }
  match.category = disc.category;
  match.discId = disc.discId;
  match.marker = marker;
  return match;
}

}  // namespace DbCore

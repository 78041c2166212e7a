#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/core/Records.h"

namespace DbCore {

// What both plug-ins' sessions hold: the disc's identity, computed once from the
// raw TOC, and the texts that the host sets for a submission. A plug-in derives
// its session type and says how matches, looked-up texts and submissions come
// about.
class SessionCore {
 public:
  // Entry indices at or above this are ignored (a CD has at most 99 tracks).
  static const std::size_t kMaxEntries = 256;

  explicit SessionCore(const std::vector<unsigned char>& rawToc);
  virtual ~SessionCore();
  SessionCore(const SessionCore&) = delete;
  SessionCore& operator=(const SessionCore&) = delete;

  // The entries of a TOC whose first track is 1 and whose data length fits its
  // last track number; an empty list for anything else (defined in Toc.cpp).
  static std::vector<TocEntry> ParseToc(const std::vector<unsigned char>& rawToc);

  // The candidates for the disc. lookedUp is the handle's looked-up disc, which a
  // plug-in may fill when it finds the texts on the way.
  virtual std::vector<MatchRecord> FindMatches(DiscRecord& lookedUp) = 0;
  // The texts of the chosen candidate; no entries on failure.
  virtual DiscRecord FetchDisc(const std::wstring& category, uint32_t discId, int32_t marker) = 0;
  virtual bool Submit(int32_t revision) = 0;

  // The precondition of every submission: one entry per TOC entry, every title
  // set. An empty disc artist becomes "various".
  bool CheckComplete();

  void SetArtist(std::size_t index, const std::wstring& text);
  void SetTitle(std::size_t index, const std::wstring& text);
  void SetGenre(std::size_t index, const std::wstring& text);
  void SetExtended(std::size_t index, const std::wstring& text);
  void SetYear(std::size_t index, int32_t year);

  uint32_t discId() const { return discId_; }
  const std::vector<TocEntry>& tocEntries() const { return toc_; }
  const TocHash& tocHash() const { return hash_; }
  const std::wstring& category() const { return category_; }
  const std::vector<TrackRecord>& entries() const { return entries_; }

 protected:
  // Takes the disc id, category and entries of a disc found in the cache.
  void TakeCachedDisc(const DiscRecord& disc);
  // Sets the disc id and hash under which the session's disc is cached.
  void GetDiscKey(DiscRecord& disc) const;

 private:
  TrackRecord* Entry(std::size_t index);

  uint32_t discId_;
  std::vector<TocEntry> toc_;
  TocHash hash_;
  std::wstring category_ = L"misc";
  std::vector<TrackRecord> entries_;
};

// The one match of a disc found in the cache: entry 0's title and artist, the
// disc's category and id.
MatchRecord CachedMatch(const DiscRecord& disc, int32_t marker);

// What a session handle of the plug-in interface points to.
struct SessionHandle {
  std::unique_ptr<SessionCore> session;
  std::vector<MatchRecord> matches;  // empty until a query finds some
  DiscRecord lookedUp;               // no entries until a lookup yields some
};

}  // namespace DbCore

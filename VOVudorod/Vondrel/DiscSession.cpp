#include "VOVudorod/Vondrel/DiscSession.h"

#include "VOVudorod/cache/DiscCache.h"

namespace {

// Vondrel's records carry no database revision.
const int32_t kNoRevision = -1;

}  // namespace

DiscSession::DiscSession(const std::vector<unsigned char>& rawToc)
    : SessionCore(rawToc), cachePath_(DbCache::CacheDatabasePath()) {}

std::unique_ptr<DbCore::SessionCore> DiscSession::Create(const std::vector<unsigned char>& rawToc) {
  return std::unique_ptr<DbCore::SessionCore>(new DiscSession(rawToc));
}

std::vector<DbCore::MatchRecord> DiscSession::FindMatches(DbCore::DiscRecord&) {
  return QueryCache();
}

DbCore::DiscRecord DiscSession::FetchDisc(const std::wstring&, uint32_t, int32_t) {
  return MakeRecord();
}

bool DiscSession::Submit(int32_t) { return StoreInCache(); }

std::vector<DbCore::MatchRecord> DiscSession::QueryCache() {
  DbCore::DiscRecord cached;
  cached.discId = discId();
  cached.tocHash = tocHash();
  if (FAILED(DbCache::ReadCachedDisc(cachePath_, cached)) || cached.entries.empty()) return {};
  TakeDisc(cached);
  source_ = cached.source;
  DbCore::MatchRecord match;
  match.title = entries()[0].title;
  match.artist = entries()[0].artist;
  match.category = category();
  match.discId = discId();
  match.marker = 0;
  return {match};
}

DbCore::DiscRecord DiscSession::MakeRecord() const {
  DbCore::DiscRecord record;
  if (entries().empty()) return record;
  record.source = source_;
  record.discId = discId();
  record.revision = kNoRevision;
  record.tocHash = tocHash();
  record.entries = entries();
  return record;
}

bool DiscSession::StoreInCache() {
  if (!CheckComplete()) return false;
  DbCore::DiscRecord record;
  record.source = source_;
  record.discId = discId();
  record.revision = kNoRevision;
  record.tocHash = tocHash();
  record.entries = entries();
  return DbCache::WriteCachedDisc(cachePath_, record) == S_OK;
}

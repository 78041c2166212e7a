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
  GetDiscKey(cached);
  if (FAILED(DbCache::ReadCachedDisc(cachePath_, cached)) || cached.entries.empty()) return {};
  TakeCachedDisc(cached);
  source_ = cached.source;
  return {DbCore::CachedMatch(cached, 0)};
}

DbCore::DiscRecord DiscSession::MakeRecord() const {
  DbCore::DiscRecord record;
  if (entries().empty()) return record;
  record.source = source_;
  GetDiscKey(record);
  record.revision = kNoRevision;
  record.entries = entries();
  return record;
}

bool DiscSession::StoreInCache() {
  return CheckComplete() && DbCache::WriteCachedDisc(cachePath_, MakeRecord()) == S_OK;
}

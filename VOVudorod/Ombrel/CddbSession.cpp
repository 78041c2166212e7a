#include "VOVudorod/Ombrel/CddbSession.h"

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbReplies.h"
#include "VOVudorod/Ombrel/CddbText.h"
#include "VOVudorod/cache/DiscCache.h"
#include "common/Settings.h"

CddbSession::CddbSession(const std::vector<unsigned char>& rawToc)
    : SessionCore(rawToc), submitter_(Cddb::kDefaultSubmitter) {}

std::unique_ptr<DbCore::SessionCore> CddbSession::Create(const std::vector<unsigned char>& rawToc) {
  return std::unique_ptr<DbCore::SessionCore>(new CddbSession(rawToc));
}

std::vector<DbCore::MatchRecord> CddbSession::FindMatches(DbCore::DiscRecord& lookedUp) {
  DbCore::DiscRecord cached;
  GetDiscKey(cached);
  // A disc that reads back incompletely leaves no texts behind.
  if (FAILED(DbCache::ReadCachedDisc(DbCache::CacheDatabasePath(), cached)) ||
      cached.entries.empty()) {
    lookedUp = DbCore::DiscRecord();
    GetDiscKey(lookedUp);
    return QueryMatches();
  }
  TakeCachedDisc(cached);
  lookedUp = cached;
  return {DbCore::CachedMatch(cached, Cddb::kCacheMarker)};
}

DbCore::DiscRecord CddbSession::FetchDisc(const std::wstring& category, uint32_t discId,
                                          int32_t marker) {
  DbCore::DiscRecord disc = ReadDisc(category, discId, marker);
  // The texts are returned whether or not they could be kept.
  if (!disc.entries.empty()) DbCache::WriteCachedDisc(DbCache::CacheDatabasePath(), disc);
  return disc;
}

bool CddbSession::Submit(int32_t revision) {
  std::wstring address;
  if (Settings::GetString(Cddb::kEmailSetting, address) && !address.empty())
    SetSubmitterEmail(address);
  return SubmitDisc(revision);
}

std::wstring CddbSession::HelloString() const {
  using Cddb::UrlEscape;
  return L"&hello=" + UrlEscape(Cddb::kHelloUser) + L"+" + UrlEscape(Cddb::kHelloHost) + L"+" +
         UrlEscape(Cddb::kClientName) + L"+" + UrlEscape(Cddb::kClientVersion) + L"&proto=" +
         Cddb::kProtocolLevel;
}

std::wstring CddbSession::QueryCommand() const {
  const std::vector<DbCore::TocEntry>& toc = tocEntries();
  const std::size_t tracks = toc.empty() ? 0 : toc.size() - 1;
  std::wstring command =
      L"cmd=cddb+query+" + Cddb::HexId(discId()) + L"+" + std::to_wstring(tracks) + L"+";
  for (std::size_t i = 0; i < tracks; ++i) command += std::to_wstring(StartFrame(toc[i])) + L"+";
  const int seconds = toc.empty() ? 0 : toc.back().minute * 60 + toc.back().second;
  return command + std::to_wstring(seconds) + HelloString() + L"\n\n";
}

std::wstring CddbSession::ReadCommand(const std::wstring& category, uint32_t discId) const {
  return L"cmd=cddb+read+" + Cddb::UrlEscape(category) + L"+" + Cddb::HexId(discId) + HelloString();
}

std::vector<DbCore::MatchRecord> CddbSession::QueryMatches() {
  // A disc without a table of contents cannot be asked for.
  if (tocEntries().empty()) return {};
  const std::wstring command = QueryCommand();
  std::wstring reply;
  for (serverIndex_ = 0; serverIndex_ < Cddb::kServerCount; ++serverIndex_) {
    reply = HttpPost(command, true);
    if (!reply.empty()) break;
  }
  if (reply.empty()) return {};
  return Cddb::ParseQueryReply(reply, static_cast<int32_t>(serverIndex_));
}

DbCore::DiscRecord CddbSession::ReadDisc(const std::wstring& category, uint32_t discId,
                                         int32_t marker) {
  DbCore::DiscRecord disc;
  disc.category = category;
  disc.discId = discId;
  disc.tocHash = tocHash();
  // A marker that names no default server (the cache's among them) reads nothing.
  if (marker < 0 || static_cast<std::size_t>(marker) >= Cddb::kServerCount) {
    serverIndex_ = Cddb::kServerCount;
    return disc;
  }
  serverIndex_ = static_cast<std::size_t>(marker);
  const std::wstring reply = HttpPost(ReadCommand(category, discId), true);
  Cddb::ParseReadReply(reply, disc);
  if (!disc.entries.empty()) disc.source = Cddb::kServers[serverIndex_];
  return disc;
}

void CddbSession::SetSubmitterEmail(const std::wstring& address) { submitter_ = address; }

int CddbSession::StartFrame(const DbCore::TocEntry& entry) {
  return (entry.minute * 60 + entry.second) * 75 + entry.frame;
}

#pragma once
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/core/SessionCore.h"

// The local plug-in's session: texts come from the local disc cache alone and
// go back into it. ParseToc, CheckComplete and TakeCachedDisc are the core's
// (SessionCore).
class DiscSession : public DbCore::SessionCore {
 public:
  static std::unique_ptr<DbCore::SessionCore> Create(const std::vector<unsigned char>& rawToc);

  std::vector<DbCore::MatchRecord> FindMatches(DbCore::DiscRecord& lookedUp) override;
  DbCore::DiscRecord FetchDisc(const std::wstring& category, uint32_t discId,
                               int32_t marker) override;
  bool Submit(int32_t revision) override;

  // The cached disc as the one match, taken over into the session.
  std::vector<DbCore::MatchRecord> QueryCache();
  // What the session holds, as a looked-up disc.
  DbCore::DiscRecord MakeRecord() const;
  bool StoreInCache();

 private:
  explicit DiscSession(const std::vector<unsigned char>& rawToc);

  std::wstring source_ = L"Vondrel";
  std::wstring cachePath_;
};

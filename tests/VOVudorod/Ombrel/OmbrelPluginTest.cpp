// The online plug-in loaded by path and driven as the program drives it, over
// the local disc cache (the stand-in JET provider) and the local CDDB server.
#include <gtest/gtest.h>

#include <algorithm>

#include "VOVudorod/cache/DiscCache.h"
#include "VOVudorod/core/Toc.h"
#include "tests/VOVudorod/Ombrel/OmbrelHost.h"

namespace {

const uint32_t kDiscId = 0x0b014802;

class Ombrel : public OmbrelHostTest {};

// A fresh machine: the first disc read online makes the cache file.
TEST_F(Ombrel, LookupGoesOnlineOnceThenComesFromTheCache) {
  CddbServer server(Script(kEntry));
  ASSERT_TRUE(server.started());

  DbSessionHandle first = Open();
  const auto matches = host_->QueryAll(first);
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(L"Album", matches[0].title);
  EXPECT_EQ(L" Artist", matches[0].artist);
  EXPECT_EQ(L"rock", matches[0].category);
  EXPECT_EQ(kDiscId, matches[0].discId);
  EXPECT_EQ(0, matches[0].marker);
  const PluginHost::Disc online =
      host_->LookupAll(first, matches[0].category.c_str(), matches[0].discId, matches[0].marker);
  host_->closeSession(first);
  EXPECT_TRUE(CacheFiles::HasCreatedSchema(CacheFiles::ReadBytes(cache_)));
  EXPECT_EQ(L"cddb1.velmora.net", online.source);
  EXPECT_EQ(kDiscId, online.discId);
  EXPECT_EQ(7, online.revision);
  const DbCore::TocHash hash = DbCore::HashToc(Tocs::TwoTracks());
  EXPECT_TRUE(std::equal(hash.begin(), hash.end(), online.tocHash));
  ASSERT_EQ(3u, online.entries.size());
  EXPECT_EQ(L"Guest", online.entries[2].artist);
  EXPECT_EQ(L"Duet", online.entries[2].title);
  EXPECT_EQ(L"Pop", online.entries[2].genre);
  EXPECT_EQ(1999, online.entries[2].year);
  ASSERT_EQ(2u, server.Requests().size());
  EXPECT_EQ("query", server.Requests()[0].kind);
  EXPECT_EQ("read", server.Requests()[1].kind);

  // The next session, with the library loaded anew, finds the disc in the cache.
  Load();
  DbSessionHandle next = Open();
  const auto cached = host_->QueryAll(next);
  ASSERT_EQ(1u, cached.size());
  EXPECT_EQ(L"Album", cached[0].title);
  EXPECT_EQ(L"Artist", cached[0].artist);
  EXPECT_EQ(L"rock", cached[0].category);
  EXPECT_EQ(kDiscId, cached[0].discId);
  EXPECT_EQ(0xFFFF, cached[0].marker);
  // whatever it is asked for, Lookup answers with the cached disc
  const PluginHost::Disc disc = host_->LookupAll(next, L"jazz", 0x12345678, 1);
  host_->closeSession(next);
  EXPECT_EQ(L"cddb1.velmora.net", disc.source);
  EXPECT_EQ(7, disc.revision);
  ASSERT_EQ(3u, disc.entries.size());
  EXPECT_EQ(L"Artist", disc.entries[0].artist);
  EXPECT_EQ(L"Album", disc.entries[0].title);
  EXPECT_EQ(L"rock", disc.entries[0].genre);  // the cache keeps the category as the disc's genre
  EXPECT_EQ(L"Song", disc.entries[1].title);
  EXPECT_EQ(L"Pop", disc.entries[1].genre);
  EXPECT_EQ(L"Guest", disc.entries[2].artist);
  EXPECT_EQ(1999, disc.entries[2].year);
  EXPECT_EQ(2u, server.Requests().size());  // nothing more went online
}

TEST_F(Ombrel, LookupWithoutEntriesIsNotCachedAndAsksAgain) {
  CacheFiles::Write(cache_);
  CddbServer server(Script(kEntry));
  ASSERT_TRUE(server.started());
  DbSessionHandle s = Open();
  ASSERT_EQ(1u, host_->QueryAll(s).size());
  EXPECT_TRUE(host_->LookupAll(s, L"jazz", kDiscId, 0).entries.empty());  // 401
  EXPECT_TRUE(host_->LookupAll(s, L"jazz", kDiscId, 0).entries.empty());
  host_->closeSession(s);
  EXPECT_EQ(std::string(CacheFiles::kSchema), CacheFiles::ReadBytes(cache_));
  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_EQ("cddb read jazz 0b014802", requests[1].detail);
  EXPECT_EQ("cddb read jazz 0b014802", requests[2].detail);
}

TEST_F(Ombrel, IncompleteCachedDiscIsReadOnline) {
  // The disc row and its first track, but no row for track 2.
  const std::string hex = DbCache::HashToHex(DbCore::HashToc(Tocs::TwoTracks()));
  const std::wstring hash(hex.begin(), hex.end());
  CacheFiles::Write(
      cache_, CacheFiles::DiscRow(kDiscId, hash, L"misc", L"old", L"Stale", L"Cached", 36161.5, 1) +
                  CacheFiles::TrackRow(kDiscId, 1, L"Stale song", L"Stale", L"", 0));
  const std::string before = CacheFiles::ReadBytes(cache_);
  CddbServer server(Script(kEntry));
  ASSERT_TRUE(server.started());
  DbSessionHandle s = Open();
  const auto matches = host_->QueryAll(s);
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(0, matches[0].marker);
  const PluginHost::Disc disc = host_->LookupAll(s, L"rock", kDiscId, 0);
  host_->closeSession(s);
  // the disc read online is added to the file as it was
  const std::string after = CacheFiles::ReadBytes(cache_);
  EXPECT_EQ(before, after.substr(0, before.size()));
  EXPECT_NE(std::string::npos, after.find("\tAlbum\t", before.size()));
  EXPECT_EQ(L"cddb1.velmora.net", disc.source);
  ASSERT_EQ(3u, disc.entries.size());
  EXPECT_EQ(L"Album", disc.entries[0].title);
  EXPECT_EQ(L"Song", disc.entries[1].title);
}

TEST_F(Ombrel, NoCacheAndNoNetworkGiveNothing) {
  // No cache file, and every default server out of reach.
  CddbServer server(Script(kEntry, R"("cddb1.velmora.net": {"mode": "close"},
      "cddb2.velmora.net": {"mode": "close"}, "cddb3.velmora.net": {"mode": "close"})"));
  ASSERT_TRUE(server.started());
  DbSessionHandle s = Open();
  EXPECT_TRUE(host_->QueryAll(s).empty());
  EXPECT_TRUE(host_->QueryAll(s).empty());
  // the cache's marker on a session without a cached disc reads nothing
  EXPECT_TRUE(host_->LookupAll(s, L"rock", kDiscId, 0xFFFF).entries.empty());
  host_->closeSession(s);
  EXPECT_EQ(6u, server.Requests().size());
}

TEST_F(Ombrel, SubmissionCarriesTheStoredAddress) {
  CddbServer server(Script(""));
  ASSERT_TRUE(server.started());
  EXPECT_EQ(0x1Bu, host_->getConfiguration());

  DbSessionHandle s = Open();
  SetTexts(s);
  EXPECT_EQ(0x1Bu, host_->getConfiguration());
  EXPECT_EQ(0, host_->submit(s, 4));
  host_->closeSession(s);

  StoreSetting(app_, L"email", L"fan@example.org");
  Load();
  s = Open();
  EXPECT_EQ(0x1Fu, host_->getConfiguration());
  SetTexts(s);
  EXPECT_EQ(0, host_->submit(s, -1));
  // incomplete texts are not sent
  host_->SetEntry(s, 2, {L"Guest", L"", L"", L"", 0});
  EXPECT_EQ(1, host_->submit(s, -1));
  host_->closeSession(s);

  const auto requests = server.Requests();
  ASSERT_EQ(6u, requests.size());
  for (const auto& r : requests) EXPECT_EQ("ok", r.detail);
  EXPECT_NE(std::string::npos,
            server.SubmissionHeaders(1).find("User-Email: tavrin-submit@velmora.net\n"));
  EXPECT_NE(std::string::npos, server.SubmissionBody(1).find("\n# Revision: 4\n"));
  EXPECT_NE(std::string::npos, server.SubmissionHeaders(4).find("User-Email: fan@example.org\n"));
  EXPECT_EQ(std::string::npos, server.SubmissionBody(4).find("Revision"));
}

TEST_F(Ombrel, WithoutAnApplicationNameTheSettingsAreOmbrels) {
  const std::wstring file = SettingsFileOf(L"Ombrel");
  DeleteFileW(file.c_str());
  StoreSetting(L"Ombrel", L"email", L"plugin@example.org");
  DbSessionHandle s = host_->createSession(nullptr, Tocs::TwoTracks().data());
  EXPECT_EQ(0x1Fu, host_->getConfiguration());
  host_->closeSession(s);
  host_.reset();
  DeleteFileW(file.c_str());
}

}  // namespace

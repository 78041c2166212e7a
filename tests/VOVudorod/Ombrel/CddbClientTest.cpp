// The online client against the local CDDB server, reached as the HTTP proxy
// for the three default servers.
#include <gtest/gtest.h>

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "common/Utf8.h"
#include "tests/VOVudorod/Ombrel/CddbServer.h"
#include "tests/VOVudorod/Ombrel/ExampleDisc.h"

namespace {

const std::string kHost1 = "cddb1.velmora.net";
const std::string kHost2 = "cddb2.velmora.net";
const std::string kHost3 = "cddb3.velmora.net";

// The disc of the examples: tracks at 0:02:00 and 3:00:00, lead-out at 5:30:00.
const char kTwoTrackEntry[] = R"({"category": "rock", "discid": "0b014802",
    "dtitle": "Artist / Album", "ttitles": ["Song", "Guest / Duet"],
    "year": 1999, "genre": "Pop", "revision": 7})";

std::string Script(const std::string& hosts, const std::string& entries) {
  return "{\"hosts\": {" + hosts + "}, \"entries\": [" + entries + "]}";
}

TEST(CddbClient, ExactMatchThenReadOfTheEntry) {
  CddbServer server(Script("", kTwoTrackEntry));
  ASSERT_TRUE(server.started());
  auto session = TwoTrackSession();

  const auto matches = session->QueryMatches();
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(L"rock", matches[0].category);
  EXPECT_EQ(0x0b014802u, matches[0].discId);
  EXPECT_EQ(L" Artist", matches[0].artist);
  EXPECT_EQ(L"Album", matches[0].title);
  EXPECT_EQ(0, matches[0].marker);
  EXPECT_EQ(0u, session->serverIndex());

  const DbCore::DiscRecord disc = session->ReadDisc(L"rock", 0x0b014802, 0);
  ASSERT_EQ(3u, disc.entries.size());
  EXPECT_EQ(L"cddb1.velmora.net", disc.source);
  EXPECT_EQ(7, disc.revision);
  EXPECT_EQ(L"rock", disc.category);
  EXPECT_EQ(0x0b014802u, disc.discId);
  EXPECT_EQ(session->tocHash(), disc.tocHash);
  EXPECT_EQ(L"Artist", disc.entries[0].artist);
  EXPECT_EQ(L"Album", disc.entries[0].title);
  EXPECT_EQ(L"Artist", disc.entries[1].artist);
  EXPECT_EQ(L"Song", disc.entries[1].title);
  EXPECT_EQ(L"Guest", disc.entries[2].artist);
  EXPECT_EQ(L"Duet", disc.entries[2].title);
  for (const auto& e : disc.entries) {
    EXPECT_EQ(L"Pop", e.genre);
    EXPECT_EQ(1999, e.year);
  }

  // Both went as level-6 commands in HTTP/1.0 POSTs to the query path.
  const auto requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  for (const auto& r : requests) {
    EXPECT_EQ(kHost1, r.host);
    EXPECT_EQ("POST", r.method);
    EXPECT_EQ("/~cddb/cddb.cgi", r.path);
    EXPECT_EQ("HTTP/1.0", r.version);
    EXPECT_EQ("Velmora Ombrel Access/1.0", r.agent);
    EXPECT_EQ("TAVRIN-User TAVRIN-System Velmora-TAVRIN 1.0.117.0 proto 6", r.hello);
  }
  EXPECT_EQ("cddb query 0b014802 2 150 13500 330", requests[0].detail);
  EXPECT_EQ("cddb read rock 0b014802", requests[1].detail);
}

TEST(CddbClient, SeveralAndInexactMatches) {
  // Three entries of the same id: two with one title (the rock one preferred).
  const std::string sameId =
      R"({"category": "jazz", "discid": "0b014802", "dtitle": "Ann / Kind of Blue"},
         {"category": "rock", "discid": "0b014802", "dtitle": "Bob / KIND OF BLUE!"},
         {"category": "misc", "discid": "0b014802", "dtitle": "Cat / Other"})";
  // Two discs of two tracks and about the same length, but another id.
  const std::string nearby =
      R"({"category": "folk", "discid": "05014a02", "dtitle": "Dee / Near One"},
         {"category": "blues", "discid": "07014602", "dtitle": "Eve / Near Two"})";
  struct {
    std::string entries;
    std::vector<std::pair<std::wstring, std::wstring>> matches;  // category, title
  } const cases[] = {
      {sameId, {{L"rock", L"KIND OF BLUE!"}}},
      {nearby, {{L"folk", L"Near One"}, {L"blues", L"Near Two"}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    CddbServer server(Script("", c.entries));
    ASSERT_TRUE(server.started());
    auto session = TwoTrackSession();
    const auto matches = session->QueryMatches();
    ASSERT_EQ(c.matches.size(), matches.size()) << c.entries;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      EXPECT_EQ(c.matches[i].first, matches[i].category);
      EXPECT_EQ(c.matches[i].second, matches[i].title);
    }
    // An answer, even "no match", ends the query at the first server.
    EXPECT_EQ(std::vector<std::string>{kHost1}, server.Hosts());
    EXPECT_EQ(0u, session->serverIndex());
  }
}

TEST(CddbClient, FailingServersFallThroughToTheNext) {
  struct {
    const char* name;
    std::string hosts;
    std::vector<std::string> asked;
    std::size_t matches;
    std::size_t serverIndex;  // where the query ended
  } const cases[] = {
      {"first closes without a reply",
       "\"" + kHost1 + "\": {\"mode\": \"close\"}",
       {kHost1, kHost2},
       1,
       1},
      {"first two close or reply empty",
       "\"" + kHost1 + "\": {\"mode\": \"close\"}, \"" + kHost2 + "\": {\"mode\": \"empty\"}",
       {kHost1, kHost2, kHost3},
       1,
       2},
      {"an error page is a reply: the query stops there",
       "\"" + kHost1 + "\": {\"mode\": \"close\"}, \"" + kHost2 + "\": {\"mode\": \"error_page\"}",
       {kHost1, kHost2},
       0,
       1},
      {"all three fail",
       "\"" + kHost1 + "\": {\"mode\": \"close\"}, \"" + kHost2 + "\": {\"mode\": \"close\"}, \"" +
           kHost3 + "\": {\"mode\": \"empty\"}",
       {kHost1, kHost2, kHost3},
       0,
       3},
  };
  for (const auto& c : cases) {
    CddbServer server(Script(c.hosts, kTwoTrackEntry));
    ASSERT_TRUE(server.started());
    auto session = TwoTrackSession();
    const auto matches = session->QueryMatches();
    EXPECT_EQ(c.asked, server.Hosts()) << c.name;
    ASSERT_EQ(c.matches, matches.size()) << c.name;
    if (c.matches) {
      EXPECT_EQ(static_cast<int32_t>(c.asked.size() - 1), matches[0].marker);
    }
    EXPECT_EQ(c.serverIndex, session->serverIndex()) << c.name;
  }
}

TEST(CddbClient, ReadGoesToTheMarkersServerOnly) {
  CddbServer server(Script("\"" + kHost2 + "\": {\"mode\": \"close\"}", kTwoTrackEntry));
  ASSERT_TRUE(server.started());
  auto session = TwoTrackSession();

  const DbCore::DiscRecord third = session->ReadDisc(L"rock", 0x0b014802, 2);
  EXPECT_EQ(3u, third.entries.size());
  EXPECT_EQ(L"cddb3.velmora.net", third.source);
  // A server that fails is not replaced by another, an unknown entry has no
  // texts, and a marker that names no server (the cache's) asks nobody.
  EXPECT_TRUE(session->ReadDisc(L"rock", 0x0b014802, 1).entries.empty());
  EXPECT_TRUE(session->ReadDisc(L"jazz", 0x0b014802, 0).entries.empty());
  EXPECT_TRUE(session->ReadDisc(L"rock", 0x0b014802, Cddb::kCacheMarker).entries.empty());
  EXPECT_TRUE(session->ReadDisc(L"rock", 0x0b014802, -1).entries.empty());
  ASSERT_EQ((std::vector<std::string>{kHost3, kHost2, kHost1}), server.Hosts());
  EXPECT_EQ("cddb read jazz 0b014802", server.Requests()[2].detail);
}

TEST(CddbClient, TextsInEveryCharsetAndLongTitles) {
  // Cyrillic, Japanese and a letter beyond U+FFFF, wrapped over several lines.
  const std::string entry =
      u8R"({"category": "misc", "discid": "0b014802", "wrap": 7,
      "dtitle": "Кино / Группа крови", "ttitles": ["東京の夜 𝄞 part one and part two", "Björk / Jóga"],
      "genre": "Rock"})";
  const std::wstring cyrillicArtist = L"\x041a\x0438\x043d\x043e";
  const std::wstring tokyo = L"\x6771\x4eac\x306e\x591c \xd834\xdd1e part one and part two";
  for (const char* charset : {"\"utf-8\"", "null"}) {
    CddbServer server(Script("\"" + kHost1 + "\": {\"charset\": " + charset + "}", entry));
    ASSERT_TRUE(server.started());
    const DbCore::DiscRecord disc = TwoTrackSession()->ReadDisc(L"misc", 0x0b014802, 0);
    ASSERT_EQ(3u, disc.entries.size()) << charset;
    EXPECT_EQ(cyrillicArtist, disc.entries[0].artist) << charset;
    EXPECT_EQ(L"\x0413\x0440\x0443\x043f\x043f\x0430 \x043a\x0440\x043e\x0432\x0438",
              disc.entries[0].title);
    EXPECT_EQ(cyrillicArtist, disc.entries[1].artist);
    EXPECT_EQ(tokyo, disc.entries[1].title);
    EXPECT_EQ(L"Bj\x00f6rk", disc.entries[2].artist);
    EXPECT_EQ(L"J\x00f3ga", disc.entries[2].title);
  }
  // A server that declares ISO-8859-1 is read in it.
  const std::string latin =
      u8R"({"category": "misc", "discid": "0b014802",
      "dtitle": "Björk / Début", "ttitles": ["Human Behaviour", "Crying"]})";
  CddbServer server(Script("\"" + kHost1 + "\": {\"charset\": \"iso-8859-1\"}", latin));
  ASSERT_TRUE(server.started());
  auto session = TwoTrackSession();
  const auto matches = session->QueryMatches();
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(
      L"D\x00e9"
      L"but",
      matches[0].title);
  const DbCore::DiscRecord disc = session->ReadDisc(L"misc", 0x0b014802, 0);
  ASSERT_EQ(3u, disc.entries.size());
  EXPECT_EQ(L"Bj\x00f6rk", disc.entries[2].artist);
}

std::unique_ptr<CddbSession> FilledSession(const std::wstring& album = L"Album") {
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"Artist", album);
  return session;
}

TEST(CddbClient, SubmissionReachesEveryServerInXmcdForm) {
  CddbServer server(Script("", ""));
  ASSERT_TRUE(server.started());
  auto session = FilledSession(L"Caf\x00e9 \x6771\x4eac");
  session->SetArtist(0, L"");
  session->SetSubmitterEmail(L"someone@example.org");
  EXPECT_TRUE(session->SubmitDisc(3));
  EXPECT_EQ(3u, session->serverIndex());

  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  const std::string body =
      u8"# xmcd\n# Track frame offsets:\n# 150\n# 13500\n#\n# Disc length: 330 seconds\n"
      u8"# Revision: 3\n# Submitted via: Velmora-TAVRIN 1.0.117.0\nDISCID=0b014802\n"
      u8"DTITLE=various / Café 東京\nDYEAR=1999\nDGENRE=rock\nTTITLE0=Artist / Song\n"
      u8"TTITLE1=Guest / Duet\nEXTD=\nEXTT0=\nEXTT1=\nPLAYORDER=\n";
  const std::string headers =
      "Category: rock\nDiscid: 0b014802\nUser-Email: someone@example.org\nSubmit-Mode: submit\n"
      "Charset: utf-8\nX-Cddbd-Note: TAVRIN submitted the following data...\nContent-Length: " +
      std::to_string(body.size()) + "\n";
  const std::string hosts[] = {kHost1, kHost2, kHost3};
  for (int n = 1; n <= 3; ++n) {
    const auto& r = requests[n - 1];
    EXPECT_EQ(hosts[n - 1], r.host);
    EXPECT_EQ("POST", r.method);
    EXPECT_EQ("/~cddb/submit.cgi", r.path);
    EXPECT_EQ("submit", r.kind);
    EXPECT_EQ("ok", r.detail);  // the server's own check of the entry
    EXPECT_EQ(headers, server.SubmissionHeaders(n));
    EXPECT_EQ(body, server.SubmissionBody(n));
  }
  // The entry as a file of libcddb's local cache, <out>\<category>\<disc id>,
  // for the host's check with libcddb's parser.
  wchar_t out[MAX_PATH];
  if (GetEnvironmentVariableW(L"TAVRIN_XMCD_OUT", out, MAX_PATH)) {
    const std::wstring folder = std::wstring(out) + L"\\rock";
    CreateDirectoryW(out, nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::ofstream entry((folder + L"\\0b014802").c_str(), std::ios::binary | std::ios::trunc);
    entry << server.SubmissionBody(1);
    EXPECT_TRUE(entry.good());
  }
}

TEST(CddbClient, SubmissionIsJudgedByTheServersReplies) {
  struct {
    const char* modes[3];
    bool accepted;
  } const cases[] = {
      {{"accept", "accept", "accept"}, true},
      // taken by the first two; the third is out of reach
      {{"accept", "accept", "close"}, true},
      {{"close", "close", "accept"}, true},
      {{"reject", "reject", "reject"}, false},
      {{"close", "reject", "close"}, false},
  };
  for (const auto& c : cases) {
    std::string hosts;
    const std::string names[] = {kHost1, kHost2, kHost3};
    for (int i = 0; i < 3; ++i)
      hosts += (i ? ", \"" : "\"") + names[i] + "\": {\"submit\": \"" + c.modes[i] + "\"}";
    CddbServer server(Script(hosts, ""));
    ASSERT_TRUE(server.started());
    EXPECT_EQ(c.accepted, FilledSession()->SubmitDisc(-1))
        << c.modes[0] << " " << c.modes[1] << " " << c.modes[2];
    EXPECT_EQ(3u, server.Requests().size());
  }

  // Incomplete texts are not sent at all.
  CddbServer server(Script("", ""));
  ASSERT_TRUE(server.started());
  auto session = FilledSession(L"");
  EXPECT_FALSE(session->SubmitDisc(-1));
  EXPECT_TRUE(server.Requests().empty());
}

}  // namespace

// Plug-in sessions as the wizard opens them: the scripted plug-in shows what
// crosses the boundary and in which order; the real plug-ins are bound and
// driven end to end over the stand-in cache.
#include <gtest/gtest.h>
#include <windows.h>
#include <objbase.h>

#include <algorithm>

#include "tests/VOVudorod/CacheFiles.h"
#include "tests/VOVudorod/Ombrel/CddbServer.h"
#include "tests/VOVudorod/Tocs.h"
#include "tests/wizard/dbhost/LookupThreadTest.h"
#include "tests/support/vdrive/VirtualDisc.h"
#include "tests/wizard/dbhost/ScriptedDb.h"
#include "wizard/dbhost/VOVudoroDession.h"

namespace {

// A disc of the given number of tracks as a drive delivers its TOC.
std::vector<unsigned char> Toc(int tracks, int first = 1) {
  VirtualDisc::Drive drive;
  drive.firstTrack = first;
  for (int i = 0; i < tracks; ++i) drive.tracks.push_back({i * 15000, false, 0});
  drive.leadOut = tracks * 15000;
  return VirtualDisc::TocReply(drive);
}

std::unique_ptr<VOVudoroDession> Open(const std::wstring& file, int tracks = 3) {
  return VOVudoroDession::Create(nullptr, true, file, Toc(tracks));
}

TEST(PluginSession, QueriesEachMatchTwiceAndStopsAtThePluginsCount) {
  ScriptedDb db;
  db.Script(
      "disc 3\nmatch First|Artist A|rock|0b014802|0\nmatch Second|Artist B|jazz|0b014803|1\n"
      "match Dritte Ä|Künstler|misc|ffffffff|65535\n");
  std::vector<DiscMatch> matches = Open(L"Scripted.dll")->QueryMatches();
  ASSERT_EQ(3u, matches.size());
  EXPECT_EQ(L"Second", matches[1].title);
  EXPECT_EQ(L"Artist B", matches[1].artist);
  EXPECT_EQ(L"jazz", matches[1].category);
  EXPECT_EQ(0x0b014803u, matches[1].discId);
  EXPECT_EQ(1, matches[1].marker);
  EXPECT_EQ(L"Dritte \u00c4", matches[2].title);
  EXPECT_EQ(65535, matches[2].marker);
  // Sizes first (capacity 0), then texts, never past the count.
  EXPECT_EQ((std::vector<std::string>{"Query 0 0", "Query 0 6", "Query 1 0", "Query 1 7",
                                      "Query 2 0", "Query 2 9"}),
            db.Texts("Query"));

  db.Script("disc 3\n");
  db.ClearLog();
  EXPECT_TRUE(Open(L"Scripted.dll")->QueryMatches().empty());
  EXPECT_EQ(std::vector<std::string>{"Query 0 0"}, db.Texts("Query"));
}

TEST(PluginSession, LookupTakesTheDiscsIdentityFromTheFirstEntryAndKeepsTheGivenCategory) {
  ScriptedDb db;
  std::string script = "disc 12\nsource freedb\nrevision 4\nentry Band|Album|Rock|notes|1999\n";
  for (int n = 1; n <= 12; ++n)
    script += "entry Band|Song " + std::to_string(n) + "|Rock||" + std::to_string(1990 + n) + "\n";
  db.Script(script);
  auto session = Open(L"Scripted.dll", 12);
  const DiscInfo disc = session->LookupDisc(L"blues", 0x0b014802, 2);
  ASSERT_EQ(13u, disc.tracks.size());
  EXPECT_EQ(L"blues", disc.category);
  EXPECT_EQ(L"freedb", disc.source);
  EXPECT_EQ(4, disc.revision);
  EXPECT_EQ(static_cast<int32_t>(0x0b014802u ^ 0xFFFFFFFFu), disc.discId);
  EXPECT_EQ(1, disc.tocHash[0]);
  EXPECT_EQ(20, disc.tocHash[19]);
  EXPECT_EQ(L"Album", disc.tracks[0].title);
  EXPECT_EQ(L"notes", disc.tracks[0].extendedText);
  EXPECT_EQ(L"Song 12", disc.tracks[12].title);
  EXPECT_EQ(2002, disc.tracks[12].year);
  const std::vector<std::string> lookups = db.Texts("Lookup");
  ASSERT_EQ(26u, lookups.size());
  EXPECT_EQ("Lookup blues 0b014802 2 0", lookups[0]);
  EXPECT_EQ("Lookup blues 0b014802 2 12", lookups[25]);
}

TEST(PluginSession, AMissingLibraryOrExportGivesAnUnboundSessionThatFindsAndSubmitsNothing) {
  ScriptedDb db;
  db.Script("disc 3\nmatch T|A|rock|1|0\nentry A|T|rock||0\n");
  for (const wchar_t* file : {L"NoSetGenre.dll", L"Missing.dll"}) {
    auto session = Open(file);
    EXPECT_FALSE(session->Bound());
    EXPECT_TRUE(session->QueryMatches().empty());
    const DiscInfo disc = session->LookupDisc(L"rock", 1, 0);
    EXPECT_TRUE(disc.tracks.empty());
    EXPECT_EQ(L"rock", disc.category);
    session->SetDiscTracks(L"rock", {{L"A", L"T", L"", L"", 0}});
    EXPECT_FALSE(session->SubmitDisc(-1));
  }
  // The library without SetGenre was loaded, refused and freed again at once.
  EXPECT_EQ((std::vector<std::string>{"attach", "detach"}), db.Texts());
}

TEST(PluginSession, ClosesThePluginSessionBeforeTheLibraryGoes) {
  ScriptedDb db;
  Open(L"Scripted.dll").reset();
  const std::vector<std::string> calls = db.Texts();
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ("attach", calls[0]);
  EXPECT_EQ(0u, calls[1].find("CreateSession TAVRIN "));
  EXPECT_EQ("CloseSession", calls[2]);
  EXPECT_EQ("detach", calls[3]);
}

TEST(PluginSession, ThePluginReadsAZeroPaddedTocWhateverTheDriveDelivered) {
  ScriptedDb db;
  // Tracks 3 to 5: the drive's reply holds 36 bytes, the plug-in reads 52.
  const std::vector<unsigned char> toc = Toc(3, 3);
  ASSERT_EQ(36u, toc.size());
  VOVudoroDession::Create(nullptr, true, L"Scripted.dll", toc);
  const std::string created = db.Texts("CreateSession").at(0);
  const std::string bytes = created.substr(created.rfind(' ') + 1);
  ASSERT_EQ(52u * 2, bytes.size());
  std::string expected;
  for (unsigned char b : toc) {
    char hex[3];
    snprintf(hex, 3, "%02x", b);
    expected += hex;
  }
  EXPECT_EQ(expected + std::string(32, '0'), bytes);

  // Without a header there is nothing to look up: no plug-in is loaded.
  db.ClearLog();
  EXPECT_FALSE(VOVudoroDession::Create(nullptr, true, L"Scripted.dll", {0, 2, 1})->Bound());
  EXPECT_TRUE(db.Texts().empty());
}

TEST(PluginSession, SubmitsEveryEntryThenAsksThePluginThenSends) {
  struct Case {
    const char* script;
    bool result;
    bool submitted;
  } cases[] = {
      {"configure 0\nsubmit 0\n", true, true},
      {"configure 0\nsubmit 1\n", false, true},
      {"configure 1\nsubmit 0\n", true, false},  // declined in the plug-in's dialog
  };
  for (const Case& c : cases) {
    ScriptedDb db;
    db.Script(c.script);
    auto session =
        VOVudoroDession::Create(reinterpret_cast<HWND>(1), true, L"Scripted.dll", Toc(2));
    session->SetDiscTracks(L"folk", {{L"Band", L"Album", L"", L"dropped?", 2001},
                                     {L"Band", L"One", L"rock", L"", 2001},
                                     {L"", L"", L"", L"", 0}});
    EXPECT_EQ(c.result, session->SubmitDisc(5)) << c.script;
    std::vector<std::string> expected = {"SetTrackInfo 0 Band|Album|folk|dropped?|2001",
                                         "SetTrackInfo 1 Band|One|folk||2001",
                                         "SetTrackInfo 2 ||folk||0", "Configure 0 1 window"};
    if (c.submitted) expected.push_back("Submit 5");
    std::vector<std::string> calls = db.Texts();
    calls.erase(std::remove_if(calls.begin(), calls.end(),
                               [](const std::string& s) {
                                 return s == "attach" || s.rfind("CreateSession", 0) == 0;
                               }),
                calls.end());
    EXPECT_EQ(expected, calls) << c.script;
  }
}

// The real plug-ins, loaded from the program's folder.
class RealPlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", dir_.path().c_str());
    CacheFiles::Write(dir_ / L"TAVRIN.mdb");
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", nullptr);
    CoUninitialize();
  }
  TempDir dir_;
};

TEST_F(RealPlugin, TextsSubmittedToTheLocalPluginAreFoundByBothPlugins) {
  const std::vector<unsigned char> toc = Toc(2);
  const std::vector<TrackText> texts = {{L"Sigur Rós", L"Ágætis byrjun", L"", L"", 1999},
                                        {L"Sigur Rós", L"Svefn-g-englar", L"", L"", 1999},
                                        {L"Sigur Rós", L"Starálfur", L"", L"", 1999}};
  {
    auto local = VOVudoroDession::Create(nullptr, false, L"", toc);
    ASSERT_TRUE(local->Bound());
    EXPECT_TRUE(local->QueryMatches().empty());
    local->SetDiscTracks(L"rock", texts);
    ASSERT_TRUE(local->SubmitDisc(-1));
  }
  for (bool online : {false, true}) {
    auto session = VOVudoroDession::Create(nullptr, online, L"", toc);
    ASSERT_TRUE(session->Bound()) << online;
    const std::vector<DiscMatch> matches = session->QueryMatches();
    ASSERT_EQ(1u, matches.size()) << online;
    EXPECT_EQ(L"Ágætis byrjun", matches[0].title);
    EXPECT_EQ(L"Sigur Rós", matches[0].artist);
    const DiscInfo disc =
        session->LookupDisc(matches[0].category, matches[0].discId, matches[0].marker);
    ASSERT_EQ(3u, disc.tracks.size()) << online;
    EXPECT_EQ(L"Starálfur", disc.tracks[2].title);
    EXPECT_EQ(L"rock", disc.tracks[2].genre);
    EXPECT_EQ(1999, disc.tracks[2].year);
    EXPECT_EQ(static_cast<int32_t>(matches[0].discId), disc.discId);
  }
}

// The lookup thread over the real online plug-in and the local CDDB server.
class OnlineLookup : public LookupThreadTest {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", dir_.path().c_str());
    CacheFiles::Write(dir_ / L"TAVRIN.mdb");
    LookupThreadTest::SetUp();
  }
  void TearDown() override {
    LookupThreadTest::TearDown();
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", nullptr);
    CoUninitialize();
  }
  TempDir dir_;
};

TEST_F(OnlineLookup, SeveralOnlineMatchesWaitForTheChoiceAndTheChosenOneIsRead) {
  CddbServer server(R"({"hosts": {}, "entries": [
      {"category": "rock", "discid": "0b014802", "dtitle": "Artist / Album",
       "ttitles": ["Song", "Guest / Duet"], "year": 1999, "genre": "Pop", "revision": 7},
      {"category": "jazz", "discid": "0b014802", "dtitle": "Other / Record",
       "ttitles": ["One", "Two"], "year": 2001, "genre": "Jazz", "revision": 2}]})");
  ASSERT_TRUE(server.started());
  Insert(4, Tocs::TwoTracks());
  Queue(4);
  ASSERT_EQ(LOOKUP_CHOOSE, Next());
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    const DiscLookup::Entry pending = lookup_.Pending();
    ASSERT_TRUE(pending);
    ASSERT_EQ(2u, pending->matches.size());
    EXPECT_EQ(L"Album", pending->matches[0].title);
    EXPECT_EQ(L"Record", pending->matches[1].title);
    EXPECT_EQ(L"jazz", pending->matches[1].category);
    lookup_.Choose(pending, 1);
  }
  ASSERT_EQ(LOOKUP_DONE, Next());
  const DiscInfo disc = Entry(4)->disc;
  ASSERT_EQ(3u, disc.tracks.size());
  EXPECT_EQ(L"Other", disc.tracks[0].artist);
  EXPECT_EQ(L"Record", disc.tracks[0].title);
  EXPECT_EQ(L"Two", disc.tracks[2].title);
  EXPECT_EQ(2001, disc.tracks[2].year);
  EXPECT_EQ(2, disc.revision);
  EXPECT_EQ(L"jazz", disc.category);
  const std::vector<CddbServer::Request> requests = server.Requests();
  ASSERT_EQ(2u, requests.size());
  EXPECT_EQ("query", requests[0].kind);
  EXPECT_EQ("read", requests[1].kind);
  EXPECT_NE(std::string::npos, requests[1].detail.find("jazz"));
}

}  // namespace

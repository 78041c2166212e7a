// The online client's texts: commands, replies and the submission, without network.
#include <windows.h>
#include <gtest/gtest.h>

#include <fstream>

#include "VOVudorod/Ombrel/CddbReplies.h"
#include "VOVudorod/Ombrel/CddbText.h"
#include "tests/VOVudorod/Ombrel/ExampleDisc.h"

namespace {

using Cddb::ParseQueryReply;
using Cddb::ParseReadReply;

TEST(CddbText, Helpers) {
  EXPECT_EQ(L"a%20b%2fc", Cddb::UrlEscape(L"a b/c"));
  EXPECT_EQ(L"%2b%26%3a%3c%3e%25%2a%7c%5c%22x-y.z", Cddb::UrlEscape(L"+&:<>%*|\\\"x-y.z"));
  EXPECT_EQ(L"0b014802", Cddb::HexId(0x0b014802));
  EXPECT_EQ(L"", Cddb::TrimBlanks(L"   "));
  EXPECT_EQ(L"a b", Cddb::TrimBlanks(L"  a b "));
  EXPECT_EQ(L"\ta", Cddb::TrimBlanks(L"\ta"));  // blanks only
  EXPECT_EQ(L"x = y", Cddb::XmcdValue(L"KEY= x = y "));
  EXPECT_EQ(L"", Cddb::XmcdValue(L"KEY"));

  EXPECT_EQ((std::vector<std::wstring>{L"200 a", L" b", L"c"}),
            Cddb::SplitReplyLines(L"\r\n200 a\r\n\r\n b\n\x01\tc"));
  EXPECT_EQ((std::vector<std::wstring>{L"210 x", L"y"}),
            Cddb::SplitReplyLines(L"210 x\ny\n.\nnot taken\n"));

  EXPECT_EQ(0, Cddb::CategoryScore(L"ROCK"));
  EXPECT_EQ(70, Cddb::CategoryScore(L"jazz"));
  EXPECT_EQ(1000, Cddb::CategoryScore(L"classical"));

  EXPECT_EQ(Cddb::kTrackTitle, Cddb::XmcdKeyword(L"TTITLE12=x"));
  EXPECT_EQ(Cddb::kTrackExtended, Cddb::XmcdKeyword(L"EXTT0="));
  EXPECT_EQ(Cddb::kNoKeyword, Cddb::XmcdKeyword(L"# DTITLE=x"));
}

TEST(CddbText, Commands) {
  auto session = TwoTrackSession();
  const std::wstring hello = L"&hello=TAVRIN-User+TAVRIN-System+Velmora-TAVRIN+1.0.117.0&proto=6";
  EXPECT_EQ(hello, session->HelloString());
  EXPECT_EQ(L"cmd=cddb+query+0b014802+2+150+13500+330" + hello + L"\n\n", session->QueryCommand());
  EXPECT_EQ(L"cmd=cddb+read+new%20age+0b014802" + hello,
            session->ReadCommand(L"new age", 0x0b014802));

  // A TOC that cannot be parsed gives a command without tracks, and no query.
  std::vector<unsigned char> broken = Tocs::TwoTracks();
  broken[2] = 2;
  auto empty = CddbSession::Create(broken);
  auto* cddb = static_cast<CddbSession*>(empty.get());
  EXPECT_EQ(L"cmd=cddb+query+00000000+0+0" + hello + L"\n\n", cddb->QueryCommand());
  EXPECT_TRUE(cddb->QueryMatches().empty());
}

struct QueryCase {
  const char* name;
  const wchar_t* reply;
  std::vector<DbCore::MatchRecord> matches;
};

TEST(CddbQueryReply, MatchesOfEachCode) {
  const QueryCase cases[] = {
      {"exact match keeps the blank after the id",
       L"200 rock 0b014802 Some Artist / Some Title\r\n",
       {{L"Some Title", L" Some Artist", L"rock", 0x0b014802, 2}}},
      {"a text without separator is the title",
       L"200 misc 0b014802 Just A Title",
       {{L" Just A Title", L"Various", L"misc", 0x0b014802, 2}}},
      {"nothing after the id", L"200 rock 0b014802", {{L"", L"Various", L"rock", 0x0b014802, 2}}},
      {"same titles merged into the preferred category, the others dropped",
       L"211 Found inexact matches\r\njazz 0b014802 Ann / Kind of Blue\r\n"
       L"rock 1a2b3c04 Bob / KIND OF BLUE!\r\nmisc 0b014803 Cat / Other\r\n.\r\n",
       {{L"KIND OF BLUE!", L" Bob", L"rock", 0x1a2b3c04, 2}}},
      {"different titles all stay in order",
       L"210 Found exact matches\nrock 0b014802 A / One\nfolk 0b014802 B / Two\n"
       L"jazz 0b014802 C / Three\n.\n",
       {{L"One", L" A", L"rock", 0x0b014802, 2},
        {L"Two", L" B", L"folk", 0x0b014802, 2},
        {L"Three", L" C", L"jazz", 0x0b014802, 2}}},
      {"lines without category and id are left out",
       L"210 Found exact matches\nrock\n\nsoundtrack zz\nblues ab A / B\n.\n",
       {{L"B", L" A", L"blues", 0xab, 2}}},
      {"letters beyond U+00FF count in the key as they are, digits and Latin-1 letters not",
       L"211 x\nrock 00000001 A / Caf\x00e9 2\nmisc 00000002 B / caf\n"
       L"folk 00000003 C / \x041c\x0438\x0440\nrock 00000004 D / \x041c\x0438\x0440!\n"
       L"jazz 00000005 E / \x041c\x0418\x0420\n.\n",
       {{L"Caf\x00e9 2", L" A", L"rock", 1, 2}, {L"\x041c\x0438\x0440!", L" D", L"rock", 4, 2}}},
      {"no match", L"202 No match for disc ID 0b014802.\r\n", {}},
      {"an error page", L"<html><body>500 Internal Server Error</body></html>", {}},
      {"an empty list", L"210 Found exact matches\n.\n", {}},
  };
  for (const QueryCase& c : cases) {
    const auto matches = ParseQueryReply(c.reply, 2);
    ASSERT_EQ(c.matches.size(), matches.size()) << c.name;
    for (std::size_t i = 0; i < matches.size(); ++i) {
      EXPECT_EQ(c.matches[i].title, matches[i].title) << c.name;
      EXPECT_EQ(c.matches[i].artist, matches[i].artist) << c.name;
      EXPECT_EQ(c.matches[i].category, matches[i].category) << c.name;
      EXPECT_EQ(c.matches[i].discId, matches[i].discId) << c.name;
      EXPECT_EQ(c.matches[i].marker, matches[i].marker) << c.name;
    }
  }
}

DbCore::DiscRecord Read(const std::wstring& reply, uint32_t discId = 0x0b014802) {
  DbCore::DiscRecord disc;
  disc.category = L"rock";
  disc.discId = discId;
  ParseReadReply(reply, disc);
  return disc;
}

TEST(CddbReadReply, EntryTextsGenreAndYear) {
  const DbCore::DiscRecord disc = Read(
      L"210 rock 0b014802 CD database entry follows\r\n# xmcd\r\n#\r\n"
      L"DTITLE=Artist / Album\r\nTTITLE0=Song\r\nTTITLE1=Guest / Duet\r\n"
      L"DYEAR=1999\r\nDGENRE=Pop\r\nEXTD=notes\r\n.\r\n");
  ASSERT_EQ(3u, disc.entries.size());
  const std::wstring texts[][2] = {
      {L"Artist", L"Album"}, {L"Artist", L"Song"}, {L"Guest", L"Duet"}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(texts[i][0], disc.entries[i].artist);
    EXPECT_EQ(texts[i][1], disc.entries[i].title);
    EXPECT_EQ(L"Pop", disc.entries[i].genre);
    EXPECT_EQ(1999, disc.entries[i].year);
    EXPECT_EQ(L"", disc.entries[i].extended);
  }
  EXPECT_EQ(-1, disc.revision);
}

TEST(CddbReadReply, DefaultsRevisionAndIgnoredLines) {
  DbCore::DiscRecord disc = Read(
      L"210 rock 00000203 x\n# Revision: 7\nDTITLE=Only A Title\nTTITLE5=beyond\n"
      L"TTITLEx=not a number\nTTITLE=no number\nTTITLE1=\nTTITLE0=  Padded  \n",
      0x00000203);
  ASSERT_EQ(4u, disc.entries.size());  // the low byte of the id, plus the disc
  EXPECT_EQ(7, disc.revision);
  EXPECT_EQ(L"Various", disc.entries[0].artist);
  EXPECT_EQ(L"Only A Title", disc.entries[0].title);
  EXPECT_EQ(L"Padded", disc.entries[1].title);
  EXPECT_EQ(L"Various", disc.entries[1].artist);
  EXPECT_EQ(L"", disc.entries[2].title);
  for (const auto& e : disc.entries) {
    EXPECT_EQ(L"rock", e.genre);  // the category without a DGENRE line
    EXPECT_EQ(0, e.year);
  }
  EXPECT_EQ(5, Read(L"210 rock 0b014802 x\n# Revision:five 5\n").revision);
  EXPECT_EQ(-1, Read(L"210 rock 0b014802 x\n# Revision: none\n").revision);
}

// An entry whose values go on over several lines; the host reads the same entry
// with libcddb's parser and compares (TAVRIN_XMCD_OUT).
TEST(CddbReadReply, ContinuedValuesAreJoined) {
  const std::wstring entry =
      L"# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t13500\n#\t20000\n#\n"
      L"# Disc length: 330 seconds\n# Revision: 2\nDISCID=0b014803\n"
      L"DTITLE=A Very Long Artist Name / A Lo\nDTITLE=ng Album\nDGENRE=Progressive Rock\n"
      L"TTITLE0=Part one\nTTITLE0= and two\nTTITLE1=Part one\nTTITLE1=Part two\n"
      L"TTITLE2=\x0413\x043e\x0441\x0442\x044c / \x0414\x0443\nTTITLE2=\x044d\x0442 "
      L"\x6771\x4eac\nEXTD=\nEXTT0=\nEXTT1=\nEXTT2=\nPLAYORDER=\n";
  const DbCore::DiscRecord disc =
      Read(L"210 rock 0b014803 x\n" + entry + L".\nTTITLE0=after the end\n", 0x0b014803);
  ASSERT_EQ(4u, disc.entries.size());
  EXPECT_EQ(2, disc.revision);
  EXPECT_EQ(L"A Very Long Artist Name", disc.entries[0].artist);
  EXPECT_EQ(L"A Long Album", disc.entries[0].title);
  EXPECT_EQ(L"Part one and two", disc.entries[1].title);
  EXPECT_EQ(L"A Very Long Artist Name", disc.entries[1].artist);
  EXPECT_EQ(L"Part onePart two", disc.entries[2].title);
  EXPECT_EQ(L"\x0413\x043e\x0441\x0442\x044c", disc.entries[3].artist);
  EXPECT_EQ(L"\x0414\x0443\x044d\x0442 \x6771\x4eac", disc.entries[3].title);
  EXPECT_EQ(L"Progressive Rock", disc.entries[2].genre);

  // A value broken where artist and title part is joined before it is parted;
  // of two genre lines the last counts.
  const DbCore::DiscRecord split = Read(
      L"210 rock 0b014802 x\nDTITLE=Artist Na\nDTITLE=me /\nDTITLE= Album\nDGENRE=Folk\n"
      L"DGENRE=Rock\n");
  ASSERT_EQ(3u, split.entries.size());
  EXPECT_EQ(L"Artist Name", split.entries[0].artist);
  EXPECT_EQ(L"Album", split.entries[0].title);
  EXPECT_EQ(L"Rock", split.entries[0].genre);

  // The entry as a file of libcddb's local cache, <out>\<category>\<disc id>,
  // and beside it what was read from it.
  wchar_t out[MAX_PATH];
  if (!GetEnvironmentVariableW(L"TAVRIN_XMCD_OUT", out, MAX_PATH)) return;
  const std::wstring folder = std::wstring(out) + L"\\misc";
  CreateDirectoryW(out, nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring parsed = L"genre " + disc.entries[0].genre + L"\nartist " + disc.entries[0].artist +
                        L"\ntitle " + disc.entries[0].title + L"\n";
  for (std::size_t i = 1; i < disc.entries.size(); ++i)
    parsed += L"track " + std::to_wstring(i) + L" " + disc.entries[i].artist + L" / " +
              disc.entries[i].title + L"\n";
  for (const auto& [name, text] :
       {std::make_pair(L"0b014803", entry), std::make_pair(L"0b014803.parsed", parsed)}) {
    std::ofstream file((folder + L"\\" + name).c_str(), std::ios::binary | std::ios::trunc);
    file << Cddb::ToUtf8(text);
    EXPECT_TRUE(file.good());
  }
}

TEST(CddbReadReply, OtherRepliesGiveNoEntries) {
  for (const wchar_t* reply : {L"", L"401 rock 0b014802 No such CD entry in database.\r\n",
                               L"<html>500</html>", L"211 rock 0b014802 x\nDTITLE=A / B\n"})
    EXPECT_TRUE(Read(reply).entries.empty()) << reply;
}

std::wstring Body(const std::wstring& submission) {
  return submission.substr(submission.find(L"\n\n") + 2);
}

TEST(CddbSubmission, HeaderBlockAndXmcdBody) {
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"Artist", L"Album");
  const std::wstring text = session->WriteXmcd(-1);
  const std::wstring body =
      L"# xmcd\n# Track frame offsets:\n# 150\n# 13500\n#\n# Disc length: 330 seconds\n"
      L"# Submitted via: Velmora-TAVRIN 1.0.117.0\nDISCID=0b014802\nDTITLE=Artist / Album\n"
      L"DYEAR=1999\nDGENRE=rock\nTTITLE0=Artist / Song\nTTITLE1=Guest / Duet\nEXTD=\n"
      L"EXTT0=\nEXTT1=\nPLAYORDER=\n";
  EXPECT_EQ(
      L"Category: rock\nDiscid: 0b014802\nUser-Email: tavrin-submit@velmora.net\n"
      L"Submit-Mode: submit\nCharset: utf-8\n"
      L"X-Cddbd-Note: TAVRIN submitted the following data...\n"
      L"Content-Length: " +
          std::to_wstring(body.size()) + L"\n\n" + body,
      text);

  session->SetSubmitterEmail(L"me@example.org");
  EXPECT_NE(std::wstring::npos, session->WriteXmcd(-1).find(L"\nUser-Email: me@example.org\n"));
}

TEST(CddbSubmission, RevisionYearArtistAndLength) {
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"", L"Caf\x00e9\nNoir");
  session->SetYear(0, 0);
  ASSERT_TRUE(session->CheckComplete());  // as a submission does: the disc artist is filled
  const std::wstring with3 = session->WriteXmcd(3);
  EXPECT_NE(std::wstring::npos,
            with3.find(L"# Disc length: 330 seconds\n# Revision: 3\n# Submitted via:"));
  for (int revision : {0, -1})
    EXPECT_EQ(std::wstring::npos, session->WriteXmcd(revision).find(L"Revision")) << revision;
  const std::wstring body = Body(with3);
  EXPECT_EQ(std::wstring::npos, body.find(L"DYEAR"));
  // the line break of a title cannot end its line
  EXPECT_NE(std::wstring::npos, body.find(L"\nDTITLE=various / Caf\x00e9 Noir\n"));
  // é is two bytes
  EXPECT_NE(std::wstring::npos,
            with3.find(L"Content-Length: " + std::to_wstring(body.size() + 1) + L"\n"));
}

TEST(CddbSubmission, IncompleteTextsAreNotSent) {
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"", L"Album");
  session->SetTitle(2, L"");
  EXPECT_FALSE(session->SubmitDisc(-1));
  EXPECT_EQ(L"", session->entries()[0].artist);  // left as it was
  EXPECT_EQ(0u, session->serverIndex());         // nothing was posted
}

}  // namespace

#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/AllocationWatch.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TimeScale.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/UpdateCheck.h"
#include "wizard/WizardInfo.h"

namespace {

using UpdateCheck::Navigation;

const char kFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<tavrin version=\"1.0.118.0\" adserver=\"http://ads.example\" click=\"go/\">\n"
    "  <silentAllow url=\"http://ads.example/go/free\"/>\n"
    "  <silentIgnore url=\"mailto:\"/>\n"
    "  <silentAllow url=\"about:\"/>\n"
    "  <silentIgnore url=\"javascript:\"/>\n"
    "</tavrin>\n";

TEST(UpdateParameters, AValidFileGivesItsValuesAndListsInOrder) {
  UpdateCheck::Parameters p;
  ASSERT_TRUE(UpdateCheck::ParseUpdateParameters(kFile, p));
  EXPECT_EQ("1.0.118.0", p.version);
  EXPECT_EQ(L"http://ads.example", p.adServer);
  EXPECT_EQ(L"go/", p.clickPath);
  EXPECT_EQ((std::vector<std::wstring>{L"http://ads.example/go/free", L"about:"}), p.silentAllow);
  EXPECT_EQ((std::vector<std::wstring>{L"mailto:", L"javascript:"}), p.silentIgnore);
}

TEST(UpdateParameters, RefusesFilesThatAreNotWhole) {
  const std::string head = "<?xml version=\"1.0\"?>";
  const char* cases[] = {
      "<html><body>404</body></html>",
      "\xEF\xBB\xBF<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\" click=\"c\"/>",
      "<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\"/>",
      "<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\" click=\"\"/>",
      "<?xml version=\"1.0\"?><other version=\"1\" adserver=\"a\" click=\"c\"/>",
      "<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\" click=\"c\"><silentAllow/>"
      "</tavrin>",
      "<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\" click=\"c\"><silentIgnore "
      "url=\"\"/></tavrin>",
      "<?xml version=\"1.0\"?><tavrin version=\"1\" adserver=\"a\" click=\"c\">",
  };
  for (const char* body : cases) {
    UpdateCheck::Parameters p;
    EXPECT_FALSE(UpdateCheck::ParseUpdateParameters(body, p)) << body;
  }
  // A reply nested deeper than the parser's stack would take.
  std::string deep = head + "<tavrin version=\"1\" adserver=\"a\" click=\"c\">";
  for (int i = 0; i < 80000; ++i) deep += "<a>";
  UpdateCheck::Parameters p;
  EXPECT_FALSE(UpdateCheck::ParseUpdateParameters(deep, p));
}

TEST(UpdateParameters, VersionCodesCompareWithTheProgramsVersion) {
  const std::pair<const char*, int> cases[] = {
      {"1.0.117.0", 0},  {"1.0.117.1", 4},  {"1.0.118.0", 3},   {"1.1.0.0", 2},
      {"2.0.0.0", 1},    {"1.0.118", 0},    {"1.0.118.x", 0},   {"0.9.999.9", 0},
      {"1.0.116.9", 0},  {"1.0.117.-1", 0}, {"1.0.117.+1", 0},  {"1.0.117.65536", 0},
      {"1.0. 118.0", 0}, {"", 0},           {"1.0.117.007", 4},
  };
  for (const auto& c : cases) EXPECT_EQ(c.second, UpdateCheck::VersionCode(c.first)) << c.first;
}

TEST(UpdateParameters, VersionPartsAreTakenOneByOne) {
  std::string text = "12.65535";
  uint16_t part = 0;
  ASSERT_TRUE(UpdateCheck::ParseVersionPart(part, text));
  EXPECT_EQ(12, part);
  EXPECT_EQ("65535", text);
  ASSERT_TRUE(UpdateCheck::ParseVersionPart(part, text));
  EXPECT_EQ(65535, part);
  EXPECT_EQ("", text);
  EXPECT_FALSE(UpdateCheck::ParseVersionPart(part, text));
}

TEST(Banner, AddressCarriesSizeOperationAndLocale) {
  const std::wstring host = L"http://" + UpdateCheck::MakerHost().host;
  EXPECT_EQ(host + L"/tavrinad.php?w=460&h=180&a=r&g=na&l=en-US",
            UpdateCheck::BannerUrl(460, 180, OpBackup, L"en-US"));
  EXPECT_EQ(host + L"/tavrinad.php?w=1&h=2&a=x&g=na&l=de-DE",
            UpdateCheck::BannerUrl(1, 2, OpExtract, L"de-DE"));
  for (int32_t op : {OpRestore, OpNone})
    EXPECT_EQ(host + L"/tavrinad.php?w=3&h=4&a=w&g=na&l=fr-FR",
              UpdateCheck::BannerUrl(3, 4, op, L"fr-FR"));
}

TEST(Banner, NavigationsStayOnTheAdServerAndClicksLeaveIt) {
  UpdateCheck::Parameters p;
  ASSERT_TRUE(UpdateCheck::ParseUpdateParameters(kFile, p));
  const std::pair<const wchar_t*, Navigation> cases[] = {
      {L"http://ads.example/tavrinad.php?w=1", Navigation::Load},
      {L"http://ads.example/go/free/x", Navigation::Load},  // allowed before the click rule
      {L"http://ads.example/go/shop", Navigation::OpenExternally},
      {L"http://ads.example", Navigation::Cancel},  // no "/" after the host
      {L"http://ads.example.evil/x", Navigation::Load},
      {L"https://elsewhere.example/", Navigation::OpenExternally},
      {L"mailto:someone@example.com", Navigation::Cancel},
      {L"javascript:alert(1)", Navigation::Cancel},
      {L"about:blank", Navigation::Load},
      {L"file:///c:/x", Navigation::Cancel},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.second, UpdateCheck::NavigationDecision(c.first, p)) << c.first;
}

TEST(UpdateFetch, AsksTheMakersHostWithTheProgramsUserAgent) {
  LoopbackHttpServer server;
  UpdateCheck::MakerHost().port = server.port();
  UpdateCheck::Parameters p;
  server.Reply(200, kFile);
  ASSERT_TRUE(UpdateCheck::FetchUpdateParameters(p));
  EXPECT_EQ("1.0.118.0", p.version);
  // The status is not looked at: an error page is refused by its body only.
  server.Reply(404, "<html>missing</html>");
  EXPECT_FALSE(UpdateCheck::FetchUpdateParameters(p));
  server.Reply(500, kFile);
  EXPECT_TRUE(UpdateCheck::FetchUpdateParameters(p));
  // A body that runs on is cut after 256 KiB, which leaves the XML unfinished.
  auto longFile = [](std::size_t urlLength) {
    return "<?xml version=\"1.0\"?><tavrin version=\"1.0.118.0\" adserver=\"a\" click=\"c\">"
           "<silentAllow url=\"" +
           std::string(urlLength, 'x') + "\"/></tavrin>";
  };
  server.Reply(200, longFile(0x3F000));
  EXPECT_TRUE(UpdateCheck::FetchUpdateParameters(p));
  server.Reply(200, longFile(0x50000));
  EXPECT_FALSE(UpdateCheck::FetchUpdateParameters(p));

  const auto requests = server.requests();
  ASSERT_EQ(5u, requests.size());
  for (const auto& r : requests) {
    EXPECT_EQ("GET /tavrinparam.xml HTTP/1.1", r.line);
    EXPECT_EQ("Velmora Hollick/1.1 TAVRIN/1.0.117.0", r.userAgent);
  }
}

TEST(DatabaseProbe, AsksForTheRootPageAndDoesNotWaitForTheAnswer) {
  LoopbackHttpServer server;
  server.Hold();  // the request arrives and is never answered
  UpdateCheck::DatabaseHost().port = server.port();
  UpdateCheck::ProbeDatabaseHost();
  ASSERT_TRUE(SheetDriver::WaitFor([&] { return server.requests().size() == 1; }));
  EXPECT_EQ("GET / HTTP/1.1", server.requests()[0].line);
  EXPECT_EQ("Velmora Hollick/1.1 TAVRIN/1.0.117.0", server.requests()[0].userAgent);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// An answer that never ends is read up to the probe's bound and dropped, in
// pieces: no block near the bound is ever asked for, and the host is let go.
TEST(DatabaseProbe, AnEndlessAnswerIsDroppedAtItsBound) {
  LoopbackHttpServer server;
  server.ReplyEndless(200, "<html>", std::string(0x4000, 'x'));
  UpdateCheck::DatabaseHost().port = server.port();
  const std::size_t kMostAllocated = UpdateCheck::kProbeBounds.bytes / 8;
  const auto start = std::chrono::steady_clock::now();
  {
    const AllocationWatch allocations(kMostAllocated);
    UpdateCheck::ProbeDatabaseHost();
    ASSERT_TRUE(SheetDriver::WaitFor([&] { return server.endlessEnded() == 1; }));
    EXPECT_LE(allocations.Largest(), kMostAllocated);
  }
  EXPECT_LT(SecondsSince(start), 20.0 * TimeScale());
  EXPECT_GE(server.lastEndlessBytes(), UpdateCheck::kProbeBounds.bytes);
  EXPECT_LT(server.lastEndlessBytes(), 64u << 20);
}

// A host that answers slowly, or not at all, is left once the time is up.
TEST(DatabaseProbe, ASlowOrSilentHostIsLeftWhenTheTimeIsUp) {
  const UpdateCheck::ProbeBounds bounds = {1u << 20, 1000};
  LoopbackHttpServer trickle;
  trickle.ReplyEndless(200, "", "x", 20);
  LoopbackHttpServer silent;
  silent.Hold();
  for (LoopbackHttpServer* server : {&trickle, &silent}) {
    const auto start = std::chrono::steady_clock::now();
    UpdateCheck::ProbeHost({L"127.0.0.1", server->port()}, bounds);
    EXPECT_LT(SecondsSince(start), 5.0 * TimeScale());
    EXPECT_EQ(1u, server->requests().size());
  }
  EXPECT_TRUE(SheetDriver::WaitFor([&] { return trickle.endlessEnded() == 1; }, 5000));
}

TEST(UpdateFetch, FailsAtOnceWhenNothingListens) {
  UpdateCheck::MakerHost().port = 9;
  UpdateCheck::Parameters p;
  EXPECT_FALSE(UpdateCheck::FetchUpdateParameters(p));
}

}  // namespace

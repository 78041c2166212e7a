// The online client against replies that never end or are far too large, from
// the loopback server as the proxy of the three default servers: each fails
// at once as an unreadable reply does, within a small amount of memory, and
// the next lookup finds its disc as always.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "tests/VOVudorod/Ombrel/ExampleDisc.h"
#include "tests/VOVudorod/Ombrel/LoopbackProxy.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/TimeScale.h"

namespace {

const char kListHead[] = "211 close matches found\r\n";
const char kEntryHead[] = "210 rock 0b014802 CD database entry follows\r\n";
// What the client needs besides the reply, a few copies of a body near its bound.
const std::size_t kMostAllocated = 16u << 20;

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The server counts a reply as left once its sending fails, which may come a
// moment after the client went on.
bool Eventually(const std::function<bool()>& done) {
  const auto end = std::chrono::steady_clock::now() + Scaled(std::chrono::seconds(10));
  while (!done() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// The session finds, reads and submits the example disc as usual.
void ExpectUsable(CddbSession& session) {
  LoopbackHttpServer& proxy = LoopbackProxy();
  proxy.Reply(200, "200 rock 0b014802 Artist / Album\r\n");
  const auto matches = session.QueryMatches();
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(L"Album", matches[0].title);
  proxy.Reply(200, std::string(kEntryHead) + "DTITLE=Artist / Album\r\nTTITLE0=Song\r\n.\r\n");
  const DbCore::DiscRecord disc = session.ReadDisc(L"rock", 0x0b014802, 0);
  ASSERT_EQ(3u, disc.entries.size());
  EXPECT_EQ(L"Song", disc.entries[1].title);
  proxy.Reply(200, "200 OK, submission has been sent.\r\n");
  SetExampleTexts(session, L"Artist", L"Album");
  EXPECT_TRUE(session.SubmitDisc(1));
}

TEST(CddbReplyBounds, AnEndlessBodyFailsLikeAnUnreadableReply) {
  LoopbackHttpServer& proxy = LoopbackProxy();
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"Artist", L"Album");
  const std::size_t ended = proxy.endlessEnded();
  const auto start = std::chrono::steady_clock::now();
  {
    const AllocationWatch allocations(kMostAllocated);
    proxy.ReplyEndless(200, kListHead, "rock 0b014802 Artist / Album\r\n");
    EXPECT_TRUE(session->QueryMatches().empty());
    EXPECT_EQ(3u, session->serverIndex());  // every server was asked, as after no reply
    proxy.ReplyEndless(200, kEntryHead, "TTITLE0=Song\r\n");
    EXPECT_TRUE(session->ReadDisc(L"rock", 0x0b014802, 0).entries.empty());
    proxy.ReplyEndless(200, "200 OK\r\n", "more\r\n");
    EXPECT_FALSE(session->SubmitDisc(1));
  }
  EXPECT_LT(SecondsSince(start), 60.0 * TimeScale());
  EXPECT_TRUE(
      Eventually([&] { return proxy.endlessEnded() == ended + 7; }));  // the client left each
  ExpectUsable(*session);
}

TEST(CddbReplyBounds, OneEndlessLineEndsTheReadLongBeforeTheBodysBound) {
  LoopbackHttpServer& proxy = LoopbackProxy();
  auto session = TwoTrackSession();
  const std::size_t ended = proxy.endlessEnded();
  const auto start = std::chrono::steady_clock::now();
  {
    const AllocationWatch allocations(kMostAllocated);
    proxy.ReplyEndless(200, std::string(kEntryHead) + "DTITLE=", std::string(0x1000, 'x'));
    EXPECT_TRUE(session->ReadDisc(L"rock", 0x0b014802, 0).entries.empty());
    // A line is cut at a small fraction of what a whole reply may take.
    EXPECT_LT(allocations.Largest(), 1u << 20);
  }
  EXPECT_LT(SecondsSince(start), 20.0 * TimeScale());
  EXPECT_TRUE(Eventually([&] { return proxy.endlessEnded() == ended + 1; }));
  ExpectUsable(*session);
}

// Four letters A-Z for n: titles whose keys differ, as digits do not count.
std::string Letters(unsigned n) {
  std::string s;
  for (int i = 0; i < 4; ++i, n /= 26) s += static_cast<char>('A' + n % 26);
  return s;
}

TEST(CddbReplyBounds, AListOfAHundredThousandLinesIsMergedPromptly) {
  const unsigned kLines = 100000;
  std::string distinct = kListHead, same = kListHead;
  for (unsigned n = 0; n < kLines; ++n) {
    distinct += "rock 0b014802 A / " + Letters(n) + "\r\n";
    same += (n == 5000 ? "rock" : n % 7 ? "misc" : "jazz") + std::string(" 0b014802 A / Same\r\n");
  }
  distinct += ".\r\n";
  same += ".\r\n";
  LoopbackHttpServer& proxy = LoopbackProxy();
  auto session = TwoTrackSession();
  const auto start = std::chrono::steady_clock::now();
  {
    // A hundred thousand matches take some tens of megabytes.
    const AllocationWatch allocations(4 * kMostAllocated);
    proxy.Reply(200, distinct);
    const auto all = session->QueryMatches();
    ASSERT_EQ(kLines, all.size());
    for (unsigned n : {0u, 1u, 12345u, kLines - 1})
      EXPECT_EQ(Letters(n), std::string(all[n].title.begin(), all[n].title.end())) << n;
    proxy.Reply(200, same);
    const auto one = session->QueryMatches();
    ASSERT_EQ(1u, one.size());  // the one title, in the preferred category
    EXPECT_EQ(L"rock", one[0].category);
  }
  EXPECT_LT(SecondsSince(start), 30.0 * TimeScale());
  ExpectUsable(*session);
}

}  // namespace

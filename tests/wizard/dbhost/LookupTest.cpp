// The lookup thread on its own: what it asks of the plug-in, what it posts,
// and how it ends.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>

#include "tests/support/TimeScale.h"
#include "tests/wizard/dbhost/LookupThreadTest.h"
#include "tests/wizard/dbhost/ScriptedDb.h"

namespace {

class Lookup : public LookupThreadTest {
 protected:
  ScriptedDb db_;
};

TEST_F(Lookup, TwoDrivesWithOneDiscShareOneLookupAndDataDiscsAreDropped) {
  db_.Script(
      "disc 2\nmatch T|A|rock|00000001|0\nentry A|T|rock||0\nentry A|x|rock||0\n"
      "entry A|y|rock||0\n");
  Insert(4, 2);
  Insert(5, 2);
  Insert(6, 1, CdDevice::KindData);
  Queue(6);
  Queue(4);
  Queue(5);
  EXPECT_EQ(LOOKUP_DONE, Next());
  EXPECT_EQ(Entry(4), Entry(5));
  EXPECT_EQ(DiscLookup::StateDone, Entry(4)->state);
  EXPECT_EQ(3u, Entry(4)->disc.tracks.size());
  // A disc whose lookup has ended is never looked up again.
  Queue(4);
  EXPECT_EQ(0u, Next(300));
  EXPECT_EQ(1u, db_.Texts("CreateSession").size());
}

TEST_F(Lookup, StopsAtOnceWhileWaitingForTheUsersChoiceAndClosesTheSessionItself) {
  db_.Script("disc 3\nmatch A|X|rock|00000001|0\nmatch B|Y|rock|00000002|0\n");
  Insert(4, 3);
  Queue(4);
  ASSERT_EQ(LOOKUP_CHOOSE, Next());
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    ASSERT_TRUE(lookup_.Pending());
    EXPECT_EQ(2u, lookup_.Pending()->matches.size());
  }
  const auto start = std::chrono::steady_clock::now();
  lookup_.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, Scaled(std::chrono::milliseconds(500)));
  std::vector<ScriptedDb::Call> calls;
  for (const ScriptedDb::Call& call : db_.Calls())
    if (call.text.find("Session") != std::string::npos) calls.push_back(call);
  ASSERT_EQ(2u, calls.size());
  ASSERT_EQ("CloseSession", calls.back().text);
  EXPECT_NE(GetCurrentThreadId(), calls.back().thread);
  EXPECT_EQ(calls.front().thread, calls.back().thread);
  EXPECT_EQ(0u, Next(100));
}

}  // namespace

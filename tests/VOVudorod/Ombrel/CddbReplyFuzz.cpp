// Sends mutated CDDB replies through the real online client: queries, reads
// and submissions, over WinHTTP, from the loopback server as the proxy of the
// default servers. Run under Wine.
//   cddb_reply_fuzz ITERATIONS
// Fails on an exception, on a result the reply cannot have given (matches
// from another server, entries that the disc id does not allow), or on any
// single allocation above the bound below.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/VOVudorod/Ombrel/ExampleDisc.h"
#include "tests/VOVudorod/Ombrel/LoopbackProxy.h"
#include "tests/support/AllocationWatch.h"

namespace {

// A reply is read up to a few megabytes; what it comes to is a few times that.
const std::size_t kMaxAllocation = 64u << 20;

enum class Command { kQuery, kRead, kSubmit };

struct Seed {
  Command command;
  const char* reply;
};

const Seed kSeeds[] = {
    {Command::kQuery, "200 rock 0b014802 Artist / Album\r\n"},
    {Command::kQuery, "200 misc 0b014802 Just A Title\r\n"},
    {Command::kQuery,
     "211 close matches found\r\njazz 0b014802 Ann / Kind of Blue\r\n"
     "rock 1a2b3c04 Bob / KIND OF BLUE!\r\nmisc 0b014803 Cat / Other\r\n.\r\n"},
    {Command::kQuery,
     "210 Found exact matches\r\nrock 0b014802 A / One\r\nfolk 0b014802 B / Two\r\n"
     "data 0b014802 C / Caf\xC3\xA9\r\n.\r\n"},
    {Command::kQuery, "202 No match for disc ID 0b014802.\r\n"},
    {Command::kRead,
     "210 rock 0b014802 CD database entry follows (until terminating `.')\r\n"
     "# xmcd\r\n#\r\n# Revision: 7\r\nDISCID=0b014802\r\nDTITLE=Artist / Album\r\n"
     "DYEAR=1999\r\nDGENRE=Pop\r\nTTITLE0=Song\r\nTTITLE1=Guest / Duet\r\n"
     "TTITLE1= and more\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n.\r\n"},
    {Command::kRead, "401 rock 0b014802 No such CD entry in database.\r\n"},
    {Command::kSubmit, "200 OK, submission has been sent.\r\n"},
    {Command::kSubmit, "500 Invalid header.\r\n"},
};

// Pieces that mean something to the client's parsers.
const std::string kPieces[] = {"\r\n",
                               "\n",
                               "\r",
                               ".",
                               "\r\n.\r\n",
                               " / ",
                               "=",
                               "# Revision:",
                               "TTITLE",
                               "TTITLE99=",
                               "DTITLE=",
                               "210 ",
                               "211 ",
                               "200 ",
                               "ffffffff",
                               " ",
                               "\xC3",
                               "\xE6\x9D\xB1",
                               std::string(1, '\0')};

class Mutator {
 public:
  explicit Mutator(unsigned seed) : random_(seed) {}

  std::string Mutate(std::string r) {
    for (int steps = 1 + Below(4); steps > 0; --steps) {
      const std::size_t at = Below(r.size() + 1);
      switch (Below(7)) {
        case 0:  // flip bits
          for (int n = 1 + Below(4); n > 0 && !r.empty(); --n) r[Below(r.size())] ^= 1 << Below(8);
          break;
        case 1:  // cut a span
          r.erase(at, Below(32));
          break;
        case 2:  // a piece the parsers look for
          r.insert(at, kPieces[Below(std::size(kPieces))]);
          break;
        case 3: {  // repeat a span, up to thousands of times
          const std::string span = r.substr(at, 1 + Below(40));
          for (int n = Below(10) ? 1 + Below(8) : 1 + Below(5000); n > 0; --n) r.insert(at, span);
          break;
        }
        case 4:  // a long run of one byte
          r.insert(at, std::string(Below(10) ? Below(300) : Below(200000), "x \x80"[Below(3)]));
          break;
        case 5:  // end early
          r.resize(at);
          break;
        default:  // random bytes
          for (int n = 1 + Below(8); n > 0; --n) r.insert(r.begin() + Below(r.size() + 1), Byte());
          break;
      }
    }
    return r;
  }

 private:
  int Below(std::size_t n) {
    return n ? static_cast<int>(std::uniform_int_distribution<std::size_t>(0, n - 1)(random_)) : 0;
  }
  char Byte() { return static_cast<char>(Below(256)); }

  std::mt19937 random_;
};

bool Check(bool ok, const char* what, unsigned iteration) {
  if (!ok) std::fprintf(stderr, "iteration %u: %s\n", iteration, what);
  return ok;
}

// How many replies gave matches or entries, to show that the mutations leave
// enough of them readable.
unsigned found = 0;

// One reply through the command its seed belongs to.
bool Run(CddbSession& session, Command command, unsigned i) {
  switch (command) {
    case Command::kQuery: {
      const auto matches = session.QueryMatches();
      if (!matches.empty()) ++found;
      bool ok = Check(session.serverIndex() <= 3, "server index beyond the list", i);
      for (const auto& m : matches)
        ok = Check(m.marker == static_cast<int32_t>(session.serverIndex()),
                   "a match from another server than the one that answered", i) &&
             ok;
      return ok;
    }
    case Command::kRead: {
      const DbCore::DiscRecord disc = session.ReadDisc(L"rock", 0x0b014802, 1);
      if (!disc.entries.empty()) ++found;
      return Check(disc.entries.empty() || disc.entries.size() == 3,
                   "entries that the disc id does not allow", i) &&
             Check(disc.entries.empty() || disc.source == L"cddb2.velmora.net",
                   "the source is not the server that was read", i);
    }
    case Command::kSubmit:
      session.SubmitDisc(2);
      return Check(session.serverIndex() == 3, "a submission stopped before the last server", i);
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned iterations = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 100;
  LoopbackHttpServer& proxy = LoopbackProxy();
  auto session = TwoTrackSession();
  SetExampleTexts(*session, L"Artist", L"Album");
  Mutator mutator(20261211);
  unsigned failures = 0;
  const AllocationWatch allocations(kMaxAllocation);
  for (unsigned i = 0; i < iterations; ++i) {
    const Seed& seed = kSeeds[i % std::size(kSeeds)];
    proxy.Reply(200, mutator.Mutate(seed.reply));
    try {
      if (!Run(*session, seed.command, i)) ++failures;
    } catch (const std::exception& e) {
      Check(false, e.what(), i);
      ++failures;
    }
  }
  std::printf("%u replies, %u with matches or entries, %u failures, largest block %lu KiB\n",
              iterations, found, failures, static_cast<unsigned long>(allocations.Largest() >> 10));
  return failures ? 1 : 0;
}

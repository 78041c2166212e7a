#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The maker's update parameter file, the address of the web banner and the
// rules for the banner's navigations. Requests run synchronously on the
// calling thread, except the database host's probe.
namespace UpdateCheck {

// Where the requests go: the maker's web host and the online CD database's
// web host. Each program defines both (UpdateHosts.cpp for the product, on
// port 80), so that test builds talk to a server of their own.
struct Endpoint {
  std::wstring host;
  WORD port;
};
Endpoint& MakerHost();
Endpoint& DatabaseHost();

// What a valid parameter file says.
struct Parameters {
  std::string version;  // as it stands in the file
  std::wstring adServer;
  std::wstring clickPath;
  std::vector<std::wstring> silentAllow;
  std::vector<std::wstring> silentIgnore;
};

// The body of a reply: false unless it begins with "<?xml" and holds a
// complete "tavrin" element (lists are filled as far as they were read).
bool ParseUpdateParameters(const std::string& body, Parameters& out);
// Fetches "tavrinparam.xml" from the maker's host and parses it.
bool FetchUpdateParameters(Parameters& out);

// Takes the text up to the first "." as an unsigned 16-bit decimal number and
// removes it with its "."; false (text untouched) when it is no such number.
bool ParseVersionPart(uint16_t& part, std::string& text);
// How the version a.b.c.d compares with the program's: 1 newer major, 2 newer
// minor, 3 newer build, 4 newer revision, 0 not newer or not four parts.
int32_t VersionCode(const std::string& version);

// The banner page for a banner area of that size, the operation and the locale.
std::wstring BannerUrl(int width, int height, int32_t operation, const std::wstring& locale);

// What the banner does with a navigation to the address.
enum class Navigation { Load, Cancel, OpenExternally };
Navigation NavigationDecision(const std::wstring& url, const Parameters& params);

// How much of an answer the probe reads, and for how long at most; each of
// WinHTTP's steps is bounded by the same time.
struct ProbeBounds {
  std::size_t bytes;
  DWORD milliseconds;
};
// The answer is of no use, so a host that sends without end costs a megabyte
// and half a minute at most.
constexpr ProbeBounds kProbeBounds = {1u << 20, 30000};

// Asks the host for its root page and reads the answer, dropping it, until it
// ends or one of the bounds is reached.
void ProbeHost(const Endpoint& host, const ProbeBounds& bounds);

// ProbeHost for the CD database's web host within kProbeBounds, on a thread of
// its own that nobody waits for and that lets nothing escape: a host that
// never answers delays nothing. Returns at once.
void ProbeDatabaseHost();

}  // namespace UpdateCheck

#include "wizard/UpdateCheck.h"

#include <winhttp.h>

#include <cstring>
#include <functional>
#include <system_error>
#include <thread>
#include <vector>

#include "common/Boundary.h"
#include "common/TextFormat.h"
#include "common/Utf8.h"
#include "common/XmlFile.h"
#include "tinyxml.h"
#include "wizard/Version.h"
#include "wizard/WizardInfo.h"
#include "wizard/jobs/WorkerScope.h"

namespace UpdateCheck {

namespace {

const wchar_t kParameterFile[] = L"/tavrinparam.xml";
const std::size_t kMaxBody = 0x40000;
const std::size_t kClickSearchStart = 8;  // past "https://"

class HttpHandle {
 public:
  explicit HttpHandle(HINTERNET handle) : handle_(handle) {}
  HttpHandle(const HttpHandle&) = delete;
  HttpHandle& operator=(const HttpHandle&) = delete;
  ~HttpHandle() {
    if (handle_) WinHttpCloseHandle(handle_);
  }
  HINTERNET Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

// The body is read in pieces of at most this size.
const DWORD kPiece = 0x10000;

// Reads the body of a received reply piece by piece, handing each to take,
// until it ends or take returns false.
bool ReadBody(HINTERNET request, const std::function<bool(const char*, std::size_t)>& take) {
  std::vector<char> piece(kPiece);
  while (true) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return false;
    if (available == 0) return true;
    DWORD read = 0;
    if (!WinHttpReadData(request, piece.data(), available < kPiece ? available : kPiece, &read))
      return false;
    if (read == 0 || !take(piece.data(), read)) return true;
  }
}

// GET of one object, its body handed to take. timeoutMs, when not 0, bounds
// each step of WinHTTP's: resolving, connecting, sending, the wait for the
// answer and each receive.
bool HttpGet(const Endpoint& endpoint, const wchar_t* object, DWORD timeoutMs,
             const std::function<bool(const char*, std::size_t)>& take) {
  const std::wstring userAgent = L"Velmora Hollick/1.1 TAVRIN/" + Version::Text();
  HttpHandle session(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  if (timeoutMs) {
    const int t = static_cast<int>(timeoutMs);
    if (!WinHttpSetTimeouts(session.Get(), t, t, t, t)) return false;
  }
  HttpHandle connection(WinHttpConnect(session.Get(), endpoint.host.c_str(), endpoint.port, 0));
  if (!connection) return false;
  HttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", object, nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request) return false;
  // The wait for the answer's head is an option of its own.
  if (timeoutMs && !WinHttpSetOption(request.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                                     &timeoutMs, sizeof timeoutMs))
    return false;
  return WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                            WINHTTP_NO_REQUEST_DATA, 0, 0, 0) &&
         WinHttpReceiveResponse(request.Get(), nullptr) && ReadBody(request.Get(), take);
}

const char* NonEmpty(const TiXmlElement& element, const char* name) {
  const char* value = element.Attribute(name);
  return value && *value ? value : nullptr;
}

bool ReadPrefixes(const TiXmlElement& root, const char* name, std::vector<std::wstring>& out) {
  for (const TiXmlElement* e = root.FirstChildElement(name); e; e = e->NextSiblingElement(name)) {
    const char* url = NonEmpty(*e, "url");
    if (!url) return false;
    out.push_back(Utf8::Decode(url));
  }
  return true;
}

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool StartsWithAny(const std::wstring& text, const std::vector<std::wstring>& prefixes) {
  for (const std::wstring& prefix : prefixes)
    if (StartsWith(text, prefix)) return true;
  return false;
}

}  // namespace

bool ParseUpdateParameters(const std::string& body, Parameters& out) {
  out.silentAllow.clear();
  out.silentIgnore.clear();
  if (body.compare(0, 5, "<?xml") != 0) return false;
  TiXmlDocument document;
  if (XmlFile::ParseUtf8(body, document) == XmlFile::Read::kFailed) return false;
  const TiXmlElement* root = document.RootElement();
  if (!root || root->ValueStr() != "tavrin") return false;
  const char* version = NonEmpty(*root, "version");
  const char* adServer = NonEmpty(*root, "adserver");
  const char* click = NonEmpty(*root, "click");
  if (!version || !adServer || !click) return false;
  if (!ReadPrefixes(*root, "silentAllow", out.silentAllow) ||
      !ReadPrefixes(*root, "silentIgnore", out.silentIgnore))
    return false;
  out.version = version;
  out.adServer = Utf8::Decode(adServer);
  out.clickPath = Utf8::Decode(click);
  return true;
}

bool FetchUpdateParameters(Parameters& out) {
  out.silentAllow.clear();
  out.silentIgnore.clear();
  std::string body;
  // A zero byte ends a piece; reading stops once the body is longer than kMaxBody.
  const auto take = [&body](const char* piece, std::size_t size) {
    body.append(piece, strnlen(piece, size));
    return body.size() <= kMaxBody;
  };
  return HttpGet(MakerHost(), kParameterFile, 0, take) && ParseUpdateParameters(body, out);
}

bool ParseVersionPart(uint16_t& part, std::string& text) {
  const std::size_t dot = text.find('.');
  const std::string digits = text.substr(0, dot);
  // Digits only: no sign, no blanks, nothing above 65535.
  if (digits.empty() || digits.size() > 5) return false;
  unsigned value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + unsigned(c - '0');
  }
  if (value > 0xFFFF) return false;
  part = static_cast<uint16_t>(value);
  text.erase(0, dot == std::string::npos ? text.size() : dot + 1);
  return true;
}

int32_t VersionCode(const std::string& version) {
  std::string text = version;
  uint16_t parts[4];
  int count = 0;
  while (count < 4 && ParseVersionPart(parts[count], text)) ++count;
  if (count != 4) return 0;
  const int ours[4] = {Version::kMajor, Version::kMinor, Version::kBuild, Version::kRevision};
  for (int i = 0; i < 4; ++i) {
    if (parts[i] > ours[i]) return i + 1;
    if (parts[i] < ours[i]) return 0;
  }
  return 0;
}

std::wstring BannerUrl(int width, int height, int32_t operation, const std::wstring& locale) {
  const std::wstring format =
      L"http://" + MakerHost().host + L"/tavrinad.php?w=%d&h=%d&a=%s&g=%s&l=%s";
  const wchar_t letter = operation == OpBackup ? L'r' : operation == OpExtract ? L'x' : L'w';
  return TextFormat::Fill(format, {std::to_wstring(width), std::to_wstring(height),
                                   std::wstring(1, letter), L"na", locale});
}

Navigation NavigationDecision(const std::wstring& url, const Parameters& params) {
  if (StartsWithAny(url, params.silentAllow)) return Navigation::Load;
  if (StartsWithAny(url, params.silentIgnore)) return Navigation::Cancel;
  if (!params.adServer.empty() && StartsWith(url, params.adServer)) {
    const std::size_t slash = url.find(L'/', kClickSearchStart);
    if (slash == std::wstring::npos) return Navigation::Cancel;
    if (!StartsWith(url.substr(slash + 1), params.clickPath)) return Navigation::Load;
  }
  return StartsWith(url, L"http://") || StartsWith(url, L"https://") ? Navigation::OpenExternally
                                                                     : Navigation::Cancel;
}

void ProbeHost(const Endpoint& host, const ProbeBounds& bounds) {
  const ULONGLONG end = GetTickCount64() + bounds.milliseconds;
  std::size_t read = 0;
  HttpGet(host, L"/", bounds.milliseconds, [&](const char*, std::size_t size) {
    read += size;
    return read < bounds.bytes && GetTickCount64() < end;
  });
}

void ProbeDatabaseHost() {
  const Endpoint host = DatabaseHost();
  try {
    std::thread([host] {
      // Nothing depends on the probe, so nothing that goes wrong in it may
      // reach the rest of the program.
      Boundary::Run("the database probe", [&host] {
        WorkerScope scope("Database Probe Thread");
        ProbeHost(host, kProbeBounds);
      });
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread there is no probe; nothing depends on it.
  }
}

}  // namespace UpdateCheck

#include "wizard/UpdateCheck.h"

#include <winhttp.h>

#include <system_error>
#include <thread>

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

// GET of one object: the body read up to its end, or, when wanted, until it
// is longer than kMaxBody.
bool HttpGet(const Endpoint& endpoint, const wchar_t* object, bool limited, std::string& body) {
  const std::wstring userAgent = L"Velmora Hollick/1.1 TAVRIN/" + Version::Text();
  HttpHandle session(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return false;
  HttpHandle connection(WinHttpConnect(session.Get(), endpoint.host.c_str(), endpoint.port, 0));
  if (!connection) return false;
  HttpHandle request(WinHttpOpenRequest(connection.Get(), L"GET", object, nullptr,
                                        WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!request ||
      !WinHttpSendRequest(request.Get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0) ||
      !WinHttpReceiveResponse(request.Get(), nullptr))
    return false;
  DWORD available = 0;
  do {
    if (!WinHttpQueryDataAvailable(request.Get(), &available)) return false;
    std::string chunk(available + 1, '\0');
    DWORD read = 0;
    if (available && !WinHttpReadData(request.Get(), &chunk[0], available, &read)) return false;
    body.append(chunk.c_str());  // a zero byte ends the chunk
  } while (available > 0 && !(limited && body.size() > kMaxBody));
  return true;
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
  return HttpGet(MakerHost(), kParameterFile, true, body) && ParseUpdateParameters(body, out);
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

void ProbeDatabaseHost() {
  const Endpoint host = DatabaseHost();
  try {
    std::thread([host] {
      Boundary::Run("the database probe", [&host] {
        WorkerScope scope("Database Probe Thread");
        std::string body;
        HttpGet(host, L"/", false, body);
      });
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread there is no probe; nothing depends on it.
  }
}

}  // namespace UpdateCheck

// The transport of the online client: one WinHTTP session, connection and
// request per command, through the system's default proxy settings.
#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbSession.h"
#include "VOVudorod/Ombrel/CddbText.h"
#include "common/CodePage.h"

namespace {

const UINT kLatin1 = 28591;
const UINT kUtf8 = CP_UTF8;
const char kHeaderEnd[] = "\n\n";

// A real reply is a few kilobytes: an entry of 99 tracks with all its texts,
// or a list of some dozens of matches; xmcd keeps its lines short and goes on
// with a long value on further lines. A reply far past these bounds, the
// whole or one of its lines, counts as unreadable, like one that never came.
const std::size_t kMaxReplyBytes = 4u << 20;
const std::size_t kMaxLineBytes = 64u << 10;
// The body is read in pieces of at most this size.
const DWORD kPiece = 0x10000;

class Internet {
 public:
  explicit Internet(HINTERNET handle) : handle_(handle) {}
  ~Internet() {
    if (handle_) WinHttpCloseHandle(handle_);
  }
  Internet(const Internet&) = delete;
  Internet& operator=(const Internet&) = delete;
  HINTERNET get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  HINTERNET handle_;
};

// The default proxy settings; the strings belong to the caller.
class DefaultProxy {
 public:
  DefaultProxy() {
    if (!WinHttpGetDefaultProxyConfiguration(&info_)) {
      info_ = WINHTTP_PROXY_INFO();
      info_.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
    }
  }
  ~DefaultProxy() {
    if (info_.lpszProxy) GlobalFree(info_.lpszProxy);
    if (info_.lpszProxyBypass) GlobalFree(info_.lpszProxyBypass);
  }
  DefaultProxy(const DefaultProxy&) = delete;
  DefaultProxy& operator=(const DefaultProxy&) = delete;
  const WINHTTP_PROXY_INFO& info() const { return info_; }

 private:
  WINHTTP_PROXY_INFO info_{};
};

// At protocol level 6 the database sends UTF-8; only a reply that declares
// ISO-8859-1 is read as such.
UINT ReplyCodePage(std::wstring headers) {
  for (wchar_t& c : headers)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  const std::wstring key = L"charset=";
  const std::size_t at = headers.find(key);
  if (at == std::wstring::npos) return kUtf8;
  std::wstring name = headers.substr(at + key.size());
  name = name.substr(0, name.find_first_of(L"; \t\r\n"));
  if (name.size() >= 2 && name.front() == L'"' && name.back() == L'"')
    name = name.substr(1, name.size() - 2);
  return name == L"iso-8859-1" ? kLatin1 : kUtf8;
}

// Reads the body as far as it comes: false when it goes past one of the bounds.
bool ReadBody(HINTERNET request, std::string& body) {
  std::size_t line = 0;  // bytes since the last line end
  DWORD available = 0;
  while (WinHttpQueryDataAvailable(request, &available) && available > 0) {
    const std::size_t start = body.size();
    const DWORD wanted = available < kPiece ? available : kPiece;
    if (start + wanted > kMaxReplyBytes) return false;
    body.resize(start + wanted);
    DWORD read = 0;
    if (!WinHttpReadData(request, &body[start], wanted, &read)) {
      body.resize(start);
      break;
    }
    body.resize(start + read);
    for (std::size_t i = start; i < body.size(); ++i) {
      line = body[i] == '\n' || body[i] == '\r' ? 0 : line + 1;
      if (line > kMaxLineBytes) return false;
    }
    if (read == 0) break;
  }
  return true;
}

}  // namespace

std::wstring CddbSession::ReadReply(HINTERNET request) {
  if (!WinHttpReceiveResponse(request, nullptr)) return std::wstring();
  DWORD size = 0;
  if (WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                          WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX) ||
      GetLastError() != ERROR_INSUFFICIENT_BUFFER)
    return std::wstring();
  std::vector<wchar_t> headers(size / sizeof(wchar_t) + 1);
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           headers.data(), &size, WINHTTP_NO_HEADER_INDEX))
    return std::wstring();
  const UINT codePage = ReplyCodePage(headers.data());

  std::string body;
  if (!ReadBody(request, body)) return std::wstring();
  const std::wstring text = CodePage::ToWide(body, codePage);
  return text.substr(0, text.find(L'\0'));
}

std::wstring CddbSession::HttpPost(const std::wstring& request, bool command) {
  if (serverIndex_ >= Cddb::kServerCount) return std::wstring();
  const DefaultProxy proxy;
  const WINHTTP_PROXY_INFO& p = proxy.info();
  const bool named = p.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY && p.lpszProxy;
  Internet session(
      WinHttpOpen(Cddb::kUserAgent, p.dwAccessType, named ? p.lpszProxy : WINHTTP_NO_PROXY_NAME,
                  named && p.lpszProxyBypass ? p.lpszProxyBypass : WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return std::wstring();
  Internet connection(WinHttpConnect(session.get(), Cddb::kServers[serverIndex_], Cddb::kPort, 0));
  if (!connection) return std::wstring();
  Internet post(WinHttpOpenRequest(connection.get(), L"POST",
                                   command ? Cddb::kCommandPath : Cddb::kSubmitPath, L"HTTP/1.0",
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0));
  if (!post) return std::wstring();

  std::string body = Cddb::ToUtf8(request);
  std::wstring headers;
  if (!command) {
    const std::size_t end = body.find(kHeaderEnd);
    if (end != std::string::npos) {
      const std::size_t split = end + sizeof(kHeaderEnd) - 1;
      headers = CodePage::ToWide(body.substr(0, split), kUtf8);
      body.erase(0, split);
    }
  }
  const DWORD length = static_cast<DWORD>(body.size());
  if (!WinHttpSendRequest(post.get(),
                          headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : headers.c_str(),
                          headers.empty() ? 0 : static_cast<DWORD>(-1),
                          body.empty() ? WINHTTP_NO_REQUEST_DATA : &body[0], length, length, 0))
    return std::wstring();
  return ReadReply(post.get());
}

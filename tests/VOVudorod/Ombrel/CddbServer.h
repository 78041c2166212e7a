#pragma once
#include <windows.h>
#include <winhttp.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

// The local CDDB server (cddb_server.py) for one test: started on a port of the
// loopback interface that is the process's HTTP proxy, so that the online
// client's requests to its default servers all reach it; stopped again when the
// object goes. How each default server behaves and which entries the database
// holds come from the script (JSON, UTF-8).
//
// WinHTTP takes the proxy from the environment as it was at the process's first
// proxy look-up, so the first server of a process picks a free port and makes it
// the proxy before any request, and every later server of the process listens
// on that same port.
class CddbServer {
 public:
  // One logged request.
  struct Request {
    std::string host, method, path, version, agent, hello, kind, detail;
  };

  explicit CddbServer(const std::string& scriptJson) {
    WriteFile(dir_ / L"script.json", scriptJson);
    std::wstring line =
        L"python3 \"" + Widen(CDDB_SERVER_SCRIPT) + L"\" \"" + UnixPath(dir_.path()) + L"\"";
    if (!ProxyPort().empty()) line += L" " + ProxyPort();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(WindowsPath(TAVRIN_PYTHON).c_str(), &line[0], nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &process)) {
      ADD_FAILURE() << "cannot start the CDDB server, error " << GetLastError();
      return;
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    launched_ = true;
    std::string port;
    if (!WaitForFile(dir_ / L"port", port)) {
      ADD_FAILURE() << "the CDDB server did not start";
      return;
    }
    if (port.compare(0, 6, "error:") == 0) {
      ADD_FAILURE() << "the CDDB server cannot listen: " << port;
      return;
    }
    if (ProxyPort().empty()) {
      ProxyPort() = Widen(port);
      SetEnvironmentVariableW(L"http_proxy", (L"http://127.0.0.1:" + ProxyPort()).c_str());
    }
    if (Widen(port) != ProxyPort() || !ProxyReaches(ProxyPort())) {
      ADD_FAILURE() << "WinHTTP looked its proxy up before the first CDDB server started";
      return;
    }
    started_ = true;
  }

  ~CddbServer() {
    if (!launched_) return;
    WriteFile(dir_ / L"stop", "");
    std::string ignored;
    EXPECT_TRUE(WaitForFile(dir_ / L"stopped", ignored)) << "the CDDB server did not stop";
  }
  CddbServer(const CddbServer&) = delete;
  CddbServer& operator=(const CddbServer&) = delete;

  bool started() const { return started_; }

  // The requests so far, in the order they came.
  std::vector<Request> Requests() const {
    std::vector<Request> requests;
    std::istringstream log(ReadFile(dir_ / L"log.txt"));
    std::string line;
    while (std::getline(log, line)) {
      std::vector<std::string> f;
      std::size_t start = 0;
      for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
        f.push_back(line.substr(start, tab - start));
      f.push_back(line.substr(start));
      f.resize(8);
      requests.push_back({f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7]});
    }
    return requests;
  }

  // The hosts that the requests named, in order.
  std::vector<std::string> Hosts() const {
    std::vector<std::string> hosts;
    for (const Request& r : Requests()) hosts.push_back(r.host);
    return hosts;
  }

  // Submission n (from 1): its submission headers as "Name: value" lines, and
  // its raw body.
  std::string SubmissionHeaders(int n) const {
    return ReadFile(dir_ / (L"submit-" + std::to_wstring(n) + L".headers"));
  }
  std::string SubmissionBody(int n) const {
    return ReadFile(dir_ / (L"submit-" + std::to_wstring(n) + L".body"));
  }

 private:
  static const DWORD kStartTimeout = 60000;
  static const DWORD kPoll = 10;

  static std::wstring& ProxyPort() {
    static std::wstring port;
    return port;
  }

  static bool ProxyReaches(const std::wstring& port) {
    WINHTTP_PROXY_INFO info{};
    if (!WinHttpGetDefaultProxyConfiguration(&info)) return false;
    const bool reaches = info.lpszProxy && std::wstring(info.lpszProxy) == L"127.0.0.1:" + port;
    if (info.lpszProxy) GlobalFree(info.lpszProxy);
    if (info.lpszProxyBypass) GlobalFree(info.lpszProxyBypass);
    return reaches;
  }

  static std::wstring Widen(const std::string& text) { return Utf8::Decode(text); }

  static std::wstring WindowsPath(const std::string& unixPath) {
    std::wstring path = L"Z:" + Widen(unixPath);
    for (wchar_t& c : path)
      if (c == L'/') c = L'\\';
    return path;
  }

  static std::wstring UnixPath(const std::wstring& path) {
    using ToUnix = char*(__cdecl*)(const wchar_t*);  // as Wine declares it
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return path;
    char* name = toUnix(path.c_str());
    if (!name) return path;
    const std::wstring result = Widen(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
  }

  static void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  static std::string ReadFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  static bool WaitForFile(const std::wstring& path, std::string& contents) {
    for (DWORD waited = 0; waited < ScaledMs(kStartTimeout); waited += kPoll) {
      if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        contents = ReadFile(path);
        return true;
      }
      Sleep(kPoll);
    }
    return false;
  }

  TempDir dir_;
  bool launched_ = false;
  bool started_ = false;
};

#pragma once
#include <windows.h>

#include <string>

#include "tests/support/LoopbackHttpServer.h"

// The loopback server as the process's HTTP proxy, so that the online client's
// requests to its default servers all reach it. WinHTTP reads the proxy once
// per process, so one server serves the whole program; the first call makes it,
// before any request.
inline LoopbackHttpServer& LoopbackProxy() {
  struct Proxy {
    Proxy() {
      SetEnvironmentVariableW(L"http_proxy",
                              (L"http://127.0.0.1:" + std::to_wstring(server.port())).c_str());
    }
    LoopbackHttpServer server;
  };
  static Proxy proxy;
  return proxy.server;
}

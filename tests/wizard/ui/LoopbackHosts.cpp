// The web hosts of the program's test builds: this machine, on the port in
// TAVRIN_TEST_HTTP_PORT (else the discard port, where nothing answers).
#include <cstdlib>

#include "wizard/UpdateCheck.h"

namespace UpdateCheck {

namespace {

Endpoint Loopback() {
  const wchar_t* port = _wgetenv(L"TAVRIN_TEST_HTTP_PORT");
  return {L"127.0.0.1", static_cast<WORD>(port ? _wtoi(port) : 9)};
}

}  // namespace

Endpoint& MakerHost() {
  static Endpoint host = Loopback();
  return host;
}

Endpoint& DatabaseHost() {
  static Endpoint host = Loopback();
  return host;
}

}  // namespace UpdateCheck

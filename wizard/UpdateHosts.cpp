#include "wizard/UpdateCheck.h"

#include <winhttp.h>

namespace UpdateCheck {

Endpoint& MakerHost() {
  static Endpoint host = {L"www.velmora.com", INTERNET_DEFAULT_HTTP_PORT};
  return host;
}

Endpoint& DatabaseHost() {
  static Endpoint host = {L"ombrel.velmora.com", INTERNET_DEFAULT_HTTP_PORT};
  return host;
}

}  // namespace UpdateCheck

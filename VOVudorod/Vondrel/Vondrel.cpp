// The local CD-database plug-in: the nine exports over the local disc cache.
#include <windows.h>

#include "VOVudorod/Vondrel/DiscSession.h"
#include "VOVudorod/api/PluginExports.h"

namespace {

const uint32_t kCapabilities = 0x0E;

}  // namespace

DB_PLUGIN_EXPORT DbSessionHandle CreateSession(const wchar_t*, const unsigned char* rawToc) {
  return DbPlugin::CreateSession(rawToc, &DiscSession::Create);
}

DB_PLUGIN_EXPORT int32_t Submit(DbSessionHandle session, int32_t revision) {
  return DbPlugin::Submit(session, revision);
}

DB_PLUGIN_EXPORT uint32_t GetConfiguration() { return kCapabilities; }

DB_PLUGIN_EXPORT int32_t Configure(void*) { return 0; }

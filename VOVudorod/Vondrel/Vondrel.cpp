// The local CD-database plug-in: the nine exports over the local disc cache.
#include <windows.h>

#include "VOVudorod/Vondrel/DiscSession.h"
#include "VOVudorod/api/PluginExports.h"

#define VONDREL_EXPORT extern "C" __declspec(dllexport)

namespace {

const uint32_t kCapabilities = 0x0E;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

VONDREL_EXPORT DbSessionHandle CreateSession(const wchar_t*, const unsigned char* rawToc) {
  return DbPlugin::CreateSession(rawToc, &DiscSession::Create);
}

VONDREL_EXPORT void CloseSession(DbSessionHandle session) { DbPlugin::CloseSession(session); }

VONDREL_EXPORT uint32_t Query(DbSessionHandle session, uint32_t index, DbMatch* out) {
  return DbPlugin::Query(session, index, out);
}

VONDREL_EXPORT uint32_t Lookup(DbSessionHandle session, uint32_t, const wchar_t* category,
                               uint32_t discId, int32_t marker, uint32_t index, DbDiscInfo* out) {
  return DbPlugin::Lookup(session, category, discId, marker, index, out);
}

VONDREL_EXPORT int32_t Submit(DbSessionHandle session, int32_t revision) {
  return DbPlugin::Submit(session, revision);
}

VONDREL_EXPORT void SetGenre(DbSessionHandle session, const DbString* genre) {
  DbPlugin::SetGenre(session, genre);
}

VONDREL_EXPORT void SetTrackInfo(DbSessionHandle session, int32_t index, const DbTrackInfo* info) {
  DbPlugin::SetTrackInfo(session, index, info);
}

VONDREL_EXPORT uint32_t GetConfiguration() { return kCapabilities; }

VONDREL_EXPORT int32_t Configure(void*) { return 0; }

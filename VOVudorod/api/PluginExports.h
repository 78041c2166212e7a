#pragma once
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/api/DbInterface.h"
#include "common/CallingConvention.h"
#include "VOVudorod/core/SessionCore.h"

// How a plug-in exports a function of the interface: cdecl, undecorated.
#define DB_PLUGIN_EXPORT extern "C" __declspec(dllexport)

// The nine exports, each of its interface type: a definition with another
// convention conflicts with its declaration here.
DB_PLUGIN_EXPORT DbSessionHandle CreateSession(const wchar_t* applicationName,
                                               const unsigned char* rawToc);
DB_PLUGIN_EXPORT void CloseSession(DbSessionHandle session);
DB_PLUGIN_EXPORT uint32_t Query(DbSessionHandle session, uint32_t index, DbMatch* out);
DB_PLUGIN_EXPORT uint32_t Lookup(DbSessionHandle session, uint32_t reserved,
                                 const wchar_t* category, uint32_t discId, int32_t marker,
                                 uint32_t index, DbDiscInfo* out);
DB_PLUGIN_EXPORT int32_t Submit(DbSessionHandle session, int32_t revision);
DB_PLUGIN_EXPORT void SetGenre(DbSessionHandle session, const DbString* genre);
DB_PLUGIN_EXPORT void SetTrackInfo(DbSessionHandle session, int32_t index, const DbTrackInfo* info);
DB_PLUGIN_EXPORT uint32_t GetConfiguration();
DB_PLUGIN_EXPORT int32_t Configure(void* parentWindow);
PIN_BINDING(CreateSessionFn, ::CreateSession);
PIN_BINDING(CloseSessionFn, ::CloseSession);
PIN_BINDING(QueryFn, ::Query);
PIN_BINDING(LookupFn, ::Lookup);
PIN_BINDING(SubmitFn, ::Submit);
PIN_BINDING(SetGenreFn, ::SetGenre);
PIN_BINDING(SetTrackInfoFn, ::SetTrackInfo);
PIN_BINDING(GetConfigurationFn, ::GetConfiguration);
PIN_BINDING(ConfigureFn, ::Configure);

// The common side of the nine exports. CloseSession, Query, Lookup, SetGenre and
// SetTrackInfo are the same in both plug-ins (SharedExports.cpp, compiled into
// each); each plug-in's CreateSession and Submit come here with its own session
// factory. Nothing thrown inside leaves these functions.
namespace DbPlugin {

using SessionFactory =
    std::unique_ptr<DbCore::SessionCore> (*)(const std::vector<unsigned char>& rawToc);

// The bytes of the raw TOC that a session is built on: the header and one
// descriptor per track and for the lead-out, but never more than the TOC's own
// data length promises.
std::vector<unsigned char> CopyRawToc(const unsigned char* rawToc);

inline DbCore::SessionHandle* FromHandle(DbSessionHandle handle) {
  return static_cast<DbCore::SessionHandle*>(handle);
}

DbSessionHandle CreateSession(const unsigned char* rawToc, SessionFactory factory);
int32_t Submit(DbSessionHandle handle, int32_t revision);

// Hands a text out: capacity 0 asks for the size; a buffer too small gets an
// empty text; otherwise the text with its NUL.
void WriteText(DbString& out, const std::wstring& text);

}  // namespace DbPlugin

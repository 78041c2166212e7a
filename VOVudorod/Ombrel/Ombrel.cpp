// The online CD-database plug-in: the nine exports over the local disc cache
// and the online CD database.
#include <windows.h>

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbSession.h"
#include "VOVudorod/Ombrel/OmbrelConfig.h"
#include "VOVudorod/Ombrel/OmbrelState.h"
#include "VOVudorod/api/PluginExports.h"
#include "common/Settings.h"

#define OMBREL_EXPORT extern "C" __declspec(dllexport)

namespace {

const wchar_t kDefaultApplication[] = L"Ombrel";
const uint32_t kCapabilities = 0x1B;
const uint32_t kAddressStored = 0x04;

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

OMBREL_EXPORT DbSessionHandle CreateSession(const wchar_t* applicationName,
                                            const unsigned char* rawToc) {
  try {
    OmbrelState::InitialiseFor(applicationName ? applicationName : kDefaultApplication);
  } catch (...) {
  }
  return DbPlugin::CreateSession(rawToc, &CddbSession::Create);
}

OMBREL_EXPORT void CloseSession(DbSessionHandle session) { DbPlugin::CloseSession(session); }

OMBREL_EXPORT uint32_t Query(DbSessionHandle session, uint32_t index, DbMatch* out) {
  return DbPlugin::Query(session, index, out);
}

OMBREL_EXPORT uint32_t Lookup(DbSessionHandle session, uint32_t, const wchar_t* category,
                              uint32_t discId, int32_t marker, uint32_t index, DbDiscInfo* out) {
  return DbPlugin::Lookup(session, category, discId, marker, index, out);
}

OMBREL_EXPORT int32_t Submit(DbSessionHandle session, int32_t revision) {
  try {
    const auto state = OmbrelState::Read();
    return DbPlugin::Submit(session, revision);
  } catch (...) {
    return 1;
  }
}

OMBREL_EXPORT void SetGenre(DbSessionHandle session, const DbString* genre) {
  DbPlugin::SetGenre(session, genre);
}

OMBREL_EXPORT void SetTrackInfo(DbSessionHandle session, int32_t index, const DbTrackInfo* info) {
  DbPlugin::SetTrackInfo(session, index, info);
}

OMBREL_EXPORT uint32_t GetConfiguration() {
  try {
    const auto state = OmbrelState::Read();
    std::wstring address;
    if (Settings::GetString(Cddb::kEmailSetting, address) && !address.empty())
      return kCapabilities | kAddressStored;
  } catch (...) {
  }
  return kCapabilities;
}

OMBREL_EXPORT int32_t Configure(void* parentWindow) {
  try {
    const auto state = OmbrelState::Read();
    COmbrelConfig dialog;
    return dialog.DoModal(static_cast<HWND>(parentWindow)) == IDOK ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

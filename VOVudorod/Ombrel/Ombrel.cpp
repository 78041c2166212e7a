// The online CD-database plug-in: the nine exports over the local disc cache
// and the online CD database.
#include <windows.h>

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbSession.h"
#include "VOVudorod/Ombrel/OmbrelConfig.h"
#include "VOVudorod/Ombrel/OmbrelState.h"
#include "VOVudorod/api/PluginExports.h"
#include "common/Settings.h"

namespace {

const wchar_t kDefaultApplication[] = L"Ombrel";
const uint32_t kCapabilities = 0x1B;
const uint32_t kAddressStored = 0x04;

}  // namespace

DB_PLUGIN_EXPORT DbSessionHandle CreateSession(const wchar_t* applicationName,
                                               const unsigned char* rawToc) {
  try {
    OmbrelState::InitialiseFor(applicationName ? applicationName : kDefaultApplication);
  } catch (...) {
  }
  return DbPlugin::CreateSession(rawToc, &CddbSession::Create);
}

DB_PLUGIN_EXPORT int32_t Submit(DbSessionHandle session, int32_t revision) {
  try {
    const auto state = OmbrelState::Read();
    return DbPlugin::Submit(session, revision);
  } catch (...) {
    return 1;
  }
}

DB_PLUGIN_EXPORT uint32_t GetConfiguration() {
  try {
    const auto state = OmbrelState::Read();
    std::wstring address;
    if (Settings::GetString(Cddb::kEmailSetting, address) && !address.empty())
      return kCapabilities | kAddressStored;
  } catch (...) {
  }
  return kCapabilities;
}

DB_PLUGIN_EXPORT int32_t Configure(void* parentWindow) {
  try {
    const auto state = OmbrelState::Read();
    COmbrelConfig dialog;
    return dialog.DoModal(static_cast<HWND>(parentWindow)) == IDOK ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

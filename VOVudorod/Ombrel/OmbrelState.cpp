#include "VOVudorod/Ombrel/OmbrelState.h"

#include <mutex>

#include "common/Localizer.h"
#include "common/Settings.h"

namespace OmbrelState {
namespace {

const wchar_t kRootPrefix[] = L"Velmora\\";

std::shared_mutex& Lock() {
  static std::shared_mutex lock;
  return lock;
}

// The application the state was set up for; empty until the first session.
std::wstring& InitialisedName() {
  static std::wstring name;
  return name;
}

}  // namespace

void InitialiseFor(const std::wstring& applicationName) {
  {
    std::shared_lock<std::shared_mutex> reading(Lock());
    if (!InitialisedName().empty() && InitialisedName() == applicationName) return;
  }
  std::unique_lock<std::shared_mutex> writing(Lock());
  if (!InitialisedName().empty() && InitialisedName() == applicationName) return;
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(kRootPrefix + applicationName);
  Localizer::Init(applicationName);
  InitialisedName() = applicationName;
}

std::shared_lock<std::shared_mutex> Read() { return std::shared_lock<std::shared_mutex>(Lock()); }

}  // namespace OmbrelState

#include "engine/cd/CdDevice.h"

#include <atomic>

#include "engine/cd/Backends.h"
#include "engine/cd/RawToc.h"

namespace CdDevice {
namespace {

// Written only while a list is built on the user-interface thread, before any
// job starts; read by the jobs afterwards.
std::atomic<int> g_backend{BackendUndecided};

}  // namespace

Backend CurrentBackend() { return static_cast<Backend>(g_backend.load()); }

int JudgeTocReply(const unsigned char* reply, size_t fetched, std::vector<unsigned char>& toc) {
  toc.clear();
  const size_t kept = RawToc::UsableLength(reply, fetched);
  if (kept == 0) return KindUnknown;
  toc.assign(reply, reply + kept);
  return RawToc::IsDataTrack(1, toc) ? KindData : KindAudio;
}

int JudgeSessionReply(const unsigned char* reply, size_t fetched) {
  if (!reply || fetched < 4) return 0;
  const unsigned first = reply[2], last = reply[3];
  return 1 <= first && first <= last && last <= 99 ? static_cast<int>(last) : 0;
}

std::vector<DriveEntry> GetDriveList() {
  switch (g_backend.load()) {
    case BackendImapi:
      return ListImapiDrives();
    case BackendDriver:
      return ListWin32Drives();
    default:
      break;
  }
  std::vector<DriveEntry> imapi = ListImapiDrives();
  std::vector<DriveEntry> driver = ListWin32Drives();
  if (imapi.size() != driver.size()) {
    const bool useImapi = imapi.size() > driver.size();
    g_backend = useImapi ? BackendImapi : BackendDriver;
    return useImapi ? imapi : driver;
  }
  if (imapi.empty()) return {};  // still undecided: the next list probes both again
  g_backend = BackendImapi;
  return imapi;
}

DriveHandle* OpenDrive(wchar_t letter) {
  switch (g_backend.load()) {
    case BackendImapi:
      return OpenImapiDrive(letter);
    case BackendDriver:
      return OpenWin32Drive(letter);
    default:
      return nullptr;
  }
}

HRESULT ReadAudioSectors(DriveHandle* drive, unsigned char* buffer, LONG lba, unsigned count) {
  const int backend = g_backend.load();
  if (backend == BackendUndecided) return E_NOTIMPL;
  if (!drive || !buffer) return E_POINTER;
  // The command's transfer length holds 8 bits; more would read fewer sectors
  // than the caller expects.
  if (count > kMaxSectorsPerRead) return E_INVALIDARG;
  return backend == BackendImapi ? ReadImapiSectors(*drive, buffer, lba, count)
                                 : ReadWin32Sectors(*drive, buffer, lba, count);
}

int ReadLastSession(DriveHandle* drive) {
  if (!drive) return 0;
  switch (g_backend.load()) {
    case BackendImapi:
      return ReadImapiLastSession(*drive);
    case BackendDriver:
      return ReadWin32LastSession(*drive);
    default:
      return 0;
  }
}

void CloseDrive(DriveHandle* drive) {
  if (!drive) return;
  if (drive->device != INVALID_HANDLE_VALUE) CloseWin32Drive(*drive);
  delete drive;
}

}  // namespace CdDevice

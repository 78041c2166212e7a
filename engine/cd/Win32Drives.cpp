#include "engine/cd/Backends.h"
#include "common/SysUtil.h"
#include "engine/cd/DriverCalls.h"
// After windows.h.
#include <winioctl.h>
#include <ntddcdrm.h>

#include <algorithm>
#include <cstdint>

namespace CdDevice {
namespace {

BOOL WINAPI SystemCloseHandle(HANDLE h) { return CloseHandle(h); }

std::wstring DevicePath(wchar_t letter) { return std::wstring(L"\\\\.\\") + letter + L':'; }

HANDLE OpenDevice(wchar_t letter) {
  return Driver().createFile(DevicePath(letter).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Closes the device through the driver table.
class Device {
 public:
  explicit Device(HANDLE h) : h_(h) {}
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device() {
    if (h_ != INVALID_HANDLE_VALUE) Driver().closeHandle(h_);
  }
  HANDLE Get() const { return h_; }

 private:
  HANDLE h_;
};

}  // namespace

DriverCalls& Driver() {
  static DriverCalls calls = {&GetDriveTypeW, &CreateFileW, &DeviceIoControl, &SystemCloseHandle};
  return calls;
}

std::vector<DriveEntry> ListWin32Drives() {
  std::vector<DriveEntry> list;
  for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
    const wchar_t root[] = {letter, L':', L'\\', 0};
    if (Driver().getDriveType(root) != DRIVE_CDROM) continue;
    DriveEntry entry;
    entry.letter = letter;
    Device device(OpenDevice(letter));
    if (device.Get() != INVALID_HANDLE_VALUE) {
      unsigned char reply[kTocBufferBytes] = {};
      DWORD returned = 0;
      if (Driver().deviceIoControl(device.Get(), IOCTL_CDROM_READ_TOC, nullptr, 0, reply,
                                   sizeof reply, &returned, nullptr))
        entry.kind = JudgeTocReply(reply, std::min<DWORD>(returned, sizeof reply), entry.toc);
    }
    FillShellInfo(entry);
    list.push_back(entry);
  }
  return list;
}

DriveHandle* OpenWin32Drive(wchar_t letter) {
  const HANDLE h = OpenDevice(letter);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  auto* drive = new DriveHandle;
  drive->device = h;
  return drive;
}

HRESULT ReadWin32Sectors(DriveHandle& drive, unsigned char* buffer, LONG lba, unsigned count) {
  if (drive.device == INVALID_HANDLE_VALUE) return E_HANDLE;
  RAW_READ_INFO info = {};
  info.DiskOffset.QuadPart = static_cast<LONGLONG>(uint64_t(static_cast<ULONG>(lba)) * 2048);
  info.SectorCount = count;
  info.TrackMode = CDDA;
  const DWORD size = count * kSectorBytes;
  DWORD returned = 0;
  if (!Driver().deviceIoControl(drive.device, IOCTL_CDROM_RAW_READ, &info, sizeof info, buffer,
                                size, &returned, nullptr))
    return SysUtil::LastErrorResult();
  // A transfer that delivered less than asked for did not read the sectors.
  return returned < size ? HRESULT_FROM_WIN32(ERROR_READ_FAULT) : S_OK;
}

int ReadWin32LastSession(DriveHandle& drive) {
  if (drive.device == INVALID_HANDLE_VALUE) return 0;
  // The class driver answers this with READ TOC format 1.
  unsigned char reply[kSessionReplyBytes] = {};
  DWORD returned = 0;
  if (!Driver().deviceIoControl(drive.device, IOCTL_CDROM_GET_LAST_SESSION, nullptr, 0, reply,
                                sizeof reply, &returned, nullptr))
    return 0;
  return JudgeSessionReply(reply, std::min<DWORD>(returned, sizeof reply));
}

void CloseWin32Drive(DriveHandle& drive) {
  Device closing(drive.device);
  drive.device = INVALID_HANDLE_VALUE;
}

}  // namespace CdDevice

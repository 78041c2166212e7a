#pragma once
// What the two reading back-ends share inside the CD layer.
#include <windows.h>

#include "common/ComPtr.h"
#include "engine/cd/CdDevice.h"

namespace CdDevice {

struct DriveHandle {
  HANDLE device = INVALID_HANDLE_VALUE;  // driver back-end
  ComPtr<IDiscRecorder2Ex> recorder;     // IMAPI2 back-end
};

DriveHandle* OpenImapiDrive(wchar_t letter);
HRESULT ReadImapiSectors(DriveHandle& drive, unsigned char* buffer, LONG lba, unsigned count);
int ReadImapiLastSession(DriveHandle& drive);

DriveHandle* OpenWin32Drive(wchar_t letter);
HRESULT ReadWin32Sectors(DriveHandle& drive, unsigned char* buffer, LONG lba, unsigned count);
int ReadWin32LastSession(DriveHandle& drive);
void CloseWin32Drive(DriveHandle& drive);

}  // namespace CdDevice

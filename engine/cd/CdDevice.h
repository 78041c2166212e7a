#pragma once
// The optical drives of the machine: the drive list with each disc's kind and
// raw table of contents, raw audio reading, the IMAPI2 recorder of a drive
// letter and IMAPI2 error texts. Reading goes through one of two back-ends,
// IMAPI2 pass-through or the CD-ROM driver, chosen once per process run when
// the drive list is first built. COM must be initialised on the calling thread.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "common/ComPtr.h"
#include "engine/cd/imapi2/Imapi2.h"

namespace CdDevice {

constexpr DWORD kSectorBytes = 2352;
constexpr unsigned kMaxSectorsPerRead = 255;
// READ TOC allocation: header and 100 descriptors (99 tracks and the lead-out).
constexpr unsigned kTocBufferBytes = 804;
// READ TOC format 1: header and the descriptor of the last session's first track.
constexpr unsigned kSessionReplyBytes = 12;

enum DiscKind { KindUnknown = 1, KindAudio = 2, KindData = 3 };
enum Backend { BackendUndecided = 0, BackendImapi = 1, BackendDriver = 2 };

struct DriveEntry {
  wchar_t letter = 0;  // 'C'..'Z'
  int kind = KindUnknown;
  wchar_t displayName[64] = {};
  wchar_t typeName[64] = {};
  // The shell's icon of the drive root, destroyed with the last copy of the entry.
  std::shared_ptr<std::remove_pointer<HICON>::type> icon;
  int iconHeight = 0;
  std::vector<unsigned char> toc;  // READ TOC format 0 reply (MSF), header included
};

struct DriveHandle;

std::vector<DriveEntry> GetDriveList();
std::vector<DriveEntry> ListImapiDrives();
std::vector<DriveEntry> ListWin32Drives();
Backend CurrentBackend();

void FillShellInfo(DriveEntry& entry);

// Letter 0: every recorder with a drive-letter volume; else at most the one
// whose volume root is that letter.
std::vector<ComPtr<IDiscRecorder2>> FindRecorders(wchar_t letter);
// Finds the first drive root ("X:\") among the volume path names, of the
// letter (any letter when 0, case-insensitive). Destroys the array in every case.
bool FindVolumeRoot(SAFEARRAY* volumePathNames, wchar_t letter, std::wstring& root);

// Null when the drive cannot be opened or no back-end is decided.
DriveHandle* OpenDrive(wchar_t letter);
// 0 on success, else an HRESULT (IMAPI2 reports a device error with the
// success-class S_IMAPI_COMMAND_HAS_SENSE_DATA, so test against 0).
HRESULT ReadAudioSectors(DriveHandle* drive, unsigned char* buffer, LONG lba, unsigned count);
// The number of the disc's last session, from the drive's session information
// (READ TOC format 1); 0 when the drive does not tell.
int ReadLastSession(DriveHandle* drive);
void CloseDrive(DriveHandle* drive);

std::wstring GetImapiErrorText(HRESULT hr);

// The table-of-contents rules shared by both back-ends: from a READ TOC reply
// of `fetched` bytes, the TOC to keep (empty when the reply is not a usable
// TOC) and the disc kind.
int JudgeTocReply(const unsigned char* reply, size_t fetched, std::vector<unsigned char>& toc);
// The same for session information: the last session's number from a READ TOC
// format 1 reply of `fetched` bytes, 0 when the reply tells none.
int JudgeSessionReply(const unsigned char* reply, size_t fetched);

}  // namespace CdDevice

// The CD-ROM driver back-end through a stand-in driver, and the choice between
// the two back-ends. The choice is made once per process: each scenario runs
// in a process of its own (ctest starts one per test) and skips otherwise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "engine/cd/CdDevice.h"
#include "engine/cd/DriverCalls.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"
// After windows.h.
#include <winioctl.h>
#include <ntddcdrm.h>

namespace {

// Plays the CD-ROM class driver for the drives of a description, by letter.
struct StubDriver {
  std::map<wchar_t, VirtualDisc::Drive> drives;
  std::map<int32_t, uint32_t> tries;
  std::vector<RAW_READ_INFO> reads;
  std::vector<DWORD> readSizes;
  int openHandles = 0;
  DWORD failError = ERROR_CRC;  // the error a failing read reports
};
StubDriver* g_stub = nullptr;

HANDLE ToHandle(wchar_t letter) { return reinterpret_cast<HANDLE>(0x4000 + letter); }
const VirtualDisc::Drive* FromHandle(HANDLE h) {
  const auto it = g_stub->drives.find(wchar_t(reinterpret_cast<uintptr_t>(h) - 0x4000));
  return it == g_stub->drives.end() ? nullptr : &it->second;
}

UINT WINAPI StubDriveType(LPCWSTR root) {
  return g_stub->drives.count(root[0]) ? DRIVE_CDROM : DRIVE_FIXED;
}

HANDLE WINAPI StubCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                             DWORD disposition, DWORD flags, HANDLE) {
  const std::wstring n = name;
  if (n.size() != 6 || n.compare(0, 4, L"\\\\.\\") || n[5] != L':' || access != GENERIC_READ ||
      share != FILE_SHARE_READ || disposition != OPEN_EXISTING || flags != FILE_ATTRIBUTE_NORMAL)
    return INVALID_HANDLE_VALUE;
  const auto it = g_stub->drives.find(n[4]);
  // A drive whose id says so cannot be opened.
  if (it == g_stub->drives.end() || it->second.id == L"locked") return INVALID_HANDLE_VALUE;
  ++g_stub->openHandles;
  return ToHandle(n[4]);
}

BOOL WINAPI StubIoControl(HANDLE h, DWORD code, LPVOID in, DWORD inSize, LPVOID out, DWORD outSize,
                          LPDWORD returned, LPOVERLAPPED) {
  const VirtualDisc::Drive* d = FromHandle(h);
  *returned = 0;
  if (!d || !d->hasDisc) {
    SetLastError(ERROR_NOT_READY);
    return FALSE;
  }
  if ((code == IOCTL_CDROM_READ_TOC || code == IOCTL_CDROM_GET_LAST_SESSION) && !in && !inSize) {
    const auto reply =
        code == IOCTL_CDROM_READ_TOC ? VirtualDisc::TocReply(*d) : VirtualDisc::SessionReply(*d);
    if (reply.empty()) {
      SetLastError(ERROR_INVALID_FUNCTION);
      return FALSE;
    }
    *returned = DWORD(std::min<size_t>(reply.size(), outSize));
    std::memcpy(out, reply.data(), *returned);
    return TRUE;
  }
  if (code != IOCTL_CDROM_RAW_READ || inSize != sizeof(RAW_READ_INFO)) {
    SetLastError(ERROR_INVALID_FUNCTION);
    return FALSE;
  }
  const RAW_READ_INFO info = *static_cast<RAW_READ_INFO*>(in);
  g_stub->reads.push_back(info);
  g_stub->readSizes.push_back(outSize);
  const int32_t lba = int32_t(uint64_t(info.DiskOffset.QuadPart) / 2048);
  bool failed = lba < 0 || lba + int64_t(info.SectorCount) > d->leadOut ||
                outSize < info.SectorCount * VirtualDisc::kSectorBytes || info.TrackMode != CDDA;
  for (uint32_t i = 0; i < info.SectorCount && !failed; ++i)
    failed = VirtualDisc::Fails(*d, lba + int32_t(i), g_stub->tries);
  if (failed) {
    SetLastError(g_stub->failError);
    return FALSE;
  }
  auto* bytes = static_cast<unsigned char*>(out);
  for (uint32_t i = 0; i < info.SectorCount; ++i)
    VirtualDisc::FillSector(*d, lba + int32_t(i), bytes + i * VirtualDisc::kSectorBytes);
  *returned = info.SectorCount * VirtualDisc::kSectorBytes;
  return TRUE;
}

BOOL WINAPI StubClose(HANDLE h) {
  if (!FromHandle(h)) return FALSE;
  --g_stub->openHandles;
  return TRUE;
}

class CdDriver : public ::testing::Test {
 protected:
  void SetUp() override {
    if (CdDevice::CurrentBackend() != CdDevice::BackendUndecided)
      GTEST_SKIP() << "the back-end is chosen once per process; run this test on its own";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    g_stub = &stub_;
    saved_ = CdDevice::Driver();
    CdDevice::Driver() = {&StubDriveType, &StubCreateFile, &StubIoControl, &StubClose};
  }
  void TearDown() override {
    if (!g_stub) return;
    CdDevice::Driver() = saved_;
    g_stub = nullptr;
    CoUninitialize();
  }
  // Driver drives by letter, from a description whose ids are the letters.
  void DriverDrives(const std::string& text) {
    VirtualDisc::Description d;
    std::string error;
    ASSERT_TRUE(VirtualDisc::Parse(text, d, error)) << error;
    stub_.drives.clear();
    for (const auto& drive : d.drives) stub_.drives[drive.volumes.at(0)[0]] = drive;
  }

  StubDriver stub_;
  CdDevice::DriverCalls saved_{};
  VirtualDriveSetup vdrive_;
};

const char kOneRecorder[] =
    "[drive]\nid = VD-E\nvolumes = E:\\\ntrack = 0 audio 441\nleadout = 900\n";

TEST_F(CdDriver, MoreDriverDrivesChooseTheDriverForTheWholeRun) {
  vdrive_.Describe(kOneRecorder);
  DriverDrives(R"(
[drive]
id = locked
volumes = K:\
[drive]
id = audio
volumes = D:\
first = 2
track = 0 audio 441
track = 2000 audio 882
session = 3
leadout = 4000
fail = 3000-3003
)");
  const auto list = CdDevice::GetDriveList();
  EXPECT_EQ(CdDevice::CurrentBackend(), CdDevice::BackendDriver);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].letter, L'D');  // letters C to Z
  EXPECT_EQ(list[0].kind, CdDevice::KindAudio);
  EXPECT_EQ(list[0].toc, VirtualDisc::TocReply(stub_.drives[L'D']));
  EXPECT_EQ(list[1].letter, L'K');  // listed although it does not open
  EXPECT_EQ(list[1].kind, CdDevice::KindUnknown);
  EXPECT_TRUE(list[1].toc.empty());
  EXPECT_NE(list[1].icon, nullptr);
  EXPECT_EQ(stub_.openHandles, 0);

  // Later lists no longer ask IMAPI2.
  vdrive_.TakeLog();
  EXPECT_EQ(CdDevice::GetDriveList().size(), 2u);
  EXPECT_TRUE(vdrive_.TakeLog().empty());

  // A drive's icon lives as long as a copy of its entry, and no longer.
  auto iconAlive = [](HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info)) return false;
    DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    return true;
  };
  HICON icon = nullptr;
  {
    CdDevice::DriveEntry copy = CdDevice::GetDriveList()[1];
    icon = copy.icon.get();
    EXPECT_TRUE(iconAlive(icon));
  }
  EXPECT_FALSE(iconAlive(icon));
  EXPECT_TRUE(iconAlive(list[1].icon.get()));

  CdDevice::DriveHandle* drive = CdDevice::OpenDrive(L'D');
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(CdDevice::OpenDrive(L'E'), nullptr);  // IMAPI2's drive is not reachable now
  std::vector<unsigned char> got(7 * CdDevice::kSectorBytes), want(got.size());
  ASSERT_EQ(CdDevice::ReadAudioSectors(drive, got.data(), 1997, 7), S_OK);
  for (int i = 0; i < 7; ++i)
    VirtualDisc::FillSector(stub_.drives[L'D'], 1997 + i, &want[i * CdDevice::kSectorBytes]);
  EXPECT_TRUE(got == want);
  EXPECT_EQ(stub_.reads.back().DiskOffset.QuadPart, 1997LL * 2048);
  EXPECT_EQ(stub_.reads.back().SectorCount, 7u);
  EXPECT_EQ(stub_.reads.back().TrackMode, CDDA);
  EXPECT_EQ(stub_.readSizes.back(), 7 * CdDevice::kSectorBytes);

  // Failures come back as the driver's Win32 error.
  EXPECT_EQ(CdDevice::ReadAudioSectors(drive, got.data(), 2998, 7), HRESULT(0x80070017));
  stub_.failError = 0;  // a failure without an error code is still a failure
  EXPECT_EQ(CdDevice::ReadAudioSectors(drive, got.data(), 2998, 7), E_FAIL);
  // A negative LBA is passed on as an unsigned offset.
  CdDevice::ReadAudioSectors(drive, got.data(), -150, 1);
  EXPECT_EQ(uint64_t(stub_.reads.back().DiskOffset.QuadPart), 0xFFFFFF6AULL * 2048);

  // The session information: the second track opens the last session, and a
  // driver that does not answer tells no session.
  EXPECT_EQ(CdDevice::ReadLastSession(drive), 2);
  stub_.drives[L'D'].sessionInfo = false;
  EXPECT_EQ(CdDevice::ReadLastSession(drive), 0);
  CdDevice::CloseDrive(drive);
  EXPECT_EQ(stub_.openHandles, 0);
}

TEST_F(CdDriver, EqualCountsChooseImapi) {
  vdrive_.Describe(kOneRecorder);
  DriverDrives("[drive]\nid = x\nvolumes = D:\\\ntrack = 0 audio\nleadout = 300\n");
  const auto list = CdDevice::GetDriveList();
  EXPECT_EQ(CdDevice::CurrentBackend(), CdDevice::BackendImapi);
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].letter, L'E');
}

TEST_F(CdDriver, NoDrivesAtAllLeaveTheChoiceOpen) {
  EXPECT_TRUE(CdDevice::GetDriveList().empty());
  EXPECT_EQ(CdDevice::CurrentBackend(), CdDevice::BackendUndecided);
  EXPECT_EQ(CdDevice::OpenDrive(L'E'), nullptr);
  unsigned char sector[CdDevice::kSectorBytes];
  EXPECT_EQ(CdDevice::ReadAudioSectors(nullptr, sector, 0, 1), E_NOTIMPL);

  // A drive that shows up later decides it at the next list.
  vdrive_.Describe(kOneRecorder);
  EXPECT_EQ(CdDevice::GetDriveList().size(), 1u);
  EXPECT_EQ(CdDevice::CurrentBackend(), CdDevice::BackendImapi);
}

}  // namespace

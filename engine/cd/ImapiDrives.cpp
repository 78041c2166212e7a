#include <algorithm>
#include <cwctype>
#include <set>

#include "engine/cd/Backends.h"

namespace CdDevice {
namespace {

constexpr ULONG kCommandTimeoutSeconds = 20;

ComPtr<IDiscRecorder2Ex> CreateRecorderEx() {
  ComPtr<IDiscRecorder2Ex> ex;
  CoCreateInstance(Imapi2::CLSID_MsftDiscRecorder2, nullptr, CLSCTX_INPROC_SERVER,
                   __uuidof(IDiscRecorder2Ex), ex.PutVoid());
  return ex;
}

// READ TOC/PMA/ATIP in MSF of the given format into `reply` (its size is the
// allocation length); the bytes fetched, 0 when the command failed.
ULONG ReadToc(IDiscRecorder2Ex* ex, BYTE format, std::vector<unsigned char>& reply) {
  const ULONG size = static_cast<ULONG>(reply.size());
  BYTE cdb[10] = {0x43, 0x02, format, 0x00, 0x00, 0x00, 0x00, BYTE(size >> 8), BYTE(size), 0x00};
  BYTE sense[Imapi2::kSenseSize] = {};
  ULONG fetched = 0;
  if (ex->SendCommandGetDataFromDevice(cdb, sizeof cdb, sense, kCommandTimeoutSeconds, reply.data(),
                                       size, &fetched) != S_OK)
    return 0;
  return std::min(fetched, size);
}

// The recorder's drive root, empty when it has none.
std::wstring DriveRoot(IDiscRecorder2* recorder, wchar_t letter) {
  SAFEARRAY* names = nullptr;
  std::wstring root;
  if (recorder->get_VolumePathNames(&names) == S_OK) FindVolumeRoot(names, letter, root);
  return root;
}

}  // namespace

bool FindVolumeRoot(SAFEARRAY* names, wchar_t letter, std::wstring& root) {
  if (!names) return false;
  bool found = false;
  VARTYPE type = VT_EMPTY;
  LONG lower = 0, upper = -1;
  if (SafeArrayGetDim(names) == 1 && SafeArrayGetVartype(names, &type) == S_OK &&
      type == VT_VARIANT && SafeArrayGetLBound(names, 1, &lower) == S_OK &&
      SafeArrayGetUBound(names, 1, &upper) == S_OK) {
    for (LONG i = lower; i <= upper && !found; ++i) {
      VARIANT v;
      VariantInit(&v);
      if (SafeArrayGetElement(names, &i, &v) == S_OK && v.vt == VT_BSTR && v.bstrVal &&
          SysStringLen(v.bstrVal) == 3 && v.bstrVal[1] == L':' && v.bstrVal[2] == L'\\' &&
          (letter == 0 || std::towupper(v.bstrVal[0]) == std::towupper(letter))) {
        root.assign(v.bstrVal, 3);
        found = true;
      }
      VariantClear(&v);
    }
  }
  SafeArrayDestroy(names);
  return found;
}

std::vector<ComPtr<IDiscRecorder2>> FindRecorders(wchar_t letter) {
  std::vector<ComPtr<IDiscRecorder2>> found;
  ComPtr<IDiscMaster2> master;
  if (CoCreateInstance(Imapi2::CLSID_MsftDiscMaster2, nullptr, CLSCTX_INPROC_SERVER,
                       __uuidof(IDiscMaster2), master.PutVoid()) != S_OK)
    return found;
  if (!CreateRecorderEx()) return found;  // the platform must offer both classes
  VARIANT_BOOL supported = VARIANT_FALSE;
  master->get_IsSupportedEnvironment(&supported);
  ComPtr<IEnumVARIANT> ids;
  if (master->get__NewEnum(ids.Put()) != S_OK || !ids) return found;
  ids->Reset();
  std::set<std::wstring> seen;
  for (;;) {
    VARIANT id;
    VariantInit(&id);
    ULONG fetched = 0;
    if (ids->Next(1, &id, &fetched) != S_OK || fetched != 1) {
      VariantClear(&id);
      break;
    }
    ComPtr<IDiscRecorder2Ex> ex = CreateRecorderEx();
    ComPtr<IDiscRecorder2> recorder;
    if (!ex || ex.As(recorder) != S_OK) {
      VariantClear(&id);
      break;
    }
    const bool fresh = id.vt == VT_BSTR && id.bstrVal && seen.insert(id.bstrVal).second;
    if (fresh && recorder->InitializeDiscRecorder(id.bstrVal) == S_OK &&
        !DriveRoot(recorder.Get(), letter).empty())
      found.push_back(recorder);
    VariantClear(&id);
    if (letter && !found.empty()) break;
  }
  return found;
}

std::vector<DriveEntry> ListImapiDrives() {
  std::vector<DriveEntry> list;
  for (const ComPtr<IDiscRecorder2>& recorder : FindRecorders(0)) {
    DriveEntry entry;
    const std::wstring root = DriveRoot(recorder.Get(), 0);
    if (root.empty()) continue;  // its volumes changed since the search
    entry.letter = static_cast<wchar_t>(std::towupper(root[0]));
    ComPtr<IDiscRecorder2Ex> ex;
    if (recorder.As(ex) == S_OK) {
      std::vector<unsigned char> reply(kTocBufferBytes, 0);
      const ULONG fetched = ReadToc(ex.Get(), 0, reply);
      if (fetched != 0) entry.kind = JudgeTocReply(reply.data(), fetched, entry.toc);
    }
    FillShellInfo(entry);
    list.push_back(entry);
  }
  return list;
}

DriveHandle* OpenImapiDrive(wchar_t letter) {
  const auto recorders = FindRecorders(letter);
  if (recorders.empty()) return nullptr;
  auto* drive = new DriveHandle;
  if (recorders.front().As(drive->recorder) != S_OK) {
    delete drive;
    return nullptr;
  }
  return drive;
}

HRESULT ReadImapiSectors(DriveHandle& drive, unsigned char* buffer, LONG lba, unsigned count) {
  if (!drive.recorder) return E_HANDLE;
  const ULONG a = static_cast<ULONG>(lba);
  BYTE cdb[12] = {0xBE, 0x04, BYTE(a >> 24), BYTE(a >> 16), BYTE(a >> 8), BYTE(a),
                  0x00, 0x00, BYTE(count),   0x10,          0x00,         0x00};
  BYTE sense[Imapi2::kSenseSize] = {};
  const ULONG size = count * kSectorBytes;
  ULONG fetched = 0;
  const HRESULT hr = drive.recorder->SendCommandGetDataFromDevice(
      cdb, sizeof cdb, sense, kCommandTimeoutSeconds, buffer, size, &fetched);
  // A transfer that delivered less than asked for did not read the sectors.
  if (hr == S_OK && fetched < size) return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
  return hr;
}

int ReadImapiLastSession(DriveHandle& drive) {
  if (!drive.recorder) return 0;
  std::vector<unsigned char> reply(kSessionReplyBytes, 0);
  return JudgeSessionReply(reply.data(), ReadToc(drive.recorder.Get(), 1, reply));
}

}  // namespace CdDevice

#include "wizard/pages/RecorderMedia.h"

#include <windows.h>
#include <oleauto.h>

#include <vector>

#include "engine/cd/CdDevice.h"

namespace RecorderMedia {

const wchar_t kPlatformWriter[] = L"MsftDiscFormat2RawCD";

namespace {

const ULONG kAtipTimeoutSeconds = 10;
const ULONG kAtipBytes = 128;
// MSF in CD frames; the 150 frames before LBA 0 are counted.
const int32_t kLbaOffset = 150;

int32_t Frames(const BYTE* msf) { return msf[0] * 4500 + msf[1] * 75 + msf[2]; }

// The current profiles: none (an empty list), or whether one is a CD-R or CD-RW.
bool ReadProfiles(IDiscRecorder2* recorder, bool& empty, bool& cd) {
  SAFEARRAY* profiles = nullptr;
  if (recorder->get_CurrentProfiles(&profiles) != S_OK || !profiles) return false;
  VARTYPE type = VT_EMPTY;
  LONG lower = 0, upper = -1;
  SafeArrayGetVartype(profiles, &type);
  SafeArrayGetLBound(profiles, 1, &lower);
  SafeArrayGetUBound(profiles, 1, &upper);
  empty = upper < lower;
  cd = false;
  for (LONG i = lower; i <= upper; ++i) {
    LONG profile = 0;
    if (type == VT_VARIANT) {
      VARIANT v;
      VariantInit(&v);
      if (SafeArrayGetElement(profiles, &i, &v) == S_OK &&
          VariantChangeType(&v, &v, 0, VT_I4) == S_OK)
        profile = v.lVal;
      VariantClear(&v);
    } else if (type == VT_I4) {
      SafeArrayGetElement(profiles, &i, &profile);
    }
    if (profile == Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE ||
        profile == Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE)
      cd = true;
  }
  SafeArrayDestroy(profiles);
  return true;
}

// The ATIP's last possible lead-out start, 0 when the drive gives none.
int32_t AtipCapacity(IDiscRecorder2Ex* ex) {
  BYTE cdb[10] = {0x43, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, kAtipBytes, 0x00};
  BYTE sense[Imapi2::kSenseSize] = {};
  BYTE reply[kAtipBytes] = {};
  ULONG fetched = 0;
  if (ex->SendCommandGetDataFromDevice(cdb, sizeof cdb, sense, kAtipTimeoutSeconds, reply,
                                       kAtipBytes, &fetched) != S_OK ||
      fetched <= 15)
    return 0;
  return Frames(reply + 12);
}

void ReadDiscInformation(IDiscRecorder2Ex* ex, RecorderInfo& info) {
  BYTE* data = nullptr;
  ULONG size = 0;
  if (ex->GetDiscInformation(&data, &size) != S_OK || !data) return;
  if (size > 2) {
    info.erasable = (data[2] & 0x10) != 0;
    info.blank = (data[2] & 0x03) == 0;
  }
  info.capacity = 0;
  if (info.blank && size >= 24 && data[20] != 0xFF) info.capacity = Frames(data + 21);
  CoTaskMemFree(data);
  if (info.capacity == 0 && info.erasable) info.capacity = AtipCapacity(ex);
}

}  // namespace

int Probe(const ComPtr<IDiscRecorder2>& recorder, RecorderInfo (&infos)[kLetters],
          std::wstring& root) {
  ComPtr<IDiscRecorder2Ex> ex;
  if (recorder.As(ex) != S_OK) return kSkip;
  BYTE* page = nullptr;
  ULONG size = 0;
  if (ex->GetFeaturePage(Imapi2::IMAPI_FEATURE_PAGE_TYPE_CD_MASTERING, FALSE, &page, &size) != S_OK)
    return kSkip;
  const BYTE bits = page && size > 7 ? page[4] : 0;
  CoTaskMemFree(page);
  const bool raw = (bits & 0x18) != 0;
  if (!raw) return kNotRaw;

  SAFEARRAY* names = nullptr;
  if (recorder->get_VolumePathNames(&names) != S_OK || !CdDevice::FindVolumeRoot(names, 0, root))
    return kSkip;
  const int letter = (root[0] & ~0x20) - 64;
  if (letter < 1 || letter > 26) return kSkip;

  RecorderInfo& info = infos[letter];
  info.recorder = recorder;
  info.rewritable = (bits & 0x02) != 0;
  info.rawSubchannel = (bits & 0x01) != 0;
  info.erasable = info.blank = false;
  info.noMedium = true;
  info.capacity = 0;
  bool empty = true, cd = false;
  if (ReadProfiles(recorder.Get(), empty, cd)) info.noMedium = empty;
  if (cd) ReadDiscInformation(ex.Get(), info);
  return letter;
}

int StateOf(const RecorderInfo& info) {
  // An erasable disc, blank or written, is of use only to a recorder that writes CD-RW.
  if (info.erasable && !info.rewritable) return 0;
  return info.blank ? 3 : info.erasable ? 2 : 0;
}

Verdict Judge(const RecorderInfo& info, uint32_t leadOut, const std::wstring& writeEngine) {
  if (writeEngine == kPlatformWriter && leadOut > kPlatformWriterLimit)
    return {false,
            L"Due to a limitation of the Windows-Recording engine you cannot burn discs with more "
            L"than 74 minutes.{IMAPI_LIMIT}"};
  if (StateOf(info) == 0)
    return {false, info.noMedium ? L"No or invalid disc{NO_MEDIA}"
                                 : L"TAVRIN cannot record to this disc{INCOMPATIBLE_MEDIA}"};
  // The capacity counts the frames before LBA 0, the lead-out address does not.
  if (static_cast<int64_t>(info.capacity) - kLbaOffset < static_cast<int64_t>(leadOut))
    return {false, L"disc too small{COMPATIBLE_MEDIA_NOSPACE}"};
  if (info.blank) return {true, L"valid empty recordable CD{COMPATIBLE_EMPTY_MEDIA}"};
  return {true, L"overwritable disc{COMPATIBLE_MEDIA}"};
}

}  // namespace RecorderMedia

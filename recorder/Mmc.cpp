#include "recorder/Mmc.h"

#include <algorithm>

#include "common/ComPtr.h"
#include "recorder/ComSupport.h"

namespace Recorder {
namespace Mmc {
namespace {

constexpr ULONG kPerformanceReply = 520, kAtipReply = 128;
constexpr ULONG kUnlimited = 0xFFFFFFFF;

ULONG BigEndian32(const BYTE* p) {
  return ULONG(p[0]) << 24 | ULONG(p[1]) << 16 | ULONG(p[2]) << 8 | p[3];
}

HRESULT Ex(IDiscRecorder2* recorder, ComPtr<IDiscRecorder2Ex>& ex) {
  if (!recorder) return E_INVALIDARG;
  return recorder->QueryInterface(__uuidof(IDiscRecorder2Ex), ex.PutVoid());
}

LONG Frames(const BYTE* msf) { return LONG(msf[0]) * 4500 + LONG(msf[1]) * 75 + msf[2]; }

}  // namespace

LONG SectorsPerSecond(ULONG kb) {
  if (kb == kUnlimited) return -1;
  const unsigned long long sps = (static_cast<unsigned long long>(kb) * 1000 + 2351) / 2352;
  return static_cast<LONG>(std::min<unsigned long long>(sps, 0x7FFFFFFF));
}

HRESULT Send(IDiscRecorder2Ex* recorder, std::initializer_list<BYTE> cdb, ULONG timeout) {
  return ComCall([&]() -> HRESULT {
    std::vector<BYTE> block(cdb);
    BYTE sense[Imapi2::kSenseSize] = {};
    return recorder->SendCommandNoData(block.data(), static_cast<ULONG>(block.size()), sense,
                                       timeout);
  });
}

HRESULT Receive(IDiscRecorder2Ex* recorder, std::initializer_list<BYTE> cdb, ULONG timeout,
                ULONG size, std::vector<BYTE>& reply) {
  return ComCall([&]() -> HRESULT {
    std::vector<BYTE> block(cdb);
    BYTE sense[Imapi2::kSenseSize] = {};
    reply.assign(size, 0);
    ULONG fetched = 0;
    const HRESULT hr =
        recorder->SendCommandGetDataFromDevice(block.data(), static_cast<ULONG>(block.size()),
                                               sense, timeout, reply.data(), size, &fetched);
    reply.resize(hr == S_OK ? std::min(fetched, size) : 0);
    return hr;
  });
}

HRESULT QueryFeatures(IDiscRecorder2* recorder, Features& features) {
  features = Features();
  ComPtr<IDiscRecorder2Ex> ex;
  HRESULT hr = Ex(recorder, ex);
  if (hr != S_OK) return hr;
  TaskBuffer page;
  hr = ex->GetFeaturePage(Imapi2::IMAPI_FEATURE_PAGE_TYPE_CD_MASTERING, FALSE, &page.data,
                          &page.size);
  if (FAILED(hr)) return hr;
  if (page.data && page.size >= 8) {
    const BYTE flags = page.data[4];
    features.raw = flags & 0x18;
    features.bufferUnderrunFree = flags & 0x40;
    features.rewritable = flags & 0x02;
    features.rwSubchannel = flags & 0x01;
    features.testWrite = flags & 0x04;
  }
  return S_OK;
}

HRESULT QueryCurrentProfiles(IDiscRecorder2* recorder, std::vector<BYTE>& profiles) {
  return ComCall([&]() -> HRESULT {
    profiles.clear();
    ComPtr<IDiscRecorder2Ex> ex;
    HRESULT hr = Ex(recorder, ex);
    if (hr != S_OK) return hr;
    Imapi2::IMAPI_PROFILE_TYPE* list = nullptr;
    ULONG count = 0;
    hr = ex->GetSupportedProfiles(TRUE, &list, &count);
    if (SUCCEEDED(hr) && list)
      for (ULONG i = 0; i < count; ++i) profiles.push_back(static_cast<BYTE>(list[i] & 0xFF));
    CoTaskMemFree(list);
    return FAILED(hr) ? hr : S_OK;
  });
}

HRESULT QueryMediaInfo(IDiscRecorder2* recorder, MediaInfo& info) {
  return ComCall([&]() -> HRESULT {
    info = MediaInfo();
    ComPtr<IDiscRecorder2Ex> ex;
    HRESULT hr = Ex(recorder, ex);
    if (hr != S_OK) return hr;
    std::vector<BYTE> profiles;
    hr = QueryCurrentProfiles(recorder, profiles);
    if (FAILED(hr)) return hr;
    if (!profiles.empty()) info.profile = profiles.back();
    if (info.profile != Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE &&
        info.profile != Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE)
      return S_OK;
    TaskBuffer disc;
    hr = ex->GetDiscInformation(&disc.data, &disc.size);
    if (FAILED(hr)) return hr;
    if (disc.data && disc.size >= 24) {
      const BYTE status = disc.data[2] & 3;
      info.physicallyBlank = info.heuristicallyBlank = status == 0;
      info.erasable = disc.data[2] & 0x10;
      if (info.physicallyBlank && disc.data[20] != 0xFF)
        info.lastLeadOutStart = Frames(disc.data + 21);
    }
    if (info.lastLeadOutStart == 0 && (info.physicallyBlank || info.erasable)) {
      std::vector<BYTE> atip;
      if (Receive(ex.Get(), {0x43, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x00},
                  kShortTimeout, kAtipReply, atip) == S_OK &&
          atip.size() > 15)
        info.lastLeadOutStart = Frames(atip.data() + 12);
    }
    return S_OK;
  });
}

HRESULT QueryWriteSpeed(IDiscRecorder2* recorder, WriteSpeed& speed) {
  return ComCall([&]() -> HRESULT {
    speed = WriteSpeed();
    if (!recorder) return E_INVALIDARG;
    ComPtr<IDiscRecorder2Ex> ex;
    if (Ex(recorder, ex) != S_OK) return E_NOINTERFACE;
    Send(ex.Get(), {0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, kLongTimeout);
    {
      TaskBuffer capabilities;  // asked for as the drive expects; the answer is not used
      ex->GetModePage(Imapi2::IMAPI_MODE_PAGE_TYPE_LEGACY_CAPABILITIES,
                      Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES, &capabilities.data,
                      &capabilities.size);
    }
    std::vector<BYTE> reply;
    const HRESULT hr = Receive(ex.Get(), {0xAC, 0x14, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0x00, 0x00},
                               kLongTimeout, kPerformanceReply, reply);
    if (FAILED(hr)) return hr;
    if (reply.size() <= 8 || reply[4] != 2 || reply.size() < 16) return E_FAIL;
    ULONG start = BigEndian32(&reply[12]);
    ULONG end = BigEndian32(&reply[reply.size() - 4]);
    speed.pureCav = start != end && reply.size() == 24;
    if (start != kUnlimited) {
      speed.start = SectorsPerSecond(start);
      speed.end = SectorsPerSecond(end);
    } else {
      speed.start = -1;
      speed.end = static_cast<LONG>(end);
    }
    return S_OK;
  });
}

HRESULT QueryWriteSpeedDescriptors(IDiscRecorder2* recorder, std::vector<SpeedDescriptor>& list) {
  return ComCall([&]() -> HRESULT {
    list.clear();
    ComPtr<IDiscRecorder2Ex> ex;
    HRESULT hr = Ex(recorder, ex);
    if (hr != S_OK) return hr;
    std::vector<BYTE> reply;
    hr = Receive(ex.Get(), {0xAC, 0x00, 0, 0, 0, 0, 0, 0, 0x00, 0x20, 0x03, 0x00}, kLongTimeout,
                 kPerformanceReply, reply);
    if (FAILED(hr)) return hr;
    for (std::size_t at = 8; at + 16 <= reply.size(); at += 16)
      list.push_back({SectorsPerSecond(BigEndian32(&reply[at + 12])), (reply[at] & 0x08) != 0});
    return S_OK;
  });
}

HRESULT ApplyWriteSpeed(IDiscRecorder2Ex* recorder, LONG sps, bool pureCav) {
  unsigned long long kb = 0xFFFF;
  if (sps != -1)
    kb = std::min<unsigned long long>(
        0xFFFF, static_cast<unsigned long long>(std::max<LONG>(sps, 0)) * 2352 / 1000);
  return Send(recorder,
              {0xBB, BYTE(pureCav ? 1 : 0), 0xFF, 0xFF, BYTE(kb >> 8), BYTE(kb), 0, 0, 0, 0, 0, 0},
              kLongTimeout);
}

}  // namespace Mmc
}  // namespace Recorder

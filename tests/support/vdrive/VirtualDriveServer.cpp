// An in-process COM server that plays the system's disc master and recorders
// for the tests: registered under their class ids in the test prefix, it
// serves the drives of the description named by TAVRIN_VDRIVE_DISCS, answers
// READ TOC and READ CD as an MMC drive does (sense data on errors), and logs
// every command to the file named by TAVRIN_VDRIVE_LOG.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "engine/cd/imapi2/Imapi2.h"
#include "tests/support/vdrive/ServerCommon.h"
#include "tests/support/vdrive/VirtualDisc.h"

namespace {

using namespace VirtualServer;

void Put32(std::vector<BYTE>& r, std::size_t at, uint32_t v) {
  r[at] = BYTE(v >> 24);
  r[at + 1] = BYTE(v >> 16);
  r[at + 2] = BYTE(v >> 8);
  r[at + 3] = BYTE(v);
}

void PutMsf(BYTE* p, int32_t frames) {
  p[0] = BYTE(frames / 4500);
  p[1] = BYTE(frames / 75 % 60);
  p[2] = BYTE(frames % 75);
}

// GET PERFORMANCE: write performance (type 0) or write speed descriptors (type 3).
HRESULT Performance(const VirtualDisc::Drive& d, const BYTE* cdb, BYTE* sense,
                    std::vector<BYTE>& r) {
  const VirtualDisc::Writer& w = d.writer;
  if (w.profile == 0) return Sense(sense, kNotReady, 0x3A);
  if (cdb[10] == 0x00 && (cdb[1] & 0x04) && !w.performance.empty()) {
    r.assign(8 + 16 * w.performance.size(), 0);
    r[4] = 0x02;  // write performance, nominal
    for (std::size_t i = 0; i < w.performance.size(); ++i) {
      Put32(r, 8 + 16 * i + 4, w.performance[i].startKb);
      Put32(r, 8 + 16 * i + 8, 359999);
      Put32(r, 8 + 16 * i + 12, w.performance[i].endKb);
    }
  } else if (cdb[10] == 0x03 && !w.speeds.empty()) {
    r.assign(8 + 16 * w.speeds.size(), 0);
    for (std::size_t i = 0; i < w.speeds.size(); ++i) {
      r[8 + 16 * i] = w.speeds[i].cav ? 0x08 : 0x00;
      Put32(r, 8 + 16 * i + 4, 359999);
      Put32(r, 8 + 16 * i + 8, w.speeds[i].kb);
      Put32(r, 8 + 16 * i + 12, w.speeds[i].kb);
    }
  } else {
    return Sense(sense, kIllegalRequest, 0x24);  // the drive reports no such data
  }
  Put32(r, 0, uint32_t(r.size() - 4));
  return S_OK;
}

// READ TOC/PMA/ATIP format 4 of a recordable medium.
HRESULT Atip(const VirtualDisc::Drive& d, BYTE* sense, std::vector<BYTE>& r) {
  const VirtualDisc::Writer& w = d.writer;
  if (w.profile != 9 && w.profile != 10) return Sense(sense, kIllegalRequest, 0x24);
  r.assign(28, 0);
  r[1] = 26;
  if (w.capacityFrames >= 0) PutMsf(&r[12], w.capacityFrames);
  return S_OK;
}

HRESULT TaskCopy(const std::vector<BYTE>& bytes, BYTE** out, ULONG* size) {
  *out = static_cast<BYTE*>(CoTaskMemAlloc(bytes.size()));
  if (!*out) return E_OUTOFMEMORY;
  std::memcpy(*out, bytes.data(), bytes.size());
  *size = static_cast<ULONG>(bytes.size());
  return S_OK;
}

std::string Hex(const BYTE* p, ULONG n) {
  std::string text;
  char h[4];
  for (ULONG i = 0; i < n; ++i) {
    std::snprintf(h, sizeof h, "%02X", p[i]);
    text += h;
  }
  return text;
}

HRESULT ReadToc(const VirtualDisc::Drive& d, const BYTE* cdb, BYTE* sense, BYTE* buf, ULONG size,
                ULONG* fetched) {
  if (!d.hasDisc) return Sense(sense, kNotReady, 0x3A);  // medium not present
  const int format = cdb[2] & 0x0F;
  if (format > 1 || !(cdb[1] & 0x02)) return Sense(sense, kIllegalRequest, 0x24);
  const std::vector<unsigned char> reply =
      format == 0 ? VirtualDisc::TocReply(d) : VirtualDisc::SessionReply(d);
  if (reply.empty()) return Sense(sense, kIllegalRequest, 0x24);
  const ULONG alloc = (ULONG(cdb[7]) << 8) | cdb[8];
  ULONG n = static_cast<ULONG>(reply.size());
  if (n > alloc) n = alloc;
  if (n > size) n = size;
  std::memcpy(buf, reply.data(), n);
  *fetched = n;
  return S_OK;
}

HRESULT ReadCd(const VirtualDisc::Drive& d, VirtualDisc::ImageFile& image,
               std::map<int32_t, uint32_t>& tries, const BYTE* cdb, BYTE* sense, BYTE* buf,
               ULONG size, ULONG* fetched) {
  if (!d.hasDisc) return Sense(sense, kNotReady, 0x3A);
  const int32_t lba = static_cast<int32_t>((uint32_t(cdb[2]) << 24) | (uint32_t(cdb[3]) << 16) |
                                           (uint32_t(cdb[4]) << 8) | cdb[5]);
  const uint32_t count = (uint32_t(cdb[6]) << 16) | (uint32_t(cdb[7]) << 8) | cdb[8];
  const BYTE expected = (cdb[1] >> 2) & 7;  // 1 = CD-DA
  if (cdb[9] != 0x10 || cdb[10] != 0 || (expected != 0 && expected != 1))
    return Sense(sense, kIllegalRequest, 0x24);  // only plain user data is played
  if (uint64_t(count) * VirtualDisc::kSectorBytes > size)
    return Sense(sense, kIllegalRequest, 0x24);
  if (lba < 0 || int64_t(lba) + count > d.leadOut)
    return Sense(sense, kIllegalRequest, 0x21);  // LBA out of range
  uint32_t delay = 0;
  bool failed = false;
  for (uint32_t i = 0; i < count; ++i) {
    const int32_t s = lba + static_cast<int32_t>(i);
    const int t = VirtualDisc::TrackAt(d, s);
    if (expected == 1 && t >= 0 && d.tracks[t].data)
      return Sense(sense, kIllegalRequest, 0x64);  // illegal mode for this track
    delay = std::max(delay, VirtualDisc::SlowMillis(d, s));
    failed = VirtualDisc::Fails(d, s, tries) || failed;
  }
  if (delay) Sleep(delay);
  if (failed) return Sense(sense, kMediumError, 0x11);  // unrecovered read error
  for (uint32_t i = 0; i < count; ++i)
    VirtualDisc::FillSector(d, image, lba + static_cast<int32_t>(i),
                            buf + i * VirtualDisc::kSectorBytes);
  *fetched = count * VirtualDisc::kSectorBytes;
  return S_OK;
}

class IdEnum : public IEnumVARIANT, public Unknown<IdEnum> {
 public:
  explicit IdEnum(std::vector<std::wstring> ids) : ids_(std::move(ids)) {}
  TAVRIN_UNKNOWN_METHODS
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
      *out = static_cast<IEnumVARIANT*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG n, VARIANT* items, ULONG* fetched) override {
    ULONG got = 0;
    while (got < n && next_ < ids_.size()) {
      VariantInit(&items[got]);
      items[got].vt = VT_BSTR;
      items[got].bstrVal = SysAllocString(ids_[next_++].c_str());
      ++got;
    }
    if (fetched) *fetched = got;
    return got == n ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
    next_ += n;
    return next_ <= ids_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    auto* copy = new IdEnum(ids_);
    copy->next_ = next_;
    *out = copy;
    return S_OK;
  }

 private:
  std::vector<std::wstring> ids_;
  size_t next_ = 0;
};

class DiscMaster : public IDiscMaster2, public Unknown<DiscMaster> {
 public:
  TAVRIN_UNKNOWN_METHODS
  TAVRIN_NO_TYPEINFO
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IDiscMaster2)) {
      *out = static_cast<IDiscMaster2*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE get__NewEnum(IEnumVARIANT** out) override {
    if (!out) return E_POINTER;
    *out = new IdEnum(Ids());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, BSTR* value) override {
    if (!value) return E_POINTER;
    const auto ids = Ids();
    if (index < 0 || static_cast<size_t>(index) >= ids.size()) return E_INVALIDARG;
    *value = SysAllocString(ids[index].c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_Count(LONG* value) override {
    if (!value) return E_POINTER;
    *value = static_cast<LONG>(Ids().size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_IsSupportedEnvironment(VARIANT_BOOL* value) override {
    if (!value) return E_POINTER;
    *value = VARIANT_TRUE;
    return S_OK;
  }

 private:
  static std::vector<std::wstring> Ids() {
    std::lock_guard<std::mutex> lock(g_lock);
    std::vector<std::wstring> ids;
    for (const auto& d : Current().drives) ids.push_back(d.id);
    return ids;
  }
};

class Recorder : public IDiscRecorder2, public IDiscRecorder2Ex, public Unknown<Recorder> {
 public:
  TAVRIN_UNKNOWN_METHODS
  TAVRIN_NO_TYPEINFO
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(IDiscRecorder2)) {
      *out = static_cast<IDiscRecorder2*>(this);
    } else if (iid == __uuidof(IDiscRecorder2Ex)) {
      *out = static_cast<IDiscRecorder2Ex*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }

  // IDiscRecorder2
  HRESULT STDMETHODCALLTYPE EjectMedia() override {
    std::lock_guard<std::mutex> lock(g_lock);
    if (const VirtualDisc::Drive* d = Find()) StateOf(*d).ejected = true;
    LogCall(id_, "EjectMedia", S_OK);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CloseTray() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AcquireExclusiveAccess(VARIANT_BOOL force, BSTR client) override {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "AcquireExclusiveAccess") : E_UNEXPECTED;
    if (hr == S_OK && !client) hr = E_POINTER;
    std::string name;
    for (const wchar_t* c = client; c && *c; ++c) name += static_cast<char>(*c);
    if (hr == S_OK) StateOf(*d).exclusiveOwner = client;
    LogCall(id_,
            "AcquireExclusiveAccess force=" + std::string(force ? "1" : "0") + " client=" + name,
            hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ReleaseExclusiveAccess() override {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    const HRESULT hr = d ? ScriptedFailure(*d, "ReleaseExclusiveAccess") : E_UNEXPECTED;
    if (hr == S_OK) StateOf(*d).exclusiveOwner.clear();
    LogCall(id_, "ReleaseExclusiveAccess", hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE DisableMcn() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableMcn() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InitializeDiscRecorder(BSTR id) override {
    if (!id) return E_POINTER;
    if (!id_.empty()) return E_UNEXPECTED;  // initialised once
    std::wstring hold;
    {
      std::lock_guard<std::mutex> lock(g_lock);
      if (const VirtualDisc::Drive* d = FindDrive(id))
        hold = ScriptedHold(*d, "InitializeDiscRecorder");
    }
    WaitForRelease(hold);
    std::lock_guard<std::mutex> lock(g_lock);
    for (const auto& d : Current().drives)
      if (d.id == id) {
        id_ = id;
        return S_OK;
      }
    return E_INVALIDARG;
  }
  HRESULT STDMETHODCALLTYPE get_ActiveDiscRecorder(BSTR* value) override {
    return Text(value, id_);
  }
  HRESULT STDMETHODCALLTYPE get_VendorId(BSTR* value) override { return Text(value, L"TAVRIN"); }
  HRESULT STDMETHODCALLTYPE get_ProductId(BSTR* value) override {
    return Text(value, L"Virtual CD-RW");
  }
  HRESULT STDMETHODCALLTYPE get_ProductRevision(BSTR* value) override {
    return Text(value, L"1.0");
  }
  HRESULT STDMETHODCALLTYPE get_VolumeName(BSTR* value) override {
    return Text(value, L"\\\\?\\Volume{" + id_ + L"}\\");
  }
  HRESULT STDMETHODCALLTYPE get_VolumePathNames(SAFEARRAY** value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (id_.empty()) return NotInitialized();
    std::vector<std::wstring> volumes;
    {
      std::lock_guard<std::mutex> lock(g_lock);
      if (const auto* d = Find()) volumes = d->volumes;
    }
    SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(volumes.size()));
    if (!a) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(volumes.size()); ++i) {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_BSTR;
      v.bstrVal = SysAllocString(volumes[i].c_str());
      SafeArrayPutElement(a, &i, &v);
      VariantClear(&v);
    }
    *value = a;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_DeviceCanLoadMedia(VARIANT_BOOL* value) override {
    if (!value) return E_POINTER;
    *value = VARIANT_TRUE;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_LegacyDeviceNumber(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SupportedFeaturePages(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CurrentFeaturePages(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SupportedProfiles(SAFEARRAY**) override { return E_NOTIMPL; }
  // The profile of the medium as VT_I4 variants; empty without a medium.
  HRESULT STDMETHODCALLTYPE get_CurrentProfiles(SAFEARRAY** value) override {
    if (!value) return E_POINTER;
    *value = nullptr;
    if (id_.empty()) return NotInitialized();
    std::vector<LONG> profiles;
    {
      std::lock_guard<std::mutex> lock(g_lock);
      const VirtualDisc::Drive* d = Find();
      if (!d) return E_UNEXPECTED;
      if (!StateOf(*d).ejected && (d->writer.profile != 0 || d->hasDisc))
        profiles.push_back(d->writer.profile ? d->writer.profile : 8);
    }
    SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(profiles.size()));
    if (!a) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(profiles.size()); ++i) {
      VARIANT v;
      VariantInit(&v);
      v.vt = VT_I4;
      v.lVal = profiles[i];
      SafeArrayPutElement(a, &i, &v);
    }
    *value = a;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_SupportedModePages(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ExclusiveAccessOwner(BSTR*) override { return E_NOTIMPL; }

  // IDiscRecorder2Ex
  HRESULT STDMETHODCALLTYPE SendCommandNoData(BYTE* cdb, ULONG cdbSize, BYTE sense[18],
                                              ULONG timeout) override {
    HRESULT hr = Sense(sense, kIllegalRequest, 0x20);  // invalid command
    if (cdb && cdbSize >= 6) {
      std::lock_guard<std::mutex> lock(g_lock);
      const auto* d = Find();
      const bool medium = d && (d->hasDisc || d->writer.profile != 0);
      switch (cdb[0]) {
        case 0x00:  // TEST UNIT READY
          hr = medium ? S_OK : Sense(sense, kNotReady, 0x3A);
          break;
        case 0x1E:  // PREVENT ALLOW MEDIUM REMOVAL
          if (d) StateOf(*d).locked = cdb[4] & 1;
          hr = d ? S_OK : hr;
          break;
        case 0x1B:  // START STOP UNIT
        case 0xBB:  // SET CD SPEED
        case 0x35:  // SYNCHRONIZE CACHE
          hr = d ? S_OK : hr;
          break;
        case 0x54:  // SEND OPC INFORMATION
          hr = medium ? S_OK : Sense(sense, kNotReady, 0x3A);
          break;
      }
    }
    Log(id_, cdb, cdbSize, timeout, 0, hr, 0);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SendCommandSendDataToDevice(BYTE* cdb, ULONG cdbSize, BYTE sense[18],
                                                        ULONG timeout, BYTE*, ULONG size) override {
    const HRESULT hr = Sense(sense, kIllegalRequest, 0x20);
    Log(id_, cdb, cdbSize, timeout, size, hr, 0);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SendCommandGetDataFromDevice(BYTE* cdb, ULONG cdbSize, BYTE sense[18],
                                                         ULONG timeout, BYTE* buf, ULONG size,
                                                         ULONG* fetched) override {
    if (!cdb || !buf || !fetched) return E_POINTER;
    *fetched = 0;
    HRESULT hr = NotInitialized();
    if (!id_.empty()) {
      std::unique_lock<std::mutex> lock(g_lock);
      const VirtualDisc::Drive* d = Find();
      if (!d) {
        hr = Sense(sense, kNotReady, 0x3A);
      } else if ((cdb[0] == 0xAC && cdbSize >= 12) ||
                 (cdb[0] == 0x43 && cdbSize >= 10 && (cdb[2] & 0x0F) == 4)) {
        std::vector<BYTE> reply;
        hr = cdb[0] == 0xAC ? Performance(*d, cdb, sense, reply) : Atip(*d, sense, reply);
        if (hr == S_OK) {
          const ULONG n = std::min<ULONG>(size, static_cast<ULONG>(reply.size()));
          std::memcpy(buf, reply.data(), n);
          *fetched = n;
        }
      } else if (cdb[0] == 0x43 && cdbSize >= 10) {
        hr = ReadToc(*d, cdb, sense, buf, size, fetched);
      } else if (cdb[0] == 0xBE && cdbSize >= 12) {
        // Copy what the read needs, so that a slow read does not hold the lock.
        VirtualDisc::Drive drive = *d;
        auto& tries = g_loaded.tries[id_];
        std::map<int32_t, uint32_t> mine = tries;
        lock.unlock();
        hr = ReadCd(drive, image_, mine, cdb, sense, buf, size, fetched);
        lock.lock();
        for (const auto& t : mine) g_loaded.tries[id_][t.first] = t.second;
      } else {
        hr = Sense(sense, kIllegalRequest, 0x20);
      }
    }
    Log(id_, cdb, cdbSize, timeout, size, hr, *fetched);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE ReadDvdStructure(ULONG, ULONG, ULONG, ULONG, BYTE**, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SendDvdStructure(ULONG, BYTE*, ULONG) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAdapterDescriptor(BYTE**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDeviceDescriptor(BYTE**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetDiscInformation(BYTE** data, ULONG* size) override {
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "GetDiscInformation") : E_UNEXPECTED;
    if (hr == S_OK && d->writer.profile == 0 && !d->hasDisc)
      hr = Imapi2::E_IMAPI_RECORDER_MEDIA_NO_MEDIA;
    if (hr == S_OK) {
      const VirtualDisc::Writer& w = d->writer;
      const int status = d->writer.profile == 9 || d->writer.profile == 10 ? StateOf(*d).status : 2;
      std::vector<BYTE> info(34, 0);
      info[1] = 32;
      info[2] = BYTE((w.profile == 10 ? 0x10 : 0x00) | status | (status == 2 ? 0x0C : 0));
      info[3] = 1;
      if (status == 0 && w.leadInFrames >= 0) {
        PutMsf(&info[17], w.leadInFrames);
      } else {
        info[17] = info[18] = info[19] = 0xFF;
      }
      if (status == 0 && w.capacityFrames >= 0 && !w.capacityInAtipOnly) {
        PutMsf(&info[21], w.capacityFrames);
      } else {
        info[20] = info[21] = info[22] = info[23] = 0xFF;
      }
      hr = TaskCopy(info, data, size);
    }
    LogCall(id_, "GetDiscInformation", hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetTrackInformation(ULONG, Imapi2::IMAPI_READ_TRACK_ADDRESS_TYPE,
                                                BYTE**, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFeaturePage(Imapi2::IMAPI_FEATURE_PAGE_TYPE feature,
                                           BOOLEAN currentOnly, BYTE** data, ULONG* size) override {
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "GetFeaturePage") : E_UNEXPECTED;
    if (hr == S_OK && feature != Imapi2::IMAPI_FEATURE_PAGE_TYPE_CD_MASTERING)
      hr = Imapi2::E_IMAPI_RECORDER_NO_SUCH_FEATURE;
    if (hr == S_OK)
      hr = TaskCopy({0x00, 0x2E, 0x03, 0x04, d->writer.mastering, 0x00, 0xFF, 0xFF}, data, size);
    LogCall(id_,
            "GetFeaturePage " + std::to_string(feature) + " current=" + std::to_string(currentOnly),
            hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetModePage(Imapi2::IMAPI_MODE_PAGE_TYPE page,
                                        Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE request, BYTE** data,
                                        ULONG* size) override {
    if (!data || !size) return E_POINTER;
    *data = nullptr;
    *size = 0;
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "GetModePage") : E_UNEXPECTED;
    if (hr == S_OK && request != Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES)
      hr = E_INVALIDARG;
    if (hr == S_OK && page == Imapi2::IMAPI_MODE_PAGE_TYPE_WRITE_PARAMETERS)
      hr = TaskCopy(StateOf(*d).writeParameters, data, size);
    else if (hr == S_OK && page == Imapi2::IMAPI_MODE_PAGE_TYPE_LEGACY_CAPABILITIES)
      hr = TaskCopy(std::vector<BYTE>{0x2A, 0x02, 0x3F, 0x37}, data, size);
    else if (hr == S_OK)
      hr = Imapi2::E_IMAPI_RECORDER_NO_SUCH_MODE_PAGE;
    LogCall(id_, "GetModePage " + std::to_string(page), hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE request, BYTE* data,
                                        ULONG size) override {
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "SetModePage") : E_UNEXPECTED;
    if (hr == S_OK && (!data || request != Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE_CURRENT_VALUES))
      hr = E_INVALIDARG;
    // Only the write parameters page, whole, is taken.
    if (hr == S_OK && (size < 2 || data[0] != 0x05 || size != ULONG(data[1]) + 2))
      hr = Imapi2::E_IMAPI_RECORDER_INVALID_MODE_PARAMETERS;
    if (hr == S_OK) StateOf(*d).writeParameters.assign(data, data + size);
    LogCall(id_, "SetModePage " + (data ? Hex(data, size) : std::string()), hr);
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetSupportedFeaturePages(BOOLEAN, Imapi2::IMAPI_FEATURE_PAGE_TYPE**,
                                                     ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetSupportedProfiles(BOOLEAN currentOnly,
                                                 Imapi2::IMAPI_PROFILE_TYPE** profiles,
                                                 ULONG* count) override {
    if (!profiles || !count) return E_POINTER;
    *profiles = nullptr;
    *count = 0;
    std::lock_guard<std::mutex> lock(g_lock);
    const VirtualDisc::Drive* d = Find();
    HRESULT hr = d ? ScriptedFailure(*d, "GetSupportedProfiles") : E_UNEXPECTED;
    std::vector<Imapi2::IMAPI_PROFILE_TYPE> list;
    if (!currentOnly) {
      list = {Imapi2::IMAPI_PROFILE_TYPE_CDROM, Imapi2::IMAPI_PROFILE_TYPE_CD_RECORDABLE,
              Imapi2::IMAPI_PROFILE_TYPE_CD_REWRITABLE};
    } else if (d && (d->writer.profile != 0 || d->hasDisc)) {
      list = {static_cast<Imapi2::IMAPI_PROFILE_TYPE>(d->writer.profile ? d->writer.profile : 8)};
    }
    if (hr == S_OK && !list.empty()) {
      *profiles = static_cast<Imapi2::IMAPI_PROFILE_TYPE*>(
          CoTaskMemAlloc(list.size() * sizeof(Imapi2::IMAPI_PROFILE_TYPE)));
      if (!*profiles) return E_OUTOFMEMORY;
      std::memcpy(*profiles, list.data(), list.size() * sizeof(Imapi2::IMAPI_PROFILE_TYPE));
      *count = static_cast<ULONG>(list.size());
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE GetSupportedModePages(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE,
                                                  Imapi2::IMAPI_MODE_PAGE_TYPE**, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetByteAlignmentMask(ULONG* value) override { return Number(value, 0); }
  HRESULT STDMETHODCALLTYPE GetMaximumNonPageAlignedTransferSize(ULONG* value) override {
    return Number(value, 65536);
  }
  HRESULT STDMETHODCALLTYPE GetMaximumPageAlignedTransferSize(ULONG* value) override {
    return Number(value, 65536);
  }

 private:
  // A recorder used before InitializeDiscRecorder.
  static HRESULT NotInitialized() { return E_UNEXPECTED; }
  static HRESULT Text(BSTR* out, const std::wstring& s) {
    if (!out) return E_POINTER;
    *out = SysAllocString(s.c_str());
    return S_OK;
  }
  static HRESULT Number(ULONG* out, ULONG v) {
    if (!out) return E_POINTER;
    *out = v;
    return S_OK;
  }
  // Under g_lock.
  const VirtualDisc::Drive* Find() const {
    for (const auto& d : Current().drives)
      if (d.id == id_) return &d;
    return nullptr;
  }
  std::wstring id_;
  VirtualDisc::ImageFile image_;  // the disc image being read, if the disc is one
};

class Factory : public IClassFactory {
 public:
  explicit Factory(IUnknown* (*create)()) : create_(create) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    IUnknown* object = create_();
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_objects : --g_objects;
    return S_OK;
  }

 private:
  IUnknown* (*create_)();
};

IUnknown* NewMaster() { return static_cast<IDiscMaster2*>(new DiscMaster); }
IUnknown* NewRecorder() { return static_cast<IDiscRecorder2*>(new Recorder); }

struct ServedClass {
  const CLSID& clsid;
  const wchar_t* name;
  Factory factory;
};
ServedClass g_classes[] = {
    {Imapi2::CLSID_MsftDiscMaster2, L"Virtual disc master", Factory(NewMaster)},
    {Imapi2::CLSID_MsftDiscRecorder2, L"Virtual disc recorder", Factory(NewRecorder)},
    {Imapi2::CLSID_MsftWriteEngine2, L"Virtual write engine", Factory(NewWriteEngine)},
    {Imapi2::CLSID_MsftDiscFormat2Erase, L"Virtual eraser", Factory(NewEraser)},
    {Imapi2::CLSID_MsftDiscFormat2RawCD, L"Virtual raw-CD writer", Factory(NewRawCdWriter)},
};

std::wstring ClsidKey(const CLSID& clsid) {
  wchar_t text[64];
  StringFromGUID2(clsid, text, 64);
  return std::wstring(L"CLSID\\") + text;
}

HRESULT Register(const CLSID& clsid, const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (!n || n == MAX_PATH) return E_FAIL;
  const std::wstring key = ClsidKey(clsid);
  HKEY h = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr))
    return SELFREG_E_CLASS;
  RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                 static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, (key + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                      KEY_WRITE, nullptr, &h, nullptr))
    return SELFREG_E_CLASS;
  static const wchar_t model[] = L"Both";
  LONG r = RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                          (n + 1) * sizeof(wchar_t));
  if (!r)
    r = RegSetValueExW(h, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(model),
                       sizeof model);
  RegCloseKey(h);
  return r ? SELFREG_E_CLASS : S_OK;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH) {
    CloseLog();
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (ServedClass& c : g_classes)
    if (clsid == c.clsid) return c.factory.QueryInterface(iid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

// Not the platform's: a test lets go of the command log before it removes
// the log's folder, while the server stays loaded.
void STDAPICALLTYPE CloseCommandLog() { CloseLog(); }

// Idempotent: run again, it writes the same keys.
HRESULT STDAPICALLTYPE DllRegisterServer() {
  for (const ServedClass& c : g_classes) {
    const HRESULT hr = Register(c.clsid, c.name);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  for (const ServedClass& c : g_classes)
    RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey(c.clsid).c_str());
  return S_OK;
}

}  // extern "C"

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
#include "tests/support/vdrive/VirtualDisc.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

// ---- the description, reloaded when its file changes -------------------------

struct Loaded {
  std::wstring path;
  FILETIME written{};
  VirtualDisc::Description description;
  std::map<std::wstring, std::map<int32_t, uint32_t>> tries;  // per drive id
};
std::mutex g_lock;
Loaded g_loaded;

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

// Under g_lock.
const VirtualDisc::Description& Current() {
  const std::wstring path = Env(L"TAVRIN_VDRIVE_DISCS");
  WIN32_FILE_ATTRIBUTE_DATA attr{};
  const bool exists =
      !path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr);
  if (!exists) {
    g_loaded = Loaded();
    return g_loaded.description;
  }
  if (path != g_loaded.path || CompareFileTime(&attr.ftLastWriteTime, &g_loaded.written) != 0) {
    g_loaded = Loaded();
    std::string error;
    if (VirtualDisc::Load(path, g_loaded.description, error)) {
      g_loaded.path = path;
      g_loaded.written = attr.ftLastWriteTime;
    } else {
      g_loaded.description = VirtualDisc::Description();
      OutputDebugStringA(error.c_str());
    }
  }
  return g_loaded.description;
}

// The log stays open (appending) while its name stays the same, until the
// server is unloaded.
struct OpenLog {
  std::mutex lock;
  std::wstring path;
  HANDLE h = INVALID_HANDLE_VALUE;
  void Close() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    path.clear();
  }
};
OpenLog g_log;

void Log(const std::wstring& id, const BYTE* cdb, ULONG cdbSize, ULONG timeout, ULONG bufSize,
         HRESULT hr, ULONG fetched) {
  const std::wstring path = Env(L"TAVRIN_VDRIVE_LOG");
  if (path.empty()) return;
  std::string line;
  for (wchar_t c : id) line += static_cast<char>(c);
  line += " cdb=";
  char hex[4];
  for (ULONG i = 0; i < cdbSize; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", cdb[i]);
    line += hex;
  }
  char tail[96];
  std::snprintf(tail, sizeof tail, " timeout=%lu buf=%lu hr=%08lX fetched=%lu\n", timeout, bufSize,
                static_cast<unsigned long>(hr), fetched);
  line += tail;
  std::lock_guard<std::mutex> lock(g_log.lock);
  std::wstring& openPath = g_log.path;
  HANDLE& h = g_log.h;
  if (path != openPath) {
    g_log.Close();
    openPath = path;
    h = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  DWORD put = 0;
  if (h != INVALID_HANDLE_VALUE)
    WriteFile(h, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
}

// ---- MMC command execution -----------------------------------------------------

HRESULT Sense(BYTE* sense, BYTE key, BYTE asc, BYTE ascq = 0) {
  if (sense) {
    std::memset(sense, 0, Imapi2::kSenseSize);
    sense[0] = 0x70;  // current error, fixed format
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
  }
  return Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA;
}
constexpr BYTE kNotReady = 2, kMediumError = 3, kIllegalRequest = 5;

HRESULT ReadToc(const VirtualDisc::Drive& d, const BYTE* cdb, BYTE* sense, BYTE* buf, ULONG size,
                ULONG* fetched) {
  if (!d.hasDisc) return Sense(sense, kNotReady, 0x3A);  // medium not present
  if ((cdb[2] & 0x0F) != 0 || !(cdb[1] & 0x02)) return Sense(sense, kIllegalRequest, 0x24);
  const std::vector<unsigned char> reply = VirtualDisc::TocReply(d);
  const ULONG alloc = (ULONG(cdb[7]) << 8) | cdb[8];
  ULONG n = static_cast<ULONG>(reply.size());
  if (n > alloc) n = alloc;
  if (n > size) n = size;
  std::memcpy(buf, reply.data(), n);
  *fetched = n;
  return S_OK;
}

HRESULT ReadCd(const VirtualDisc::Drive& d, std::map<int32_t, uint32_t>& tries, const BYTE* cdb,
               BYTE* sense, BYTE* buf, ULONG size, ULONG* fetched) {
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
    VirtualDisc::FillSector(d, lba + static_cast<int32_t>(i), buf + i * VirtualDisc::kSectorBytes);
  *fetched = count * VirtualDisc::kSectorBytes;
  return S_OK;
}

// ---- COM objects ----------------------------------------------------------------------

template <class Derived>
class Unknown {
 public:
  Unknown() { ++g_objects; }
  virtual ~Unknown() { --g_objects; }
  ULONG AddRefImpl() { return ++count_; }
  ULONG ReleaseImpl() {
    const ULONG n = --count_;
    if (!n) delete static_cast<Derived*>(this);
    return n;
  }

 private:
  std::atomic<ULONG> count_{1};
};

#define TAVRIN_UNKNOWN_METHODS                                       \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); } \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

#define TAVRIN_NO_TYPEINFO                                                                        \
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {                                  \
    if (n) *n = 0;                                                                                \
    return S_OK;                                                                                  \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {                       \
    return TYPE_E_ELEMENTNOTFOUND;                                                                \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {      \
    return DISP_E_UNKNOWNNAME;                                                                    \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, \
                                   UINT*) override {                                              \
    return DISP_E_MEMBERNOTFOUND;                                                                 \
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
  HRESULT STDMETHODCALLTYPE EjectMedia() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE CloseTray() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AcquireExclusiveAccess(VARIANT_BOOL, BSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ReleaseExclusiveAccess() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DisableMcn() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE EnableMcn() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InitializeDiscRecorder(BSTR id) override {
    if (!id) return E_POINTER;
    if (!id_.empty()) return E_UNEXPECTED;  // initialised once
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
  HRESULT STDMETHODCALLTYPE get_CurrentProfiles(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_SupportedModePages(SAFEARRAY**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_ExclusiveAccessOwner(BSTR*) override { return E_NOTIMPL; }

  // IDiscRecorder2Ex
  HRESULT STDMETHODCALLTYPE SendCommandNoData(BYTE* cdb, ULONG cdbSize, BYTE sense[18],
                                              ULONG timeout) override {
    HRESULT hr = Sense(sense, kIllegalRequest, 0x20);  // invalid command
    if (cdb && cdbSize >= 6 && cdb[0] == 0x00) {       // TEST UNIT READY
      std::lock_guard<std::mutex> lock(g_lock);
      const auto* d = Find();
      hr = d && d->hasDisc ? S_OK : Sense(sense, kNotReady, 0x3A);
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
      } else if (cdb[0] == 0x43 && cdbSize >= 10) {
        hr = ReadToc(*d, cdb, sense, buf, size, fetched);
      } else if (cdb[0] == 0xBE && cdbSize >= 12) {
        // Copy what the read needs, so that a slow read does not hold the lock.
        VirtualDisc::Drive drive = *d;
        auto& tries = g_loaded.tries[id_];
        std::map<int32_t, uint32_t> mine = tries;
        lock.unlock();
        hr = ReadCd(drive, mine, cdb, sense, buf, size, fetched);
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
  HRESULT STDMETHODCALLTYPE GetDiscInformation(BYTE**, ULONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrackInformation(ULONG, Imapi2::IMAPI_READ_TRACK_ADDRESS_TYPE,
                                                BYTE**, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetFeaturePage(Imapi2::IMAPI_FEATURE_PAGE_TYPE, BOOLEAN, BYTE**,
                                           ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetModePage(Imapi2::IMAPI_MODE_PAGE_TYPE,
                                        Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE, BYTE**,
                                        ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetModePage(Imapi2::IMAPI_MODE_PAGE_REQUEST_TYPE, BYTE*,
                                        ULONG) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetSupportedFeaturePages(BOOLEAN, Imapi2::IMAPI_FEATURE_PAGE_TYPE**,
                                                     ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetSupportedProfiles(BOOLEAN, Imapi2::IMAPI_PROFILE_TYPE**,
                                                 ULONG*) override {
    return E_NOTIMPL;
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
};

class Factory : public IClassFactory {
 public:
  explicit Factory(bool master) : master_(master) {}
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
    IUnknown* object = master_ ? static_cast<IUnknown*>(static_cast<IDiscMaster2*>(new DiscMaster))
                               : static_cast<IUnknown*>(static_cast<IDiscRecorder2*>(new Recorder));
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_objects : --g_objects;
    return S_OK;
  }

 private:
  bool master_;
};

Factory g_masterFactory(true);
Factory g_recorderFactory(false);

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
    g_log.Close();
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  Factory* f = clsid == Imapi2::CLSID_MsftDiscMaster2     ? &g_masterFactory
               : clsid == Imapi2::CLSID_MsftDiscRecorder2 ? &g_recorderFactory
                                                          : nullptr;
  if (!f) return CLASS_E_CLASSNOTAVAILABLE;
  return f->QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

// Idempotent: run again, it writes the same keys.
HRESULT STDAPICALLTYPE DllRegisterServer() {
  HRESULT hr = Register(Imapi2::CLSID_MsftDiscMaster2, L"Virtual disc master");
  if (SUCCEEDED(hr)) hr = Register(Imapi2::CLSID_MsftDiscRecorder2, L"Virtual disc recorder");
  return hr;
}

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey(Imapi2::CLSID_MsftDiscMaster2).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, ClsidKey(Imapi2::CLSID_MsftDiscRecorder2).c_str());
  return S_OK;
}

}  // extern "C"

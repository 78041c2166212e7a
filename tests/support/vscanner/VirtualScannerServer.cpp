// An in-process COM server that plays the system's image acquisition device
// manager for the tests: registered under its class id in the test prefix,
// it offers the scanners of the description named by TAVRIN_VSCAN, answers
// the selection and scan dialogs as the description says, and transfers
// pictures (BMP files) band by band through the caller's data callback as a
// scanner does. Every call is logged to the file named by TAVRIN_VSCAN_LOG.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/TimeScale.h"
#include "wizard/coverart/wia/Wia.h"

namespace {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

// ---- the description ----------------------------------------------------------

struct ItemSpec {
  std::wstring name = L"Flatbed";
  std::vector<std::wstring> pages;      // BMP files, one per page
  std::string layout = "memorybmp";     // or "noheight": height and image size 0, rows top-down
  std::string announce = "size";        // lBufferSize of the data header: size, or a number
  long band = 0;                        // bytes per band; 0: the buffer asked for
  std::string bufferSize = "i4:32768";  // WIA_IPA_BUFFER_SIZE as type:value, or none
  long status = Wia::IT_STATUS_TRANSFER_TO_CLIENT;
  long failBand = -1;
  HRESULT failCode = S_OK;
  long pauseBand = -1;
  std::string hostile;  // negative-offset, short-header, huge-offset
};

struct DeviceSpec {
  std::wstring id, name;
  long type = Wia::StiDeviceTypeScanner;
  std::string dialog = "ok";  // ok, cancel or an HRESULT in hex
  std::vector<ItemSpec> items;
};

struct Description {
  std::string select = "first";  // first, cancel or a device id
  std::vector<DeviceSpec> devices;
};

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

std::wstring Widen(const std::string& s) {
  std::wstring w(s.size() + 1, L'\0');
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.c_str(), -1, &w[0], int(w.size()));
  w.resize(n > 0 ? size_t(n - 1) : 0);
  return w;
}

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r");
  if (a == std::string::npos) return "";
  return s.substr(a, s.find_last_not_of(" \t\r") - a + 1);
}

std::vector<unsigned char> ReadAll(const std::wstring& path) {
  std::vector<unsigned char> bytes;
  HANDLE h =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return bytes;
  const DWORD size = GetFileSize(h, nullptr);
  bytes.resize(size == INVALID_FILE_SIZE ? 0 : size);
  DWORD got = 0;
  if (!bytes.empty() && (!ReadFile(h, bytes.data(), size, &got, nullptr) || got != size))
    bytes.clear();
  CloseHandle(h);
  return bytes;
}

Description Load() {
  Description d;
  const std::vector<unsigned char> text = ReadAll(Env(L"TAVRIN_VSCAN"));
  std::istringstream in(std::string(text.begin(), text.end()));
  std::string line;
  while (std::getline(in, line)) {
    line = Trim(line.substr(0, line.find('#')));
    if (line == "[device]") {
      d.devices.emplace_back();
      continue;
    }
    if (line == "[item]") {
      if (!d.devices.empty()) d.devices.back().items.emplace_back();
      continue;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
    if (key == "select") d.select = value;
    if (d.devices.empty()) continue;
    DeviceSpec& dev = d.devices.back();
    if (key == "id") dev.id = Widen(value);
    if (key == "name") dev.name = Widen(value);
    if (key == "type") dev.type = value == "camera" ? Wia::StiDeviceTypeDigitalCamera : 1;
    if (key == "dialog") dev.dialog = value;
    if (dev.items.empty()) continue;
    ItemSpec& item = dev.items.back();
    if (key == "item") item.name = Widen(value);
    if (key == "page") item.pages.push_back(Widen(value));
    if (key == "layout") item.layout = value;
    if (key == "announce") item.announce = value;
    if (key == "band") item.band = std::stol(value);
    if (key == "buffersize") item.bufferSize = value;
    if (key == "status") item.status = std::stol(value);
    if (key == "hostile") item.hostile = value;
    if (key == "pause") item.pauseBand = std::stol(value);
    if (key == "fail") {
      std::istringstream f(value);
      std::string code;
      f >> item.failBand >> code;
      item.failCode = HRESULT(std::stoul(code, nullptr, 16));
    }
  }
  return d;
}

void Log(const char* format, ...) {
  const std::wstring path = Env(L"TAVRIN_VSCAN_LOG");
  if (path.empty()) return;
  char line[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(line, sizeof line - 2, format, args);
  va_end(args);
  if (n <= 0) return;
  const size_t length = std::min(size_t(n), sizeof line - 2);
  line[length] = '\n';
  HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  DWORD put = 0;
  WriteFile(h, line, DWORD(length + 1), &put, nullptr);
  CloseHandle(h);
}

// ---- properties ---------------------------------------------------------------

struct Value {
  VARTYPE vt = VT_EMPTY;
  LONG number = 0;
  double real = 0;
  std::wstring text;
  GUID guid = {};
};

Value Number(LONG n) {
  Value v;
  v.vt = VT_I4;
  v.number = n;
  return v;
}

Value Text(const std::wstring& s) {
  Value v;
  v.vt = VT_BSTR;
  v.text = s;
  return v;
}

// "i4:32768", "r8:4096.6", "bstr:x" or "none".
bool ParseTyped(const std::string& s, Value& v) {
  const size_t colon = s.find(':');
  if (colon == std::string::npos) return false;
  const std::string type = s.substr(0, colon), value = s.substr(colon + 1);
  const std::map<std::string, VARTYPE> types = {{"i2", VT_I2},   {"i4", VT_I4}, {"ui4", VT_UI4},
                                                {"r4", VT_R4},   {"r8", VT_R8}, {"bstr", VT_BSTR},
                                                {"ui1", VT_UI1}, {"i1", VT_I1}};
  const auto t = types.find(type);
  if (t == types.end()) return false;
  v.vt = t->second;
  if (v.vt == VT_BSTR)
    v.text = Widen(value);
  else if (v.vt == VT_R4 || v.vt == VT_R8)
    v.real = std::stod(value);
  else
    v.number = std::stol(value);
  return true;
}

void ToVariant(const Value& v, PROPVARIANT& out) {
  PropVariantInit(&out);
  out.vt = v.vt;
  switch (v.vt) {
    case VT_I2:
      out.iVal = SHORT(v.number);
      break;
    case VT_I1:
      out.cVal = CHAR(v.number);
      break;
    case VT_UI1:
      out.bVal = BYTE(v.number);
      break;
    case VT_I4:
    case VT_UI4:
      out.lVal = v.number;
      break;
    case VT_R4:
      out.fltVal = float(v.real);
      break;
    case VT_R8:
      out.dblVal = v.real;
      break;
    case VT_BSTR:
      out.bstrVal = SysAllocString(v.text.c_str());
      break;
    case VT_CLSID:
      out.puuid = static_cast<GUID*>(CoTaskMemAlloc(sizeof(GUID)));
      if (out.puuid) *out.puuid = v.guid;
      break;
    default:
      out.vt = VT_EMPTY;
  }
}

// ---- COM plumbing -------------------------------------------------------------

template <class Self>
class Counted {
 public:
  Counted() { ++g_objects; }
  virtual ~Counted() { --g_objects; }
  ULONG Add() { return ULONG(++references_); }
  ULONG Drop() {
    const long left = --references_;
    if (!left) delete static_cast<Self*>(this);
    return ULONG(left);
  }
  // Hands out the interface that `iid` names among `offered` (the first one
  // also as IUnknown).
  HRESULT Offer(REFIID iid, void** out, std::initializer_list<std::pair<IID, void*>> offered) {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const auto& [id, pointer] : offered)
      if (iid == id || (iid == IID_IUnknown && pointer == offered.begin()->second)) {
        *out = pointer;
        Add();
        return S_OK;
      }
    return E_NOINTERFACE;
  }

 private:
  std::atomic<long> references_{1};
};

#define COUNTED_UNKNOWN                                                       \
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }                 \
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }               \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override { \
    return Query(iid, out);                                                   \
  }

// Property storage behaviour shared by device information, root items and items.
class Properties {
 public:
  std::map<PROPID, Value> values;

  HRESULT Read(ULONG count, const PROPSPEC* specs, PROPVARIANT* out) {
    if (!specs || !out) return E_POINTER;
    bool any = false;
    for (ULONG i = 0; i < count; ++i) {
      PropVariantInit(&out[i]);
      if (specs[i].ulKind != PRSPEC_PROPID) continue;
      Log("ReadMultiple %lu", specs[i].propid);
      const auto v = values.find(specs[i].propid);
      if (v == values.end()) continue;
      ToVariant(v->second, out[i]);
      any = true;
    }
    return any ? S_OK : S_FALSE;
  }
};

#define PROPERTY_STORAGE_REST                                                                      \
  HRESULT STDMETHODCALLTYPE DeleteMultiple(ULONG, const PROPSPEC[]) override { return E_NOTIMPL; } \
  HRESULT STDMETHODCALLTYPE ReadPropertyNames(ULONG, const PROPID[], LPOLESTR[]) override {        \
    return E_NOTIMPL;                                                                              \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE WritePropertyNames(ULONG, const PROPID[], const LPOLESTR[]) override { \
    return E_NOTIMPL;                                                                              \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE DeletePropertyNames(ULONG, const PROPID[]) override {                  \
    return E_NOTIMPL;                                                                              \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }                                \
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }                                \
  HRESULT STDMETHODCALLTYPE Enum(IEnumSTATPROPSTG**) override { return E_NOTIMPL; }                \
  HRESULT STDMETHODCALLTYPE SetTimes(const FILETIME*, const FILETIME*, const FILETIME*) override { \
    return E_NOTIMPL;                                                                              \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE SetClass(REFCLSID) override { return E_NOTIMPL; }                      \
  HRESULT STDMETHODCALLTYPE Stat(STATPROPSETSTG*) override { return E_NOTIMPL; }                   \
  HRESULT STDMETHODCALLTYPE GetPropertyAttributes(ULONG, PROPSPEC[], ULONG[], PROPVARIANT[])       \
      override {                                                                                   \
    return E_NOTIMPL;                                                                              \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {                                      \
    if (!count) return E_POINTER;                                                                  \
    *count = ULONG(properties_.values.size());                                                     \
    return S_OK;                                                                                   \
  }                                                                                                \
  HRESULT STDMETHODCALLTYPE GetPropertyStream(GUID*, IStream**) override { return E_NOTIMPL; }     \
  HRESULT STDMETHODCALLTYPE SetPropertyStream(GUID*, IStream*) override { return E_NOTIMPL; }

#define ITEM_REST                                                                                 \
  HRESULT STDMETHODCALLTYPE AnalyzeItem(LONG) override { return E_NOTIMPL; }                      \
  HRESULT STDMETHODCALLTYPE EnumChildItems(IEnumWiaItem**) override { return E_NOTIMPL; }         \
  HRESULT STDMETHODCALLTYPE DeleteItem(LONG) override { return E_NOTIMPL; }                       \
  HRESULT STDMETHODCALLTYPE CreateChildItem(LONG, BSTR, BSTR, IWiaItem**) override {              \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE EnumRegisterEventInfo(LONG, const GUID*, IEnumWIA_DEV_CAPS**)         \
      override {                                                                                  \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE FindItemByName(LONG, BSTR, IWiaItem**) override { return E_NOTIMPL; } \
  HRESULT STDMETHODCALLTYPE DeviceCommand(LONG, const GUID*, IWiaItem**) override {               \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE EnumDeviceCapabilities(LONG, IEnumWIA_DEV_CAPS**) override {          \
    return E_NOTIMPL;                                                                             \
  }                                                                                               \
  HRESULT STDMETHODCALLTYPE DumpItemData(BSTR*) override { return E_NOTIMPL; }                    \
  HRESULT STDMETHODCALLTYPE DumpDrvItemData(BSTR*) override { return E_NOTIMPL; }                 \
  HRESULT STDMETHODCALLTYPE DumpTreeItemData(BSTR*) override { return E_NOTIMPL; }                \
  HRESULT STDMETHODCALLTYPE Diagnostic(ULONG, BYTE*) override { return E_NOTIMPL; }

// ---- device information -------------------------------------------------------

void DeviceProperties(const DeviceSpec& d, Properties& p) {
  p.values[Wia::WIA_DIP_DEV_ID] = Text(d.id);
  p.values[Wia::WIA_DIP_DEV_NAME] = Text(d.name);
  p.values[Wia::WIA_DIP_DEV_DESC] = Text(d.name);
  p.values[Wia::WIA_DIP_VEND_DESC] = Text(L"Tavrin test devices");
  p.values[Wia::WIA_DIP_DEV_TYPE] = Number(MAKELONG(0, d.type));
}

class DeviceInfo : public IWiaPropertyStorage, public Counted<DeviceInfo> {
 public:
  explicit DeviceInfo(const DeviceSpec& d) { DeviceProperties(d, properties_); }
  COUNTED_UNKNOWN
  HRESULT Query(REFIID iid, void** out) {
    return Offer(iid, out,
                 {{__uuidof(IWiaPropertyStorage), static_cast<IWiaPropertyStorage*>(this)}});
  }
  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG n, const PROPSPEC s[], PROPVARIANT v[]) override {
    return properties_.Read(n, s, v);
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG, const PROPSPEC[], const PROPVARIANT[],
                                          PROPID) override {
    return E_ACCESSDENIED;
  }
  PROPERTY_STORAGE_REST

 private:
  Properties properties_;
};

class DeviceEnum : public IEnumWIA_DEV_INFO, public Counted<DeviceEnum> {
 public:
  DeviceEnum(std::vector<DeviceSpec> devices, ULONG at) : devices_(std::move(devices)), at_(at) {}
  COUNTED_UNKNOWN
  HRESULT Query(REFIID iid, void** out) {
    return Offer(iid, out, {{__uuidof(IEnumWIA_DEV_INFO), static_cast<IEnumWIA_DEV_INFO*>(this)}});
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG n, IWiaPropertyStorage** out, ULONG* fetched) override {
    if (!out || (n > 1 && !fetched)) return E_POINTER;
    ULONG got = 0;
    for (; got < n && at_ < devices_.size(); ++got) out[got] = new DeviceInfo(devices_[at_++]);
    if (fetched) *fetched = got;
    return got == n ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG n) override {
    at_ = ULONG(std::min<size_t>(devices_.size(), size_t(at_) + n));
    return at_ < devices_.size() ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    at_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumWIA_DEV_INFO** out) override {
    if (!out) return E_POINTER;
    *out = new DeviceEnum(devices_, at_);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCount(ULONG* count) override {
    if (!count) return E_POINTER;
    *count = ULONG(devices_.size());
    return S_OK;
  }

 private:
  std::vector<DeviceSpec> devices_;
  ULONG at_;
};

// ---- items --------------------------------------------------------------------

// What a scanner sends for one page in the requested format.
std::vector<unsigned char> PageData(const ItemSpec& spec, const std::wstring& file,
                                    bool memoryBitmap) {
  std::vector<unsigned char> bmp = ReadAll(file);
  if (bmp.size() < 14 + 40 || !memoryBitmap) return bmp;
  std::vector<unsigned char> dib(bmp.begin() + 14, bmp.end());
  if (spec.layout != "noheight") return dib;
  BITMAPINFOHEADER h;
  std::memcpy(&h, dib.data(), sizeof h);
  DWORD offBits;
  std::memcpy(&offBits, &bmp[10], 4);
  const size_t pixels = offBits - 14;
  const size_t stride = (size_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
  const LONG rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
  const size_t end = pixels + stride * size_t(rows);
  if (rows == 0 || end > dib.size()) return dib;
  std::vector<unsigned char> out(dib.begin(), dib.begin() + LONG(pixels));
  for (LONG i = 0; i < rows; ++i) {  // the scan head runs from the top
    const LONG y = h.biHeight > 0 ? rows - 1 - i : i;
    out.insert(out.end(), dib.begin() + LONG(pixels + stride * size_t(y)),
               dib.begin() + LONG(pixels + stride * size_t(y + 1)));
  }
  out.insert(out.end(), dib.begin() + LONG(end), dib.end());  // a profile after the pixels
  h.biHeight = 0;
  h.biSizeImage = 0;
  std::memcpy(out.data(), &h, sizeof h);
  return out;
}

class Item : public IWiaItem,
             public IWiaPropertyStorage,
             public IWiaDataTransfer,
             public Counted<Item> {
 public:
  explicit Item(const ItemSpec& spec) : spec_(spec) {
    properties_.values[Wia::WIA_IPA_ITEM_NAME] = Text(spec.name);
    properties_.values[Wia::WIA_IPA_ITEM_FLAGS] =
        Number(Wia::WiaItemTypeImage | Wia::WiaItemTypeFile);
    properties_.values[Wia::WIA_IPA_TYMED] = Number(Wia::TYMED_CALLBACK);
    Value format;
    format.vt = VT_CLSID;
    format.guid = Wia::WiaImgFmt_MEMORYBMP;
    properties_.values[Wia::WIA_IPA_FORMAT] = format;
    Value buffer;
    if (ParseTyped(spec.bufferSize, buffer)) properties_.values[Wia::WIA_IPA_BUFFER_SIZE] = buffer;
    if (!spec.pages.empty()) {
      const std::vector<unsigned char> bmp = ReadAll(spec.pages.front());
      if (bmp.size() >= 54) {
        BITMAPINFOHEADER h;
        std::memcpy(&h, &bmp[14], sizeof h);
        properties_.values[Wia::WIA_IPA_PIXELS_PER_LINE] = Number(h.biWidth);
        properties_.values[Wia::WIA_IPA_NUMBER_OF_LINES] = Number(std::abs(h.biHeight));
        properties_.values[Wia::WIA_IPA_DEPTH] = Number(h.biBitCount);
      }
    }
  }
  COUNTED_UNKNOWN
  HRESULT Query(REFIID iid, void** out) {
    return Offer(iid, out,
                 {{__uuidof(IWiaItem), static_cast<IWiaItem*>(this)},
                  {__uuidof(IWiaPropertyStorage), static_cast<IWiaPropertyStorage*>(this)},
                  {__uuidof(IWiaDataTransfer), static_cast<IWiaDataTransfer*>(this)}});
  }

  // IWiaItem
  HRESULT STDMETHODCALLTYPE GetItemType(LONG* type) override {
    if (!type) return E_POINTER;
    *type = Wia::WiaItemTypeImage | Wia::WiaItemTypeFile;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeviceDlg(HWND, LONG, LONG, LONG*, IWiaItem***) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem**) override { return E_NOTIMPL; }
  ITEM_REST

  // IWiaPropertyStorage
  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG n, const PROPSPEC s[], PROPVARIANT v[]) override {
    return properties_.Read(n, s, v);
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG n, const PROPSPEC specs[],
                                          const PROPVARIANT values[], PROPID first) override {
    if (!specs || !values) return E_POINTER;
    for (ULONG i = 0; i < n; ++i) {
      if (specs[i].ulKind != PRSPEC_PROPID) return E_INVALIDARG;
      const PROPID id = specs[i].propid;
      const PROPVARIANT& v = values[i];
      if (id == Wia::WIA_IPA_TYMED) {
        Log("WriteMultiple TYMED vt=%d value=%ld first=%lu", v.vt, v.lVal, first);
        if (v.vt != VT_I4 || (v.lVal != Wia::TYMED_CALLBACK && v.lVal != TYMED_FILE))
          return E_INVALIDARG;
        properties_.values[id] = Number(v.lVal);
      } else if (id == Wia::WIA_IPA_FORMAT) {
        const bool memory = v.vt == VT_CLSID && v.puuid && *v.puuid == Wia::WiaImgFmt_MEMORYBMP;
        const bool file = v.vt == VT_CLSID && v.puuid && *v.puuid == Wia::WiaImgFmt_BMP;
        Log("WriteMultiple FORMAT vt=%d %s first=%lu", v.vt,
            memory ? "MEMORYBMP"
            : file ? "BMP"
                   : "other",
            first);
        if (!memory && !file) return E_INVALIDARG;
        properties_.values[id].guid = *v.puuid;
      } else {
        Log("WriteMultiple %lu refused", id);
        return E_ACCESSDENIED;
      }
    }
    return S_OK;
  }
  PROPERTY_STORAGE_REST

  // IWiaDataTransfer
  HRESULT STDMETHODCALLTYPE idtGetData(STGMEDIUM*, IWiaDataCallback*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE idtGetBandedData(WIA_DATA_TRANSFER_INFO* info,
                                             IWiaDataCallback* callback) override {
    if (!info || !callback) return E_INVALIDARG;
    Log("idtGetBandedData size=%lu section=%lu buffer=%lu double=%d reserved=%lu,%lu,%lu",
        info->ulSize, info->ulSection, info->ulBufferSize, info->bDoubleBuffer, info->ulReserved1,
        info->ulReserved2, info->ulReserved3);
    if (info->ulSize != sizeof *info || info->ulBufferSize == 0) return E_INVALIDARG;
    if (properties_.values[Wia::WIA_IPA_TYMED].number != Wia::TYMED_CALLBACK) return E_INVALIDARG;
    const GUID format = properties_.values[Wia::WIA_IPA_FORMAT].guid;
    return Transfer(format, info->ulBufferSize / (info->bDoubleBuffer ? 2 : 1), callback);
  }
  HRESULT STDMETHODCALLTYPE idtQueryGetData(WIA_FORMAT_INFO* f) override {
    if (!f) return E_POINTER;
    return f->lTymed == Wia::TYMED_CALLBACK && (f->guidFormatID == Wia::WiaImgFmt_MEMORYBMP ||
                                                f->guidFormatID == Wia::WiaImgFmt_BMP)
               ? S_OK
               : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE idtEnumWIA_FORMAT_INFO(IEnumWIA_FORMAT_INFO**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE idtGetExtendedTransferInfo(WIA_EXTENDED_TRANSFER_INFO* x) override {
    if (!x) return E_POINTER;
    *x = {sizeof *x, 4096, 65536, 1 << 20, 2};
    return S_OK;
  }

 private:
  HRESULT Transfer(const GUID& format, ULONG bandLimit, IWiaDataCallback* callback) {
    const bool memory = format == Wia::WiaImgFmt_MEMORYBMP;
    std::vector<std::vector<unsigned char>> pages;
    for (const std::wstring& file : spec_.pages) pages.push_back(PageData(spec_, file, memory));
    if (pages.empty() || pages.front().empty()) return Wia::WIA_ERROR_PAPER_EMPTY;

    WIA_DATA_CALLBACK_HEADER header = {};
    header.lSize = sizeof header;
    header.guidFormatID = format;
    header.lBufferSize =
        spec_.announce == "size" ? LONG(pages.front().size()) : std::stol(spec_.announce);
    header.lPageCount = LONG(pages.size());
    const LONG headerLength = spec_.hostile == "short-header" ? 8 : LONG(sizeof header);
    HRESULT hr = Send(callback, Wia::IT_MSG_DATA_HEADER, Wia::IT_STATUS_TRANSFER_TO_CLIENT, 0, 0,
                      headerLength, reinterpret_cast<BYTE*>(&header));
    if (hr != S_OK) return hr;
    hr = Send(callback, Wia::IT_MSG_STATUS, Wia::IT_STATUS_TRANSFER_FROM_DEVICE, 0, 0, 0, nullptr);
    if (hr != S_OK) return hr;

    const ULONG bandSize = spec_.band > 0 ? ULONG(spec_.band) : bandLimit;
    std::vector<BYTE> band(bandSize);
    long bandIndex = 0;
    for (size_t p = 0; p < pages.size(); ++p) {
      const std::vector<unsigned char>& data = pages[p];
      for (size_t at = 0; at < data.size(); at += bandSize, ++bandIndex) {
        if (bandIndex == spec_.pauseBand) Pause();
        if (bandIndex == spec_.failBand) return spec_.failCode;
        const ULONG length = ULONG(std::min<size_t>(bandSize, data.size() - at));
        std::memcpy(band.data(), &data[at], length);
        LONG offset = LONG(at);
        if (spec_.hostile == "negative-offset" && bandIndex == 1) offset = -20;
        if (spec_.hostile == "huge-offset" && bandIndex == 1) offset = 0x7FFFFFF0;
        const LONG percent = LONG((at + length) * 100 / data.size());
        hr = Send(callback, Wia::IT_MSG_DATA, spec_.status, percent, offset, LONG(length),
                  band.data());
        if (hr != S_OK) return hr;
      }
      if (p + 1 < pages.size()) {
        hr = Send(callback, Wia::IT_MSG_NEW_PAGE, Wia::IT_STATUS_TRANSFER_TO_CLIENT, 100, 0, 0,
                  nullptr);
        if (hr != S_OK) return hr;
      }
    }
    return Send(callback, Wia::IT_MSG_TERMINATION, Wia::IT_STATUS_TRANSFER_TO_CLIENT, 100, 0, 0,
                nullptr);
  }

  static HRESULT Send(IWiaDataCallback* callback, LONG message, LONG status, LONG percent,
                      LONG offset, LONG length, BYTE* buffer) {
    const HRESULT hr =
        callback->BandedDataCallback(message, status, percent, offset, length, 0, 0, buffer);
    Log("callback message=%ld status=%ld percent=%ld offset=%ld length=%ld hr=%08lx", message,
        status, percent, offset, length, static_cast<unsigned long>(hr));
    return hr;
  }

  // Lets a test act while the scanner waits between two bands.
  static void Pause() {
    HANDLE paused = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"TavrinVScanPaused");
    HANDLE resume = OpenEventW(SYNCHRONIZE, FALSE, L"TavrinVScanResume");
    if (paused) SetEvent(paused);
    if (resume) WaitForSingleObject(resume, ScaledMs(10000));
    if (paused) CloseHandle(paused);
    if (resume) CloseHandle(resume);
  }

  ItemSpec spec_;
  Properties properties_;
};

class RootItem : public IWiaItem, public IWiaPropertyStorage, public Counted<RootItem> {
 public:
  explicit RootItem(const DeviceSpec& d) : device_(d) { DeviceProperties(d, properties_); }
  COUNTED_UNKNOWN
  HRESULT Query(REFIID iid, void** out) {
    return Offer(iid, out,
                 {{__uuidof(IWiaItem), static_cast<IWiaItem*>(this)},
                  {__uuidof(IWiaPropertyStorage), static_cast<IWiaPropertyStorage*>(this)}});
  }
  HRESULT STDMETHODCALLTYPE GetItemType(LONG* type) override {
    if (!type) return E_POINTER;
    *type = Wia::WiaItemTypeRoot | Wia::WiaItemTypeDevice;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE DeviceDlg(HWND, LONG flags, LONG intent, LONG* count,
                                      IWiaItem*** items) override {
    Log("DeviceDlg flags=%ld intent=%ld", flags, intent);
    if (!count || !items) return E_POINTER;
    *count = 0;
    *items = nullptr;
    if (device_.dialog == "cancel") return S_FALSE;
    if (device_.dialog != "ok") return HRESULT(std::stoul(device_.dialog, nullptr, 16));
    size_t n = device_.items.size();
    if (flags & Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE) n = std::min<size_t>(n, 1);
    if (!n) return S_FALSE;
    *items = static_cast<IWiaItem**>(CoTaskMemAlloc(n * sizeof(IWiaItem*)));
    if (!*items) return E_OUTOFMEMORY;
    for (size_t i = 0; i < n; ++i) (*items)[i] = new Item(device_.items[i]);
    *count = LONG(n);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetRootItem(IWiaItem** root) override {
    if (!root) return E_POINTER;
    Add();
    *root = this;
    return S_OK;
  }
  ITEM_REST
  HRESULT STDMETHODCALLTYPE ReadMultiple(ULONG n, const PROPSPEC s[], PROPVARIANT v[]) override {
    return properties_.Read(n, s, v);
  }
  HRESULT STDMETHODCALLTYPE WriteMultiple(ULONG, const PROPSPEC[], const PROPVARIANT[],
                                          PROPID) override {
    return E_ACCESSDENIED;
  }
  PROPERTY_STORAGE_REST

 private:
  DeviceSpec device_;
  Properties properties_;
};

// ---- the device manager -------------------------------------------------------

class DeviceManager : public IWiaDevMgr, public Counted<DeviceManager> {
 public:
  COUNTED_UNKNOWN
  HRESULT Query(REFIID iid, void** out) {
    return Offer(iid, out, {{__uuidof(IWiaDevMgr), static_cast<IWiaDevMgr*>(this)}});
  }
  HRESULT STDMETHODCALLTYPE EnumDeviceInfo(LONG flags, IEnumWIA_DEV_INFO** out) override {
    Log("EnumDeviceInfo flags=%ld", flags);
    if (!out) return E_POINTER;
    *out = new DeviceEnum(Load().devices, 0);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CreateDevice(BSTR id, IWiaItem** root) override {
    if (!root) return E_POINTER;
    *root = nullptr;
    for (const DeviceSpec& d : Load().devices)
      if (id && d.id == id) {
        *root = new RootItem(d);
        return S_OK;
      }
    return Wia::WIA_S_NO_DEVICE_AVAILABLE;
  }
  HRESULT STDMETHODCALLTYPE SelectDeviceDlg(HWND, LONG type, LONG flags, BSTR* id,
                                            IWiaItem** root) override {
    Log("SelectDeviceDlg type=%ld flags=%ld", type, flags);
    if (!root) return E_POINTER;
    *root = nullptr;
    if (id) *id = nullptr;
    const Description d = Load();
    std::vector<const DeviceSpec*> offered;
    for (const DeviceSpec& dev : d.devices)
      if (type == Wia::StiDeviceTypeDefault || dev.type == type) offered.push_back(&dev);
    if (offered.empty()) return Wia::WIA_S_NO_DEVICE_AVAILABLE;
    if (d.select == "cancel") return S_FALSE;
    const DeviceSpec* chosen = offered.front();
    for (const DeviceSpec* dev : offered)
      if (Widen(d.select) == dev->id) chosen = dev;
    *root = new RootItem(*chosen);
    if (id) *id = SysAllocString(chosen->id.c_str());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE SelectDeviceDlgID(HWND, LONG, LONG, BSTR*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetImageDlg(HWND, LONG, LONG, LONG, IWiaItem*, BSTR, GUID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackProgram(LONG, BSTR, const GUID*, BSTR, BSTR, BSTR,
                                                         BSTR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackInterface(LONG, BSTR, const GUID*,
                                                           IWiaEventCallback*,
                                                           IUnknown**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RegisterEventCallbackCLSID(LONG, BSTR, const GUID*, const GUID*, BSTR,
                                                       BSTR, BSTR) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE AddDeviceDlg(HWND, LONG) override { return E_NOTIMPL; }
};

class Factory : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* manager = new DeviceManager;
    const HRESULT hr = manager->QueryInterface(iid, out);
    manager->Release();
    return hr;
  }
  // A locked server stays loaded: DllCanUnloadNow counts the locks.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
    lock ? ++g_objects : --g_objects;
    return S_OK;
  }
};
Factory g_factory;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != Wia::CLSID_WiaDevMgr) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

// Idempotent: run again, it writes the same keys.
HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(g_module, path, MAX_PATH);
  if (!n || n >= MAX_PATH) return SELFREG_E_CLASS;
  wchar_t clsid[64];
  StringFromGUID2(Wia::CLSID_WiaDevMgr, clsid, 64);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
  HKEY h;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr))
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

HRESULT STDAPICALLTYPE DllUnregisterServer() {
  wchar_t clsid[64];
  StringFromGUID2(Wia::CLSID_WiaDevMgr, clsid, 64);
  const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32";
  return RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str()) ? SELFREG_E_CLASS : S_OK;
}

}  // extern "C"

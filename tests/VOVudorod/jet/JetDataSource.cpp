// The data source object and the class factory of the stand-in provider.
#include <olectl.h>

#include "tests/VOVudorod/jet/JetObjects.h"

namespace JetStandin {
namespace {

// The class id under which the system registers its JET 4.0 provider.
const CLSID kClsid = {0xdee35070, 0x506b, 0x11cf, {0xb1, 0xaa, 0x00, 0xaa, 0x00, 0xb8, 0xde, 0x95}};
const wchar_t kClsidText[] = L"{DEE35070-506B-11CF-B1AA-00AA00B8DE95}";
const wchar_t kProgId[] = L"Microsoft.Jet.OLEDB.4.0";

HINSTANCE g_module = nullptr;

// With TAVRIN_JET_FOLDER set, every data source is opened under its file name in
// that folder, so that tests keep their databases apart.
std::wstring Redirected(const std::wstring& path) {
  wchar_t folder[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return path;
  const std::size_t slash = path.find_last_of(L"\\/");
  return std::wstring(folder) + L"\\" +
         (slash == std::wstring::npos ? path : path.substr(slash + 1));
}

// The error of a failed load or creation of the database file, with its record.
HRESULT Failure(LoadResult result, const std::wstring& name) {
  switch (result) {
    case LoadResult::Ok:
      return S_OK;
    case LoadResult::Missing:
      return Fail(E_FAIL, L"Could not find file '" + name + L"'.");
    case LoadResult::Exists:
      return Fail(E_FAIL, L"Database already exists.");
    case LoadResult::Locked:
      return Fail(E_FAIL, L"The database engine cannot open the file '" + name +
                              L"'. It is already opened exclusively by another user, or "
                              L"you need permission to view its data.");
    case LoadResult::Corrupt:
      break;
  }
  return Fail(E_FAIL, L"Unrecognized database format '" + name + L"'.");
}

class DataSource : public ComObject,
                   public IDBInitialize,
                   public IDBProperties,
                   public IDBCreateSession,
                   public IDBDataSourceAdmin,
                   public ISupportErrorInfo {
 public:
  JET_UNKNOWN

  STDMETHODIMP Initialize() override {
    ClearError();
    if (db_) return DB_E_ALREADYINITIALIZED;
    return Start(L"open ", Load);
  }
  STDMETHODIMP Uninitialize() override {
    db_.reset();
    return S_OK;
  }

  STDMETHODIMP GetProperties(ULONG, const DBPROPIDSET[], ULONG* count, DBPROPSET** sets) override {
    if (count) *count = 0;
    if (sets) *sets = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetPropertyInfo(ULONG, const DBPROPIDSET[], ULONG* count, DBPROPINFOSET** sets,
                               OLECHAR** descriptions) override {
    if (count) *count = 0;
    if (sets) *sets = nullptr;
    if (descriptions) *descriptions = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetProperties(ULONG count, DBPROPSET sets[]) override {
    ClearError();
    if (db_) return DB_E_ERRORSOCCURRED;
    bool failed = false;
    for (ULONG s = 0; s < count; ++s) {
      for (ULONG p = 0; p < sets[s].cProperties; ++p) {
        DBPROP& prop = sets[s].rgProperties[p];
        prop.dwStatus = DBPROPSTATUS_OK;
        if (sets[s].guidPropertySet != DBPROPSET_DBINIT) {
          prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
          failed = true;
        } else if (prop.dwPropertyID == DBPROP_INIT_DATASOURCE) {
          if (prop.vValue.vt != VT_BSTR) {
            prop.dwStatus = DBPROPSTATUS_BADVALUE;
            failed = true;
          } else {
            dataSource_ = prop.vValue.bstrVal ? prop.vValue.bstrVal : L"";
          }
        }
      }
    }
    return failed ? DB_E_ERRORSOCCURRED : S_OK;
  }

  STDMETHODIMP CreateSession(IUnknown* outer, REFIID iid, IUnknown** session) override {
    ClearError();
    if (!session) return E_INVALIDARG;
    *session = nullptr;
    if (outer) return DB_E_NOAGGREGATION;
    if (!db_) return E_UNEXPECTED;
    return JetStandin::CreateSession(db_, iid, session);
  }

  // A new database file without tables, for the data source in the given
  // initialisation properties; the data source is then initialised on it.
  STDMETHODIMP CreateDataSource(ULONG count, DBPROPSET sets[], IUnknown* outer, REFIID iid,
                                IUnknown** session) override {
    ClearError();
    if (session) *session = nullptr;
    if (outer) return DB_E_NOAGGREGATION;
    if (db_) return DB_E_ALREADYINITIALIZED;
    HRESULT hr = SetProperties(count, sets);
    if (FAILED(hr)) return hr;
    hr = Start(L"create ", Create);
    if (FAILED(hr) || iid == IID_NULL || !session) return hr;
    return JetStandin::CreateSession(db_, iid, session);
  }
  STDMETHODIMP DestroyDataSource() override {
    return Fail(E_NOTIMPL, L"Deleting a database is not supported.");
  }
  STDMETHODIMP GetCreationProperties(ULONG, const DBPROPIDSET[], ULONG* count, DBPROPINFOSET** sets,
                                     OLECHAR** descriptions) override {
    return GetPropertyInfo(0, nullptr, count, sets, descriptions);
  }
  STDMETHODIMP ModifyDataSource(ULONG, DBPROPSET[]) override {
    return Fail(E_NOTIMPL, L"Changing a database is not supported.");
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDBInitialize) return static_cast<IDBInitialize*>(this);
    if (iid == IID_IDBDataSourceAdmin) return static_cast<IDBDataSourceAdmin*>(this);
    if (iid == IID_IDBProperties) return static_cast<IDBProperties*>(this);
    if (iid == IID_IDBCreateSession) return static_cast<IDBCreateSession*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

 private:
  // Opens or creates the database file of the data source.
  HRESULT Start(const wchar_t* verb, LoadResult (*make)(const std::wstring&, Database&)) {
    if (dataSource_.empty()) return Fail(E_FAIL, L"No data source was given.");
    const std::wstring path = Redirected(dataSource_);
    Log(verb + dataSource_ + (path != dataSource_ ? L" as " + path : L""));
    auto db = std::make_shared<Database>();
    const HRESULT hr = Failure(make(path, *db), dataSource_);
    if (SUCCEEDED(hr)) db_ = db;
    return hr;
  }

  std::wstring dataSource_;
  std::shared_ptr<Database> db_;
};

class Factory : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return CreateDataSource(iid, out);
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock)
      InterlockedIncrement(&g_objects);
    else
      InterlockedDecrement(&g_objects);
    return S_OK;
  }
};

Factory g_factory;

bool SetKey(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY h;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LONG r = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(h);
  return r == ERROR_SUCCESS;
}

}  // namespace

LONG g_objects = 0;

HRESULT CreateDataSource(REFIID iid, void** out) {
  DataSource* source = new DataSource;
  const HRESULT hr = source->QueryObject(iid, out);
  source->ReleaseObject();
  return hr;
}

}  // namespace JetStandin

using namespace JetStandin;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) g_module = module;
  return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (clsid != kClsid) {
    *out = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
  wchar_t path[MAX_PATH];
  if (!GetModuleFileNameW(g_module, path, MAX_PATH)) return SELFREG_E_CLASS;
  const std::wstring clsid = std::wstring(L"CLSID\\") + kClsidText;
  const bool ok = SetKey(clsid, nullptr, L"Microsoft Jet 4.0 OLE DB Provider") &&
                  SetKey(clsid + L"\\InprocServer32", nullptr, path) &&
                  SetKey(clsid + L"\\InprocServer32", L"ThreadingModel", L"Both") &&
                  SetKey(clsid + L"\\ProgID", nullptr, kProgId) &&
                  SetKey(kProgId, nullptr, L"Microsoft Jet 4.0 OLE DB Provider") &&
                  SetKey(std::wstring(kProgId) + L"\\CLSID", nullptr, kClsidText);
  return ok ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
  RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kClsidText).c_str());
  RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
  return S_OK;
}

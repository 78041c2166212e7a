#define DBINITCONSTANTS
#include "VOVudorod/cache/OleDb.h"

namespace OleDb {

namespace {

HRESULT CreateProvider(const wchar_t* progId, REFIID iid, void** out) {
  CLSID clsid;
  const HRESULT hr = CLSIDFromProgID(progId, &clsid);
  return FAILED(hr) ? hr : CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, out);
}

// The initialisation property set that names the data source, without user
// name or password.
class InitProperties {
 public:
  explicit InitProperties(const std::wstring& dataSource) : name_(dataSource.c_str()) {
    prop_.dwPropertyID = DBPROP_INIT_DATASOURCE;
    prop_.dwOptions = DBPROPOPTIONS_REQUIRED;
    prop_.colid = DB_NULLID;
    prop_.vValue.vt = VT_BSTR;
    prop_.vValue.bstrVal = name_.Get();
  }
  DBPROPSET* Get() { return &set_; }

 private:
  Bstr name_;
  DBPROP prop_{};
  DBPROPSET set_{&prop_, 1, DBPROPSET_DBINIT};
};

// Makes a command of the session with the given text.
HRESULT MakeCommand(const Session& session, const std::wstring& command,
                    ComPtr<ICommandText>& text) {
  if (!session.Get()) return E_UNEXPECTED;
  const HRESULT hr = session.Get()->CreateCommand(nullptr, IID_ICommandText,
                                                  reinterpret_cast<IUnknown**>(text.Put()));
  return FAILED(hr) ? hr : text->SetCommandText(DBGUID_DEFAULT, command.c_str());
}

}  // namespace

DataSource::~DataSource() { Close(); }

void DataSource::Close() {
  if (init_) init_->Uninitialize();
  init_.Reset();
}

HRESULT DataSource::Open(const wchar_t* progId, const std::wstring& dataSource) {
  Close();
  ComPtr<IDBInitialize> init;
  HRESULT hr = CreateProvider(progId, IID_IDBInitialize, init.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IDBProperties> properties;
  hr = init->QueryInterface(IID_IDBProperties, properties.PutVoid());
  if (FAILED(hr)) return hr;
  InitProperties set(dataSource);
  hr = properties->SetProperties(1, set.Get());
  if (FAILED(hr)) return hr;
  hr = init->Initialize();
  if (FAILED(hr)) return hr;
  init_ = init;
  return S_OK;
}

HRESULT DataSource::Create(const wchar_t* progId, const std::wstring& dataSource) {
  Close();
  ComPtr<IDBDataSourceAdmin> admin;
  HRESULT hr = CreateProvider(progId, IID_IDBDataSourceAdmin, admin.PutVoid());
  if (FAILED(hr)) return hr;
  InitProperties set(dataSource);
  hr = admin->CreateDataSource(1, set.Get(), nullptr, IID_NULL, nullptr);
  if (FAILED(hr)) return hr;
  return admin->QueryInterface(IID_IDBInitialize, init_.PutVoid());
}

HRESULT Session::Open(const DataSource& source) {
  if (!source.Get()) return E_UNEXPECTED;
  ComPtr<IDBCreateSession> sessions;
  HRESULT hr = source.Get()->QueryInterface(IID_IDBCreateSession, sessions.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IUnknown> session;
  hr = sessions->CreateSession(nullptr, IID_IDBCreateCommand, session.Put());
  if (FAILED(hr)) return hr;
  return session->QueryInterface(IID_IDBCreateCommand, commands_.PutVoid());
}

RowsetProperties::~RowsetProperties() {
  for (DBPROP& p : props_) VariantClear(&p.vValue);
}

void RowsetProperties::Add(DBPROPID id, const VARIANT& value) {
  DBPROP p{};
  p.dwPropertyID = id;
  p.dwOptions = DBPROPOPTIONS_REQUIRED;
  p.colid = DB_NULLID;
  p.vValue = value;
  props_.push_back(p);
}

void RowsetProperties::AddBool(DBPROPID id, bool value) {
  VARIANT v;
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  Add(id, v);
}

void RowsetProperties::AddInt(DBPROPID id, LONG value) {
  VARIANT v;
  v.vt = VT_I4;
  v.lVal = value;
  Add(id, v);
}

DBPROPSET* RowsetProperties::Get() {
  set_.rgProperties = props_.data();
  set_.cProperties = static_cast<ULONG>(props_.size());
  set_.guidPropertySet = DBPROPSET_ROWSET;
  return &set_;
}

Rowset::~Rowset() { Close(); }

HRESULT Rowset::Open(const Session& session, const std::wstring& command,
                     RowsetProperties* properties, const Column* columns, std::size_t columnCount) {
  Close();
  ComPtr<ICommandText> text;
  HRESULT hr = MakeCommand(session, command, text);
  if (FAILED(hr)) return hr;
  if (properties) {
    ComPtr<ICommandProperties> commandProperties;
    hr = text->QueryInterface(IID_ICommandProperties, commandProperties.PutVoid());
    if (FAILED(hr)) return hr;
    hr = commandProperties->SetProperties(1, properties->Get());
    if (FAILED(hr)) return hr;
  }
  ComPtr<IUnknown> rows;
  hr = text->Execute(nullptr, IID_IRowset, nullptr, nullptr, rows.Put());
  if (FAILED(hr)) return hr;
  if (!rows) return E_FAIL;
  hr = rows->QueryInterface(IID_IRowset, rowset_.PutVoid());
  if (SUCCEEDED(hr)) hr = rowset_->QueryInterface(IID_IAccessor, accessor_.PutVoid());
  if (FAILED(hr)) {
    Close();
    return hr;
  }

  std::vector<DBBINDING> bindings(columnCount);
  for (std::size_t i = 0; i < columnCount; ++i) {
    DBBINDING& b = bindings[i];
    b = DBBINDING{};
    b.iOrdinal = columns[i].ordinal;
    b.obValue = columns[i].offset;
    b.dwPart = DBPART_VALUE;
    b.dwMemOwner = DBMEMOWNER_CLIENTOWNED;
    b.eParamIO = DBPARAMIO_NOTPARAM;
    b.cbMaxLen = columns[i].maxLength;
    b.wType = columns[i].type;
  }
  hr = accessor_->CreateAccessor(DBACCESSOR_ROWDATA, bindings.size(), bindings.data(), 0, &handle_,
                                 nullptr);
  if (FAILED(hr)) {
    handle_ = 0;
    Close();
  }
  return hr;
}

HRESULT Rowset::MoveNext(void* row) {
  if (!rowset_) return E_UNEXPECTED;
  DBCOUNTITEM obtained = 0;
  HROW hrow = 0;
  HROW* rows = &hrow;
  HRESULT hr = rowset_->GetNextRows(DB_NULL_HCHAPTER, 0, 1, &obtained, &rows);
  if (FAILED(hr)) return hr;
  if (obtained == 0) return DB_S_ENDOFROWSET;
  hr = rowset_->GetData(hrow, handle_, row);
  rowset_->ReleaseRows(1, &hrow, nullptr, nullptr, nullptr);
  return FAILED(hr) ? hr : S_OK;
}

HRESULT Rowset::Insert(const void* row) {
  if (!rowset_) return E_UNEXPECTED;
  ComPtr<IRowsetChange> change;
  HRESULT hr = rowset_->QueryInterface(IID_IRowsetChange, change.PutVoid());
  if (FAILED(hr)) return hr;
  HROW hrow = 0;
  hr = change->InsertRow(DB_NULL_HCHAPTER, handle_, const_cast<void*>(row), &hrow);
  if (SUCCEEDED(hr) && hrow) rowset_->ReleaseRows(1, &hrow, nullptr, nullptr, nullptr);
  return hr;
}

void Rowset::Close() {
  if (accessor_ && handle_) accessor_->ReleaseAccessor(handle_, nullptr);
  handle_ = 0;
  accessor_.Reset();
  rowset_.Reset();
}

HRESULT Execute(const Session& session, const std::wstring& command) {
  ComPtr<ICommandText> text;
  const HRESULT hr = MakeCommand(session, command, text);
  return FAILED(hr) ? hr : text->Execute(nullptr, IID_NULL, nullptr, nullptr, nullptr);
}

void DumpDbErrors() {
  ComPtr<IErrorInfo> info;
  if (GetErrorInfo(0, info.Put()) != S_OK || !info) return;
  ComPtr<IErrorRecords> records;
  if (FAILED(info->QueryInterface(IID_IErrorRecords, records.PutVoid()))) return;
  ULONG count = 0;
  if (FAILED(records->GetRecordCount(&count))) return;
  const LCID kSystemDefault = 0x800;
  for (ULONG i = 0; i < count; ++i) {
    ComPtr<IErrorInfo> record;
    if (FAILED(records->GetErrorInfo(i, kSystemDefault, record.Put())) || !record) continue;
    BSTR description = nullptr;
    if (FAILED(record->GetDescription(&description))) continue;
    std::wstring line = L"Database error: ";
    if (description) line += description;
    line += L"\n";
    SysFreeString(description);
    OutputDebugStringW(line.c_str());
  }
}

}  // namespace OleDb

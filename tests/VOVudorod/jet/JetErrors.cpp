// Error objects with records, as OLE DB providers leave them behind a failure.
#include "tests/VOVudorod/jet/JetObjects.h"

namespace JetStandin {
namespace {

const GUID kNoGuid = {};

BSTR Copy(const std::wstring& text) { return SysAllocString(text.c_str()); }

class RecordInfo : public ComObject, public IErrorInfo {
 public:
  explicit RecordInfo(std::wstring text) : text_(std::move(text)) {}
  JET_UNKNOWN
  STDMETHODIMP GetGUID(GUID* guid) override {
    *guid = kNoGuid;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* source) override {
    *source = Copy(L"Microsoft JET Database Engine");
    return S_OK;
  }
  STDMETHODIMP GetDescription(BSTR* text) override {
    *text = Copy(text_);
    return S_OK;
  }
  STDMETHODIMP GetHelpFile(BSTR* file) override {
    *file = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetHelpContext(DWORD* context) override {
    *context = 0;
    return S_OK;
  }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) return static_cast<IErrorInfo*>(this);
    return nullptr;
  }

 private:
  std::wstring text_;
};

class ErrorObject : public ComObject, public IErrorInfo, public IErrorRecords {
 public:
  ErrorObject(HRESULT hr, std::wstring text) : hr_(hr), text_(std::move(text)) {}
  JET_UNKNOWN
  STDMETHODIMP GetGUID(GUID* guid) override {
    *guid = kNoGuid;
    return S_OK;
  }
  STDMETHODIMP GetSource(BSTR* source) override {
    *source = Copy(L"Microsoft JET Database Engine");
    return S_OK;
  }
  STDMETHODIMP GetDescription(BSTR* text) override {
    *text = Copy(text_);
    return S_OK;
  }
  STDMETHODIMP GetHelpFile(BSTR* file) override {
    *file = nullptr;
    return S_OK;
  }
  STDMETHODIMP GetHelpContext(DWORD* context) override {
    *context = 0;
    return S_OK;
  }

  STDMETHODIMP AddErrorRecord(ERRORINFO*, DWORD, DISPPARAMS*, IUnknown*, DWORD) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetBasicErrorInfo(ULONG record, ERRORINFO* info) override {
    if (record != 0) return DB_E_BADRECORDNUM;
    *info = ERRORINFO{};
    info->hrError = hr_;
    return S_OK;
  }
  STDMETHODIMP GetCustomErrorObject(ULONG record, REFIID, IUnknown** object) override {
    *object = nullptr;
    return record == 0 ? S_OK : DB_E_BADRECORDNUM;
  }
  STDMETHODIMP GetErrorInfo(ULONG record, LCID, IErrorInfo** info) override {
    *info = nullptr;
    if (record != 0) return DB_E_BADRECORDNUM;
    *info = new RecordInfo(text_);
    return S_OK;
  }
  STDMETHODIMP GetErrorParameters(ULONG record, DISPPARAMS* params) override {
    if (record != 0) return DB_E_BADRECORDNUM;
    *params = DISPPARAMS{};
    return S_OK;
  }
  STDMETHODIMP GetRecordCount(ULONG* count) override {
    *count = 1;
    return S_OK;
  }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IErrorInfo) return static_cast<IErrorInfo*>(this);
    if (iid == IID_IErrorRecords) return static_cast<IErrorRecords*>(this);
    return nullptr;
  }

 private:
  HRESULT hr_;
  std::wstring text_;
};

}  // namespace

HRESULT Fail(HRESULT hr, const std::wstring& description) {
  wchar_t code[16];
  wsprintfW(code, L"%08lX", static_cast<unsigned long>(hr));
  Log(L"error " + std::wstring(code) + L" " + description);
  ErrorObject* error = new ErrorObject(hr, description);
  SetErrorInfo(0, static_cast<IErrorInfo*>(error));
  error->Release();
  return hr;
}

void ClearError() { SetErrorInfo(0, nullptr); }

}  // namespace JetStandin

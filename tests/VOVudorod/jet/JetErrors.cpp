// Error objects with records, as OLE DB providers leave them behind a failure.
#include "tests/VOVudorod/jet/JetObjects.h"

namespace JetStandin {
namespace {

const GUID kNoGuid = {};

BSTR Copy(const std::wstring& text) { return SysAllocString(text.c_str()); }

// An error description, as one record or the whole error object gives it.
class DescribedError : public ComObject, public IErrorInfo {
 public:
  explicit DescribedError(std::wstring text) : text_(std::move(text)) {}
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
  const std::wstring& text() const { return text_; }

 private:
  std::wstring text_;
};

class RecordInfo : public DescribedError {
 public:
  using DescribedError::DescribedError;
  JET_UNKNOWN
};

class ErrorObject : public DescribedError, public IErrorRecords {
 public:
  ErrorObject(HRESULT hr, std::wstring text) : DescribedError(std::move(text)), hr_(hr) {}
  JET_UNKNOWN

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
    *info = new RecordInfo(text());
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
    if (iid == IID_IErrorRecords) return static_cast<IErrorRecords*>(this);
    return DescribedError::Find(iid);
  }

 private:
  HRESULT hr_;
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

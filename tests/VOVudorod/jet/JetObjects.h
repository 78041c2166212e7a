#pragma once
#include <windows.h>
#include <oledb.h>
#include <oledberr.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/VOVudorod/jet/JetStore.h"

// The stand-in provider's COM objects, as far as they are created from outside
// the data source.
namespace JetStandin {

extern LONG g_objects;

// Reference counting and QueryInterface for an object with several interfaces.
class ComObject {
 public:
  ComObject() { InterlockedIncrement(&g_objects); }
  virtual ~ComObject() { InterlockedDecrement(&g_objects); }
  ULONG AddRefObject() { return InterlockedIncrement(&refs_); }
  ULONG ReleaseObject() {
    const ULONG n = InterlockedDecrement(&refs_);
    if (n == 0) delete this;
    return n;
  }
  HRESULT QueryObject(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = Find(iid);
    if (!*out) return E_NOINTERFACE;
    static_cast<IUnknown*>(*out)->AddRef();
    return S_OK;
  }

 protected:
  virtual void* Find(REFIID iid) = 0;

 private:
  LONG refs_ = 1;
};

#define JET_UNKNOWN                                                                              \
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override { return QueryObject(iid, out); } \
  STDMETHODIMP_(ULONG) AddRef() override { return AddRefObject(); }                              \
  STDMETHODIMP_(ULONG) Release() override { return ReleaseObject(); }

// Sets the thread's error object to one record with this description, and
// returns hr.
HRESULT Fail(HRESULT hr, const std::wstring& description);
void ClearError();

// The data source object: what CoCreateInstance gives for the provider's class.
HRESULT CreateDataSource(REFIID iid, void** out);

// CREATE TABLE and CREATE INDEX statements, applied to the database and its file.
bool IsDefinition(const std::wstring& text);
HRESULT Define(Database& db, const std::wstring& text);

// A session on an initialised data source.
HRESULT CreateSession(std::shared_ptr<Database> db, REFIID iid, IUnknown** out);

}  // namespace JetStandin

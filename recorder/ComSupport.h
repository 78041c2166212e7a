#pragma once
// Small pieces shared by the recorder's own COM objects: reference counting,
// the dispatch side that the IMAPI2 type library describes, one connection
// point, and event sinks that advise themselves on a source.
#include <windows.h>
#include <ocidl.h>
#include <oleauto.h>

#include <new>
#include <vector>

#include "common/Boundary.h"
#include "common/ComPtr.h"

namespace Recorder {

// The methods whose bodies can throw run them through ComCall.
using Boundary::ComCall;

// QueryInterface's answer for an object seen through `itf`: a new reference when
// the asked-for interface is one the object has (`known`), else E_NOINTERFACE.
template <class Itf>
HRESULT GiveInterface(Itf* itf, bool known, void** out) {
  if (!out) return E_POINTER;
  if (!known) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = itf;
  itf->AddRef();
  return S_OK;
}

// An interlocked count that starts at one (the creator's reference).
class RefCount {
 public:
  RefCount() = default;
  RefCount(const RefCount&) = delete;
  RefCount& operator=(const RefCount&) = delete;
  virtual ~RefCount() = default;

 protected:
  ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
  ULONG Drop() {
    const LONG n = InterlockedDecrement(&count_);
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
  }

 private:
  LONG count_ = 1;
};

// The description of one interface in the IMAPI2 type library, loaded once;
// null where the library is not registered (the objects work without it).
ITypeInfo* ImapiTypeInfo(REFIID iid);

// The IDispatch side of a dual interface Itf, from the type library.
template <class Itf>
class DualInterface : public Itf {
 public:
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (!count) return E_POINTER;
    *count = ImapiTypeInfo(__uuidof(Itf)) ? 1 : 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (!info) return E_POINTER;
    *info = index == 0 ? ImapiTypeInfo(__uuidof(Itf)) : nullptr;
    if (!*info) return TYPE_E_ELEMENTNOTFOUND;
    (*info)->AddRef();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                          DISPID* ids) override {
    ITypeInfo* info = ImapiTypeInfo(__uuidof(Itf));
    return info ? DispGetIDsOfNames(info, names, count, ids) : DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
    ITypeInfo* info = ImapiTypeInfo(__uuidof(Itf));
    return info ? DispInvoke(static_cast<Itf*>(this), info, id, flags, params, result, exception,
                             argError)
                : DISP_E_MEMBERNOTFOUND;
  }
};

// The one connection point of an object for the dispatch interface `events`.
// Its references are the owner's.
class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* owner, REFIID events)
      : owner_(owner), events_(events) {}
  ConnectionPoint(const ConnectionPoint&) = delete;
  ConnectionPoint& operator=(const ConnectionPoint&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return owner_->AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return owner_->Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

  // Answers FindConnectionPoint and EnumConnectionPoints for the owner.
  HRESULT Find(REFIID iid, IConnectionPoint** out);
  HRESULT Enumerate(IEnumConnectionPoints** out);
  // Calls `id` on every connected sink with the arguments in dispatch order
  // (the last argument first); the last call's result.
  HRESULT Fire(DISPID id, VARIANT* args, UINT count);
  void Clear() { sinks_.clear(); }

 private:
  struct Connection {
    DWORD cookie;
    ComPtr<IDispatch> sink;
  };
  IConnectionPointContainer* owner_;
  IID events_;
  std::vector<Connection> sinks_;
  DWORD nextCookie_ = 1;
};

// A sink for one event of a dispatch interface: `args` arguments of member
// `id`, handed to OnEvent in the order of the event's declaration.
class EventSink : public RefCount, public IDispatch {
 public:
  EventSink(REFIID events, DISPID id, UINT args) : events_(events), id_(id), args_(args) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                   EXCEPINFO*, UINT*) override;

  // Connects to the source's point for the events; the point's result.
  HRESULT Advise(IUnknown* source);
  // Disconnects what Advise connected; nothing when it did not.
  void Unadvise();

 protected:
  // The arguments in declaration order.
  virtual HRESULT OnEvent(const VARIANT* args) = 0;

 private:
  IID events_;
  DISPID id_;
  UINT args_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

// Takes over a COM object made with `new` (one reference) into an owner.
template <class T, class U>
void Adopt(ComPtr<T>& owner, U* object) {
  *owner.Put() = object;
}

// A buffer that IMAPI2 allocated with the COM task allocator.
struct TaskBuffer {
  TaskBuffer() = default;
  TaskBuffer(const TaskBuffer&) = delete;
  TaskBuffer& operator=(const TaskBuffer&) = delete;
  ~TaskBuffer() { Free(); }
  void Free() {
    CoTaskMemFree(data);
    data = nullptr;
    size = 0;
  }
  BYTE* data = nullptr;
  ULONG size = 0;
};

// A SAFEARRAY of VARIANTs of the given type and values (VT_I4 or VT_UI4).
SAFEARRAY* VariantArray(VARTYPE type, const std::vector<LONG>& values);

}  // namespace Recorder

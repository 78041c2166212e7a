#pragma once
#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include <functional>

#include "common/ComPtr.h"

namespace ui {

// Receives the calls of one event interface (a dispinterface) of a COM
// source and hands each to a function by its DISPID. The arguments arrive
// as DISPPARAMS lays them out: the last argument first.
class DispatchSink final : public IDispatch {
 public:
  using Handler = std::function<HRESULT(DISPID member, DISPPARAMS& arguments, VARIANT* result)>;
  static ComPtr<DispatchSink> Create(REFIID events, Handler handler);

  // Connects to the source's connection point for the events; one source at a time.
  HRESULT Advise(IUnknown* source);
  void Unadvise();

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* arguments,
                                   VARIANT* result, EXCEPINFO*, UINT*) override;

 private:
  DispatchSink(REFIID events, Handler handler) : events_(events), handler_(std::move(handler)) {}
  ~DispatchSink() = default;

  LONG references_ = 1;
  IID events_;
  Handler handler_;
  ComPtr<IConnectionPoint> point_;
  DWORD cookie_ = 0;
};

}  // namespace ui

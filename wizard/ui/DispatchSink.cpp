#include "wizard/ui/DispatchSink.h"

#include "common/Boundary.h"

namespace ui {

ComPtr<DispatchSink> DispatchSink::Create(REFIID events, Handler handler) {
  ComPtr<DispatchSink> sink;
  *sink.Put() = new DispatchSink(events, std::move(handler));
  return sink;
}

HRESULT DispatchSink::Advise(IUnknown* source) {
  Unadvise();
  if (!source) return E_POINTER;
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
  if (FAILED(hr)) return hr;
  ComPtr<IConnectionPoint> point;
  hr = container->FindConnectionPoint(events_, point.Put());
  if (FAILED(hr)) return hr;
  hr = point->Advise(this, &cookie_);
  if (SUCCEEDED(hr)) point_ = point;
  return hr;
}

void DispatchSink::Unadvise() {
  if (!point_) return;
  point_->Unadvise(cookie_);
  point_.Reset();
  cookie_ = 0;
}

HRESULT DispatchSink::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, events_)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG DispatchSink::AddRef() { return InterlockedIncrement(&references_); }

ULONG DispatchSink::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return left;
}

HRESULT DispatchSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT DispatchSink::Invoke(DISPID member, REFIID, LCID, WORD, DISPPARAMS* arguments,
                             VARIANT* result, EXCEPINFO*, UINT*) {
  return Boundary::ComCall([&] {
    DISPPARAMS none = {};
    return handler_(member, arguments ? *arguments : none, result);
  });
}

}  // namespace ui

#include "recorder/ComSupport.h"

#include <olectl.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

#include "engine/cd/imapi2/Imapi2.h"

namespace Recorder {
namespace {

struct IidLess {
  bool operator()(const IID& a, const IID& b) const { return std::memcmp(&a, &b, sizeof a) < 0; }
};

// One enumeration of a single connection point.
class PointEnum : public RefCount, public IEnumConnectionPoints {
 public:
  explicit PointEnum(IConnectionPoint* point) : point_(point) { point_->AddRef(); }
  ~PointEnum() override { point_->Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    return GiveInterface(
        static_cast<IEnumConnectionPoints*>(this),
        IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IEnumConnectionPoints), out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override {
    if (!points) return E_POINTER;
    ULONG n = 0;
    if (count > 0 && !done_) {
      points[0] = point_;
      point_->AddRef();
      done_ = true;
      n = 1;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    if (count == 0) return S_OK;
    const bool had = !done_;
    done_ = true;
    return had && count == 1 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    done_ = false;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** out) override {
    if (!out) return E_POINTER;
    auto* copy = new (std::nothrow) PointEnum(point_);
    if (!copy) {
      *out = nullptr;
      return E_OUTOFMEMORY;
    }
    copy->done_ = done_;
    *out = copy;
    return S_OK;
  }

 private:
  IConnectionPoint* point_;
  bool done_ = false;
};

}  // namespace

ITypeInfo* ImapiTypeInfo(REFIID iid) {
  static std::mutex lock;
  static bool tried = false;
  static ITypeLib* library = nullptr;
  static std::map<IID, ITypeInfo*, IidLess> infos;
  std::lock_guard<std::mutex> guard(lock);
  if (!tried) {
    tried = true;
    if (LoadRegTypeLib(Imapi2::LIBID_IMAPI2, 1, 0, LOCALE_USER_DEFAULT, &library) != S_OK)
      library = nullptr;
  }
  if (!library) return nullptr;
  auto found = infos.find(iid);
  if (found == infos.end()) {
    ITypeInfo* info = nullptr;
    if (library->GetTypeInfoOfGuid(iid, &info) != S_OK) info = nullptr;
    try {
      found = infos.emplace(iid, info).first;
    } catch (const std::bad_alloc&) {
      if (info) info->Release();  // asked for again next time
      return nullptr;
    }
  }
  return found->second;
}

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
  return GiveInterface(static_cast<IConnectionPoint*>(this),
                       IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint), out);
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = events_;
  return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
  if (!out) return E_POINTER;
  *out = owner_;
  owner_->AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (!cookie) return E_POINTER;
  *cookie = 0;
  if (!sink) return E_POINTER;
  ComPtr<IDispatch> dispatch;
  if (sink->QueryInterface(events_, dispatch.PutVoid()) != S_OK || !dispatch)
    return CONNECT_E_CANNOTCONNECT;
  return ComCall([&]() -> HRESULT {
    sinks_.push_back({nextCookie_, dispatch});
    *cookie = nextCookie_++;
    return S_OK;
  });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
  const auto found = std::find_if(sinks_.begin(), sinks_.end(),
                                  [cookie](const Connection& c) { return c.cookie == cookie; });
  if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
  sinks_.erase(found);
  return S_OK;
}

HRESULT ConnectionPoint::Find(REFIID iid, IConnectionPoint** out) {
  if (!out) return E_POINTER;
  if (!IsEqualIID(iid, events_)) {
    *out = nullptr;
    return CONNECT_E_NOCONNECTION;
  }
  *out = this;
  AddRef();
  return S_OK;
}

HRESULT ConnectionPoint::Enumerate(IEnumConnectionPoints** out) {
  if (!out) return E_POINTER;
  *out = new (std::nothrow) PointEnum(this);
  return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ConnectionPoint::Fire(DISPID id, VARIANT* args, UINT count) {
  return ComCall([&]() -> HRESULT {
    HRESULT hr = S_OK;
    // A sink may disconnect itself while it is called.
    const std::vector<Connection> sinks = sinks_;
    for (const Connection& c : sinks) {
      DISPPARAMS params = {args, nullptr, count, 0};
      VARIANT result;
      VariantInit(&result);
      hr = c.sink->Invoke(id, IID_NULL, 0x400, DISPATCH_METHOD, &params, &result, nullptr, nullptr);
      VariantClear(&result);
    }
    return hr;
  });
}

HRESULT EventSink::QueryInterface(REFIID iid, void** out) {
  return GiveInterface(
      static_cast<IDispatch*>(this),
      IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, events_),
      out);
}

HRESULT EventSink::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          UINT*) {
  if (id != id_) return DISP_E_MEMBERNOTFOUND;
  if (!params || params->cArgs != args_ || params->cNamedArgs != 0) return DISP_E_BADPARAMCOUNT;
  return ComCall([&]() -> HRESULT {
    // Dispatch arguments arrive last first.
    std::vector<VARIANT> args(args_);
    for (VARIANT& v : args) VariantInit(&v);
    HRESULT hr = S_OK;
    for (UINT i = 0; i < args_ && hr == S_OK; ++i)
      if (VariantCopyInd(&args[i], &params->rgvarg[args_ - 1 - i]) != S_OK)
        hr = DISP_E_TYPEMISMATCH;
    if (hr == S_OK) {
      try {
        hr = OnEvent(args.data());
      } catch (...) {
        hr = E_UNEXPECTED;  // nothing may leave an event
      }
    }
    for (VARIANT& v : args) VariantClear(&v);
    return hr;
  });
}

HRESULT EventSink::Advise(IUnknown* source) {
  Unadvise();
  if (!source) return E_POINTER;
  ComPtr<IConnectionPointContainer> container;
  HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.PutVoid());
  if (hr != S_OK) return hr;
  ComPtr<IConnectionPoint> point;
  hr = container->FindConnectionPoint(events_, point.Put());
  if (hr != S_OK) return hr;
  DWORD cookie = 0;
  hr = point->Advise(static_cast<IDispatch*>(this), &cookie);
  if (hr == S_OK) {
    point_ = point;
    cookie_ = cookie;
  }
  return hr;
}

void EventSink::Unadvise() {
  if (!point_) return;
  ComPtr<IConnectionPoint> point = point_;
  point_.Reset();
  point->Unadvise(cookie_);
  cookie_ = 0;
}

SAFEARRAY* VariantArray(VARTYPE type, const std::vector<LONG>& values) {
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, static_cast<ULONG>(values.size()));
  if (!array) return nullptr;
  for (LONG i = 0; i < static_cast<LONG>(values.size()); ++i) {
    VARIANT v;
    VariantInit(&v);
    v.vt = type;
    if (type == VT_UI4)
      v.ulVal = static_cast<ULONG>(values[i]);
    else
      v.lVal = values[i];
    if (SafeArrayPutElement(array, &i, &v) != S_OK) {
      SafeArrayDestroy(array);
      return nullptr;
    }
  }
  return array;
}

}  // namespace Recorder

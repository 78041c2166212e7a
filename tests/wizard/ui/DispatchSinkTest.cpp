// An event sink connected to a source that calls it as a browser would.
#include <gtest/gtest.h>

#include <exdisp.h>
#include <exdispid.h>
#include <olectl.h>

#include <algorithm>

#include "tests/support/AllocationWatch.h"
#include "wizard/ui/DispatchSink.h"

namespace {

// A source with one connection point, for DWebBrowserEvents2.
class Source : public IConnectionPointContainer, public IConnectionPoint {
 public:
  IDispatch* sink = nullptr;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPointContainer)) {
      *object = static_cast<IConnectionPointContainer*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
    if (!IsEqualIID(iid, DIID_DWebBrowserEvents2)) return CONNECT_E_NOCONNECTION;
    *point = this;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* client, DWORD* cookie) override {
    if (FAILED(client->QueryInterface(DIID_DWebBrowserEvents2, reinterpret_cast<void**>(&sink))))
      return CONNECT_E_CANNOTCONNECT;
    *cookie = 7;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
    if (cookie != 7 || !sink) return CONNECT_E_NOCONNECTION;
    std::exchange(sink, nullptr)->Release();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
};

TEST(DispatchSink, ReceivesTheSourcesCallsUntilUnadvised) {
  Source source;
  std::wstring url;
  auto sink = ui::DispatchSink::Create(
      DIID_DWebBrowserEvents2, [&](DISPID member, DISPPARAMS& arguments, VARIANT*) {
        if (member != DISPID_BEFORENAVIGATE2 || arguments.cArgs != 7) return S_OK;
        // The last argument comes first: the address is the second one.
        url = V_BSTR(V_VARIANTREF(&arguments.rgvarg[5]));
        *V_BOOLREF(&arguments.rgvarg[0]) = VARIANT_TRUE;
        return S_OK;
      });
  ASSERT_EQ(S_OK, sink->Advise(static_cast<IConnectionPointContainer*>(&source)));
  ASSERT_NE(nullptr, source.sink);

  VARIANT address;
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = SysAllocString(L"http://127.0.0.1/banner");
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT arguments[7] = {};
  V_VT(&arguments[0]) = VT_BYREF | VT_BOOL;
  V_BOOLREF(&arguments[0]) = &cancel;
  V_VT(&arguments[5]) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&arguments[5]) = &address;
  DISPPARAMS call = {arguments, nullptr, 7, 0};
  EXPECT_EQ(S_OK, source.sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &call,
                                      nullptr, nullptr, nullptr));
  EXPECT_EQ(L"http://127.0.0.1/banner", url);
  EXPECT_EQ(VARIANT_TRUE, cancel);
  VariantClear(&address);

  UINT count = 1;
  EXPECT_EQ(S_OK, source.sink->GetTypeInfoCount(&count));
  EXPECT_EQ(0u, count);
  sink->Unadvise();
  EXPECT_EQ(nullptr, source.sink);
}

// The browser calls the sink from its own frames: a handler that runs out of
// memory answers E_OUTOFMEMORY there, and the sink goes on.
TEST(DispatchSink, AHandlerShortOfMemoryAnswersOutOfMemory) {
  Source source;
  std::wstring url;
  auto sink = ui::DispatchSink::Create(DIID_DWebBrowserEvents2,
                                       [&](DISPID, DISPPARAMS& arguments, VARIANT*) {
                                         url = V_BSTR(&arguments.rgvarg[0]);
                                         return S_OK;
                                       });
  ASSERT_EQ(S_OK, sink->Advise(static_cast<IConnectionPointContainer*>(&source)));
  VARIANT address;
  V_VT(&address) = VT_BSTR;
  V_BSTR(&address) = SysAllocStringLen(nullptr, 1 << 20);
  std::fill_n(V_BSTR(&address), 1 << 20, L'a');
  DISPPARAMS call = {&address, nullptr, 1, 0};
  HRESULT hr = S_OK;
  {
    const AllocationWatch allocations(1 << 20);
    hr = source.sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &call, nullptr,
                             nullptr, nullptr);
  }
  EXPECT_EQ(E_OUTOFMEMORY, hr);
  EXPECT_TRUE(url.empty());
  EXPECT_EQ(S_OK, source.sink->Invoke(DISPID_BEFORENAVIGATE2, IID_NULL, 0, DISPATCH_METHOD, &call,
                                      nullptr, nullptr, nullptr));
  EXPECT_EQ(size_t(1) << 20, url.size());
  VariantClear(&address);
  sink->Unadvise();
}

TEST(DispatchSink, ASourceWithoutTheEventsIsRefused) {
  Source source;
  auto sink = ui::DispatchSink::Create(IID_IPropertyNotifySink,
                                       [](DISPID, DISPPARAMS&, VARIANT*) { return S_OK; });
  EXPECT_EQ(CONNECT_E_NOCONNECTION, sink->Advise(static_cast<IConnectionPointContainer*>(&source)));
  EXPECT_EQ(E_POINTER, sink->Advise(nullptr));
  sink->Unadvise();  // nothing to undo
}

}  // namespace

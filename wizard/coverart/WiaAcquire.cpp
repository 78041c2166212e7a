// One acquisition: device selection, the device's scan dialog, and a banded
// transfer of every chosen item.
#include <new>

#include "common/ComPtr.h"
#include "wizard/coverart/WiaWrap.h"

namespace WiaWrap {

namespace {

constexpr LONG kDefaultBufferSize = 65536;
// The lowest property id that may carry a name.
constexpr PROPID kFirstNamedProperty = Wia::WIA_IPA_ITEM_NAME;

// The items of the scan dialog: one reference each in a task-allocated array.
struct Items {
  LONG count = 0;
  IWiaItem** items = nullptr;
  ~Items() {
    for (LONG i = 0; items && i < count; ++i)
      if (items[i]) items[i]->Release();
    CoTaskMemFree(items);
  }
};

HRESULT WriteProperty(IWiaPropertyStorage* storage, PROPID id, const PROPVARIANT& value) {
  PROPSPEC spec;
  spec.ulKind = PRSPEC_PROPID;
  spec.propid = id;
  return storage->WriteMultiple(1, &spec, &value, kFirstNamedProperty);
}

HRESULT Transfer(IWiaItem* item, const GUID& format, IWiaDataCallback* callback) {
  if (!item) return E_POINTER;
  ComPtr<IWiaPropertyStorage> properties;
  ComPtr<IWiaDataTransfer> transfer;
  if (FAILED(item->QueryInterface(__uuidof(IWiaPropertyStorage), properties.PutVoid())) ||
      FAILED(item->QueryInterface(__uuidof(IWiaDataTransfer), transfer.PutVoid())))
    return E_NOINTERFACE;
  PROPVARIANT tymed;
  PropVariantInit(&tymed);
  tymed.vt = VT_I4;
  tymed.lVal = Wia::TYMED_CALLBACK;
  HRESULT hr = WriteProperty(properties.Get(), Wia::WIA_IPA_TYMED, tymed);
  if (hr != S_OK) return hr;
  GUID formatId = format;
  PROPVARIANT formatValue;
  PropVariantInit(&formatValue);
  formatValue.vt = VT_CLSID;
  formatValue.puuid = &formatId;
  hr = WriteProperty(properties.Get(), Wia::WIA_IPA_FORMAT, formatValue);
  if (hr != S_OK) return hr;
  PROPSPEC spec;
  spec.ulKind = PRSPEC_PROPID;
  spec.propid = Wia::WIA_IPA_BUFFER_SIZE;
  LONG bufferSize = 0;
  if (FAILED(GetIntProperty(properties.Get(), spec, &bufferSize)) || bufferSize <= 0)
    bufferSize = kDefaultBufferSize;
  WIA_DATA_TRANSFER_INFO info = {};
  info.ulSize = sizeof info;
  info.ulSection = 0;
  info.ulBufferSize = 2 * ULONG(bufferSize);
  info.bDoubleBuffer = TRUE;
  return transfer->idtGetBandedData(&info, callback);
}

}  // namespace

HRESULT GetIntProperty(IWiaPropertyStorage* storage, const PROPSPEC& spec, LONG* value) {
  if (!storage || !value) return E_POINTER;
  PROPVARIANT v;
  PropVariantInit(&v);
  HRESULT hr = storage->ReadMultiple(1, &spec, &v);
  if (FAILED(hr)) return hr;
  hr = S_OK;
  switch (v.vt) {
    case VT_I2:
      *value = v.iVal;
      break;
    case VT_I4:
      *value = v.lVal;
      break;
    case VT_UI4:
      *value = LONG(v.ulVal);
      break;
    case VT_INT:
      *value = v.intVal;
      break;
    case VT_UINT:
      *value = LONG(v.uintVal);
      break;
    case VT_I1:
      *value = v.cVal;
      break;
    case VT_UI1:
      *value = v.bVal;
      break;
    case VT_UI2:
      *value = v.uiVal;
      break;
    case VT_R4:
      *value = LONG(v.fltVal + 0.5f);
      break;
    case VT_R8:
      *value = LONG(v.dblVal + 0.5);
      break;
    default:
      hr = E_FAIL;
  }
  PropVariantClear(&v);
  return hr;
}

HRESULT AcquireImages(HWND parent, HINSTANCE instance, LONG deviceType, LONG flags, LONG intent,
                      const GUID& format, LONG* pageCount, IStream*** streams) {
  if (!pageCount || !streams) return E_POINTER;
  *pageCount = 0;
  *streams = nullptr;
  ComPtr<IWiaDevMgr> manager;
  HRESULT hr = CoCreateInstance(Wia::CLSID_WiaDevMgr, nullptr, CLSCTX_ALL, __uuidof(IWiaDevMgr),
                                manager.PutVoid());
  if (FAILED(hr)) return hr;
  // The selection dialog knows only its own flag.
  ComPtr<IWiaItem> root;
  hr = manager->SelectDeviceDlg(parent, deviceType, flags & Wia::WIA_SELECT_DEVICE_NODEFAULT,
                                nullptr, root.Put());
  if (hr != S_OK) return hr;
  if (!root) return E_UNEXPECTED;
  Items chosen;
  hr = root->DeviceDlg(parent, flags, intent, &chosen.count, &chosen.items);
  if (hr != S_OK) return hr;
  if (chosen.count < 0 || (chosen.count && !chosen.items)) return E_UNEXPECTED;

  ComPtr<CProgressDlg> dialog;
  *dialog.Put() = new (std::nothrow) CProgressDlg(parent, instance);
  if (!dialog) return E_OUTOFMEMORY;
  dialog->AddRef();
  ComPtr<CDataCallback> callback;
  *callback.Put() =
      new (std::nothrow) CDataCallback(&ProgressCallback, dialog.Get(), pageCount, streams);
  if (!callback) return E_OUTOFMEMORY;
  callback->AddRef();
  for (LONG i = 0; i < chosen.count; ++i) {
    hr = Transfer(chosen.items[i], format, callback.Get());
    if (hr != S_OK) return hr;
  }
  return S_OK;
}

}  // namespace WiaWrap

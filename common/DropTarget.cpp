#include "common/DropTarget.h"

#include "common/Boundary.h"

namespace ShellUtils {

namespace {

bool IsDroppedFormat(CLIPFORMAT format) { return format == CF_HDROP || format == CF_DIB; }

// Known only here: tells this drop target apart from any other IDropTarget without
// looking into a foreign object.
const IID kOwnTargetIid = {
    0x5d0c3f7a, 0x2b1e, 0x4c7d, {0x9a, 0x41, 0x6e, 0x0b, 0x8f, 0x2d, 0x13, 0xc5}};

}  // namespace

CDropTarget::CDropTarget(HWND window) : window_(window), parent_(GetParent(window)) {
  if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IDropTargetHelper, helper_.PutVoid()))) {
    helper_.Reset();
  }
}

HRESULT STDMETHODCALLTYPE CDropTarget::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget) ||
      IsEqualIID(iid, kOwnTargetIid)) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CDropTarget::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

ULONG STDMETHODCALLTYPE CDropTarget::Release() {
  const LONG refs = InterlockedDecrement(&refs_);
  if (refs == 0) delete this;
  return static_cast<ULONG>(refs);
}

HRESULT CDropTarget::HelperResult(HRESULT hr) {
  if (hr == E_NOTIMPL) {
    helper_.Reset();
    return S_OK;
  }
  return hr;
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragEnter(IDataObject* data, DWORD, POINTL point,
                                                 DWORD* effect) {
  return Boundary::ComCall([&] {
    if (effect != nullptr) *effect = DROPEFFECT_COPY;
    if (!helper_) return S_OK;
    POINT pt = {point.x, point.y};
    return HelperResult(helper_->DragEnter(window_, data, &pt, DROPEFFECT_COPY));
  });
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragOver(DWORD, POINTL point, DWORD* effect) {
  return Boundary::ComCall([&] {
    if (effect != nullptr) *effect = DROPEFFECT_COPY;
    if (!helper_) return S_OK;
    POINT pt = {point.x, point.y};
    return HelperResult(helper_->DragOver(&pt, DROPEFFECT_COPY));
  });
}

HRESULT STDMETHODCALLTYPE CDropTarget::DragLeave() {
  return Boundary::ComCall([&] { return helper_ ? HelperResult(helper_->DragLeave()) : S_OK; });
}

HRESULT STDMETHODCALLTYPE CDropTarget::Drop(IDataObject* data, DWORD, POINTL point, DWORD* effect) {
  return Boundary::ComCall([&] {
    if (helper_) {
      POINT pt = {point.x, point.y};
      const HRESULT hr =
          HelperResult(helper_->Drop(data, &pt, effect != nullptr ? *effect : DROPEFFECT_COPY));
      if (FAILED(hr)) return hr;
    }
    if (data != nullptr) SendItems(data);
    if (effect != nullptr) *effect = DROPEFFECT_COPY;
    return S_OK;
  });
}

void CDropTarget::SendItems(IDataObject* data) {
  ComPtr<IEnumFORMATETC> formats;
  if (FAILED(data->EnumFormatEtc(DATADIR_GET, formats.Put())) || !formats) return;
  formats->Reset();
  FORMATETC format;
  ULONG fetched = 0;
  while (formats->Next(1, &format, &fetched) == S_OK && fetched == 1) {
    if (IsDroppedFormat(format.cfFormat)) {
      // Only a memory handle can be passed on in a message.
      FORMATETC wanted = format;
      wanted.tymed = TYMED_HGLOBAL;
      STGMEDIUM medium = {};
      if (SUCCEEDED(data->GetData(&wanted, &medium))) {
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal != nullptr) {
          SendMessageW(parent_, WM_DROPFILES, reinterpret_cast<WPARAM>(medium.hGlobal),
                       format.cfFormat == CF_HDROP ? kDroppedFiles : kDroppedDib);
        }
        ReleaseStgMedium(&medium);
      }
    }
    if (format.ptd != nullptr) CoTaskMemFree(format.ptd);
    fetched = 0;
  }
}

IDropTarget* RegisterDropTarget(HWND window) {
  IDropTarget* target = nullptr;
  (new CDropTarget(window))->QueryInterface(IID_IDropTarget, reinterpret_cast<void**>(&target));
  if (FAILED(RegisterDragDrop(window, target))) {
    target->Release();
    return nullptr;
  }
  return target;
}

void RevokeDropTarget(IDropTarget* target) {
  if (target == nullptr) return;
  IDropTarget* own = nullptr;
  if (target->QueryInterface(kOwnTargetIid, reinterpret_cast<void**>(&own)) == S_OK) {
    RevokeDragDrop(static_cast<CDropTarget*>(own)->Window());
    own->Release();
  }
  target->Release();
}

}  // namespace ShellUtils

#pragma once
// A drag source in the way applications build one, for drop tests in this process
// and in another one.
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace DragTest {

// A COM object that lives on the stack: it answers for one interface and counts
// the references held to it, but never deletes itself.
template <class Interface, const IID& kIid>
class StackCom : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, kIid)) {
      *object = static_cast<Interface*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
  int references = 0;
};

// The owner of the media handed out: each medium holds a reference until it is
// released, so no references are left once every medium went back.
using MediaOwner = StackCom<IUnknown, IID_IUnknown>;

// One format the data object offers.
struct Offer {
  CLIPFORMAT format;
  DWORD tymed;
  enum { kServe, kFail, kAnswerWithStream } behaviour;
};

// A data object in the way applications build them: it offers formats through the
// shell's standard format enumerator and serves a list of files (three unless
// told) and a 4 x 2 bitmap from memory blocks that it owns.
class TestDataObject : public StackCom<IDataObject, IID_IDataObject> {
 public:
  explicit TestDataObject(std::vector<Offer> offers, std::vector<std::wstring> files = Files())
      : offers_(std::move(offers)), files_(std::move(files)) {}
  ~TestDataObject() {
    for (HGLOBAL block : blocks_) GlobalFree(block);
  }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override {
    requestedTymeds.push_back(wanted->tymed);
    for (const Offer& offer : offers_) {
      if (offer.format != wanted->cfFormat) continue;
      if (offer.behaviour == Offer::kFail) return E_UNEXPECTED;
      if ((offer.tymed & wanted->tymed) == 0) return DV_E_TYMED;
      HGLOBAL block = offer.format == CF_HDROP ? FileList() : Bitmap();
      blocks_.push_back(block);
      *medium = {};
      medium->pUnkForRelease = &owner;
      owner.AddRef();
      if (offer.behaviour == Offer::kAnswerWithStream) {
        medium->tymed = TYMED_ISTREAM;
        CreateStreamOnHGlobal(block, FALSE, &medium->pstm);
      } else {
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = block;
      }
      ++served;
      return S_OK;
    }
    return DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* wanted) override {
    for (const Offer& offer : offers_)
      if (offer.format == wanted->cfFormat) return S_OK;
    return DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** out) override {
    if (direction != DATADIR_GET) return E_NOTIMPL;
    std::vector<FORMATETC> formats;
    for (const Offer& offer : offers_)
      formats.push_back({offer.format, nullptr, DVASPECT_CONTENT, -1, offer.tymed});
    return SHCreateStdEnumFmtEtc(static_cast<UINT>(formats.size()), formats.data(), out);
  }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }

  static const std::vector<std::wstring>& Files() {
    static const std::vector<std::wstring> files = {L"C:\\covers\\front.jpg",
                                                    L"C:\\covers\\R\x00fcckseite.png",
                                                    L"C:\\covers\\Booklet Seite 1.tif"};
    return files;
  }

  MediaOwner owner;
  int served = 0;
  std::vector<DWORD> requestedTymeds;

 private:
  HGLOBAL FileList() const {
    std::wstring names;
    for (const std::wstring& f : files_) names += f + L'\0';
    names += L'\0';
    const SIZE_T bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(drop + 1, names.data(), names.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
  }
  static HGLOBAL Bitmap() {
    const SIZE_T rows = 2 * 12;  // 4 pixels of 3 bytes, already a multiple of 4
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER) + rows);
    auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
    *header = {sizeof(BITMAPINFOHEADER), 4, 2, 1, 24, BI_RGB, rows, 0, 0, 0, 0};
    GlobalUnlock(block);
    return block;
  }

  std::vector<Offer> offers_;
  std::vector<std::wstring> files_;
  std::vector<HGLOBAL> blocks_;
};

// Lets the drag run through the OLE loop over the middle of the target window,
// and drops there on its third look. Another program's window can come in
// between: one appearing under the pointer moves the system's idea of it, and
// one shown above the target would take the drop. So the pointer is put back,
// and a look counts only while the target is the window under it.
class DropSoon : public StackCom<IDropSource, IID_IDropSource> {
 public:
  explicit DropSoon(HWND target) : target_(target) {
    RECT rect = {};
    GetWindowRect(target, &rect);
    at_ = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    SetCursorPos(at_.x, at_.y);
  }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape || ++calls_ > kMostCalls) return DRAGDROP_S_CANCEL;
    POINT now = {};
    const bool there = GetCursorPos(&now) && now.x == at_.x && now.y == at_.y;
    if (!there) SetCursorPos(at_.x, at_.y);
    const HWND under = WindowFromPoint(at_);
    if (!there || (under != target_ && !IsChild(target_, under))) {
      looks_ = 0;
      return S_OK;
    }
    return ++looks_ < 3 ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  static constexpr int kMostCalls = 1000;
  HWND target_;
  POINT at_ = {};
  int calls_ = 0;
  int looks_ = 0;
};

inline const Offer kText = {CF_UNICODETEXT, TYMED_HGLOBAL, Offer::kServe};
inline const Offer kFiles = {CF_HDROP, TYMED_HGLOBAL, Offer::kServe};
inline const Offer kDib = {CF_DIB, TYMED_HGLOBAL, Offer::kServe};

}  // namespace DragTest

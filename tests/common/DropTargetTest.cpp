#include "common/DropTarget.h"

#include <shellapi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// What the parent window saw of one WM_DROPFILES while it handled it.
struct Received {
  LPARAM kind;
  std::vector<std::wstring> files;
  LONG dibWidth = 0;
  LONG dibHeight = 0;
};
std::vector<Received> g_received;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg != WM_DROPFILES) return DefWindowProcW(hwnd, msg, wp, lp);
  Received r{lp, {}};
  if (lp == ShellUtils::kDroppedFiles) {
    HDROP drop = reinterpret_cast<HDROP>(wp);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
      wchar_t name[MAX_PATH] = {};
      DragQueryFileW(drop, i, name, MAX_PATH);
      r.files.push_back(name);
    }
  } else {
    HGLOBAL block = reinterpret_cast<HGLOBAL>(wp);
    if (auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block))) {
      r.dibWidth = header->biWidth;
      r.dibHeight = header->biHeight;
      GlobalUnlock(block);
    }
  }
  g_received.push_back(r);
  return 0;
}

// Counts the releases of the media it is attached to.
class ReleaseCounter : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override {
    ++releases;
    return 1;
  }
  int releases = 0;
};

// One format the data object offers.
struct Offer {
  CLIPFORMAT format;
  DWORD tymed;
  enum { kServe, kFail, kAnswerWithStream } behaviour;
};

// A data object in the way applications build them: it offers formats through the
// shell's standard format enumerator and serves a list of three files and a
// 4 x 2 bitmap from memory blocks that it owns.
class TestDataObject : public IDataObject {
 public:
  explicit TestDataObject(std::vector<Offer> offers) : offers_(std::move(offers)) {}
  ~TestDataObject() {
    for (HGLOBAL block : blocks_) GlobalFree(block);
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDataObject)) {
      *object = static_cast<IDataObject*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }

  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* wanted, STGMEDIUM* medium) override {
    requestedTymeds.push_back(wanted->tymed);
    for (const Offer& offer : offers_) {
      if (offer.format != wanted->cfFormat) continue;
      if (offer.behaviour == Offer::kFail) return E_UNEXPECTED;
      if ((offer.tymed & wanted->tymed) == 0) return DV_E_TYMED;
      HGLOBAL block = offer.format == CF_HDROP ? FileList() : Bitmap();
      blocks_.push_back(block);
      *medium = {};
      medium->pUnkForRelease = &counter;
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
    static const std::vector<std::wstring> files = {
        L"C:\\covers\\front.jpg", L"C:\\covers\\back.png", L"C:\\covers\\Booklet Seite 1.tif"};
    return files;
  }

  ReleaseCounter counter;
  int served = 0;
  std::vector<DWORD> requestedTymeds;

 private:
  static HGLOBAL FileList() {
    std::wstring names;
    for (const std::wstring& f : Files()) names += f + L'\0';
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
  std::vector<HGLOBAL> blocks_;
};

// Lets the drag run through the OLE loop and drops on its second look.
class DropSoon : public IDropSource {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
      *object = static_cast<IDropSource*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
  ULONG STDMETHODCALLTYPE Release() override { return 1; }
  HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return ++looks_ < 3 ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }

 private:
  int looks_ = 0;
};

const Offer kText = {CF_UNICODETEXT, TYMED_HGLOBAL, Offer::kServe};
const Offer kFiles = {CF_HDROP, TYMED_HGLOBAL, Offer::kServe};
const Offer kDib = {CF_DIB, TYMED_HGLOBAL, Offer::kServe};

class DropTargetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, OleInitialize(nullptr));
    g_received.clear();
    WNDCLASSW parentClass = {};
    parentClass.lpfnWndProc = ParentProc;
    parentClass.lpszClassName = L"TavrinDropParent";
    RegisterClassW(&parentClass);
    WNDCLASSW childClass = {};
    childClass.lpfnWndProc = DefWindowProcW;
    childClass.lpszClassName = L"TavrinDropChild";
    RegisterClassW(&childClass);
    parent_ =
        CreateWindowExW(WS_EX_TOPMOST, L"TavrinDropParent", L"Drop test", WS_POPUP | WS_VISIBLE,
                        100, 100, 300, 200, nullptr, nullptr, nullptr, nullptr);
    if (parent_ == nullptr) GTEST_SKIP() << "no display to create windows on";
    child_ = CreateWindowExW(0, L"TavrinDropChild", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200,
                             parent_, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, child_);
    UpdateWindow(parent_);
  }
  void TearDown() override {
    if (parent_ != nullptr) DestroyWindow(parent_);
    OleUninitialize();
  }

  // Drags the data over the middle of the child window and drops it there through
  // the system's own drag-and-drop loop.
  DWORD DragOntoChild(IDataObject* data) {
    RECT rc;
    GetWindowRect(child_, &rc);
    SetCursorPos((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    DropSoon source;
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DRAGDROP_S_DROP,
              DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect));
    return effect;
  }

  HWND parent_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(DropTargetTest, DroppedFilesAndBitmapReachTheParentInFormatOrder) {
  IDropTarget* target = ShellUtils::RegisterDropTarget(child_);
  ASSERT_NE(nullptr, target);
  TestDataObject data({kText, kFiles, kDib});

  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), DragOntoChild(&data));

  ASSERT_EQ(2u, g_received.size());
  EXPECT_EQ(ShellUtils::kDroppedFiles, g_received[0].kind);
  EXPECT_EQ(TestDataObject::Files(), g_received[0].files);
  EXPECT_EQ(ShellUtils::kDroppedDib, g_received[1].kind);
  EXPECT_EQ(4, g_received[1].dibWidth);
  EXPECT_EQ(2, g_received[1].dibHeight);
  // Each medium went back to its owner once the parent had handled it.
  EXPECT_EQ(2, data.counter.releases);
  ShellUtils::RevokeDropTarget(target);
}

TEST_F(DropTargetTest, DropWithoutFilesOrBitmapSendsNothingAndReportsCopy) {
  IDropTarget* target = ShellUtils::RegisterDropTarget(child_);
  ASSERT_NE(nullptr, target);
  TestDataObject data({kText});

  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), DragOntoChild(&data));
  EXPECT_TRUE(g_received.empty());
  EXPECT_EQ(0, data.served);
  ShellUtils::RevokeDropTarget(target);
}

TEST_F(DropTargetTest, OnlyMemoryMediaArePassedOnAndEveryMediumIsReleased) {
  struct Case {
    const char* name;
    std::vector<Offer> offers;
    std::vector<LPARAM> kinds;
    int releases;
  };
  const Case cases[] = {
      {"bitmap before files", {kDib, kText, kFiles}, {1, 0}, 2},
      {"failing files", {{CF_HDROP, TYMED_HGLOBAL, Offer::kFail}, kDib}, {1}, 1},
      {"files only as a stream", {{CF_HDROP, TYMED_ISTREAM, Offer::kServe}, kDib}, {1}, 1},
      {"stream given for memory", {{CF_DIB, TYMED_HGLOBAL, Offer::kAnswerWithStream}}, {}, 1},
      {"nothing offered", {}, {}, 0},
  };
  ShellUtils::CDropTarget* target = new ShellUtils::CDropTarget(child_);
  target->AddRef();
  for (const Case& c : cases) {
    g_received.clear();
    TestDataObject data(c.offers);
    DWORD effect = DROPEFFECT_MOVE;
    EXPECT_EQ(S_OK, target->Drop(&data, 0, {150, 150}, &effect)) << c.name;
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect) << c.name;
    std::vector<LPARAM> kinds;
    for (const Received& r : g_received) kinds.push_back(r.kind);
    EXPECT_EQ(c.kinds, kinds) << c.name;
    EXPECT_EQ(c.releases, data.counter.releases) << c.name;
    for (DWORD tymed : data.requestedTymeds)
      EXPECT_EQ(static_cast<DWORD>(TYMED_HGLOBAL), tymed) << c.name;
  }
  target->Release();
}

TEST_F(DropTargetTest, DragFeedbackIsAlwaysCopy) {
  ShellUtils::CDropTarget* target = new ShellUtils::CDropTarget(child_);
  target->AddRef();
  TestDataObject data({kFiles});
  DWORD effect = DROPEFFECT_MOVE | DROPEFFECT_LINK;
  EXPECT_EQ(S_OK, target->DragEnter(&data, MK_LBUTTON, {150, 150}, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  effect = DROPEFFECT_NONE;
  EXPECT_EQ(S_OK, target->DragOver(MK_LBUTTON, {160, 150}, &effect));
  EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
  EXPECT_EQ(S_OK, target->DragLeave());
  target->Release();
}

TEST_F(DropTargetTest, ComIdentityAndReferenceCount) {
  ShellUtils::CDropTarget* target = new ShellUtils::CDropTarget(child_);
  void* object = nullptr;
  ASSERT_EQ(S_OK, target->QueryInterface(IID_IDropTarget, &object));
  EXPECT_EQ(static_cast<IDropTarget*>(target), object);
  ASSERT_EQ(S_OK, target->QueryInterface(IID_IUnknown, &object));
  EXPECT_EQ(static_cast<IUnknown*>(target), object);
  object = target;
  EXPECT_EQ(E_NOINTERFACE, target->QueryInterface(IID_IDataObject, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, target->QueryInterface(IID_IDropTarget, nullptr));
  EXPECT_EQ(3u, target->AddRef());
  EXPECT_EQ(2u, target->Release());
  EXPECT_EQ(1u, target->Release());
  EXPECT_EQ(0u, target->Release());
}

TEST_F(DropTargetTest, RegistrationFailsForNoWindowAndForASecondTarget) {
  EXPECT_EQ(nullptr, ShellUtils::RegisterDropTarget(nullptr));
  IDropTarget* first = ShellUtils::RegisterDropTarget(child_);
  ASSERT_NE(nullptr, first);
  EXPECT_EQ(nullptr, ShellUtils::RegisterDropTarget(child_));
  ShellUtils::RevokeDropTarget(first);
  // Revoked, the window takes a new target.
  IDropTarget* again = ShellUtils::RegisterDropTarget(child_);
  ASSERT_NE(nullptr, again);
  ShellUtils::RevokeDropTarget(again);
  ShellUtils::RevokeDropTarget(nullptr);
}

}  // namespace

#include "common/DropTarget.h"

#include <shellapi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/common/DragSource.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TimeScale.h"

namespace {

using namespace DragTest;

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
    parent_ = CreateWindowExW(WS_EX_TOPMOST, L"TavrinDropParent", L"Drop test", WS_POPUP, 100, 100,
                              300, 200, nullptr, nullptr, nullptr, nullptr);
    if (parent_ == nullptr) GTEST_SKIP() << "no display to create windows on";
    child_ = CreateWindowExW(0, L"TavrinDropChild", L"", WS_CHILD | WS_VISIBLE, 0, 0, 300, 200,
                             parent_, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, child_);
    // Shown without activation, the window is not handed to a window manager, so
    // that destroying it does not wait for one (there is none under Xvfb).
    ShowWindow(parent_, SW_SHOWNOACTIVATE);
    UpdateWindow(parent_);
  }
  void TearDown() override {
    if (parent_ != nullptr) DestroyWindow(parent_);
    OleUninitialize();
  }

  // Drags the data over the middle of the child window and drops it there through
  // the system's own drag-and-drop loop.
  DWORD DragOntoChild(IDataObject* data) {
    DropSoon source(child_);
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
  EXPECT_EQ(2, data.served);
  EXPECT_EQ(0, data.owner.references);
  ShellUtils::RevokeDropTarget(target);
}

TEST_F(DropTargetTest, FilesAndBitmapDraggedFromAnotherProgramArrive) {
  IDropTarget* target = ShellUtils::RegisterDropTarget(child_);
  ASSERT_NE(nullptr, target);
  std::wstring source = ProgramFolder() + L"drag_source.exe";
  std::wstring command = L"drag_source " + std::to_wstring(reinterpret_cast<std::intptr_t>(child_));
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  ASSERT_TRUE(CreateProcessW(source.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  // The drag calls into this thread's target: keep its messages flowing meanwhile.
  const DWORD deadline = GetTickCount() + ScaledMs(20000);
  while (MsgWaitForMultipleObjects(1, &pi.hProcess, FALSE, deadline - GetTickCount(),
                                   QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  }
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &exitCode);
  if (exitCode == STILL_ACTIVE) TerminateProcess(pi.hProcess, 99);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);

  EXPECT_EQ(0u, exitCode);
  ASSERT_EQ(2u, g_received.size());
  EXPECT_EQ(ShellUtils::kDroppedFiles, g_received[0].kind);
  EXPECT_EQ(TestDataObject::Files(), g_received[0].files);
  EXPECT_EQ(ShellUtils::kDroppedDib, g_received[1].kind);
  EXPECT_EQ(4, g_received[1].dibWidth);
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
    int served;
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
    EXPECT_EQ(c.served, data.served) << c.name;
    EXPECT_EQ(0, data.owner.references) << c.name;
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

// Some other program's drop target.
class ForeignTarget : public StackCom<IDropTarget, IID_IDropTarget> {
 public:
  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD*) override { return S_OK; }
};

TEST_F(DropTargetTest, RevokingAForeignTargetOnlyReleasesIt) {
  ForeignTarget foreign;
  ASSERT_EQ(S_OK, RegisterDragDrop(child_, &foreign));
  foreign.AddRef();  // the reference handed to RevokeDropTarget
  const int before = foreign.references;
  ShellUtils::RevokeDropTarget(&foreign);
  EXPECT_EQ(before - 1, foreign.references);
  // The foreign registration stands.
  EXPECT_EQ(nullptr, ShellUtils::RegisterDropTarget(child_));
  EXPECT_EQ(S_OK, RevokeDragDrop(child_));
}

}  // namespace

#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include "common/ComPtr.h"

namespace ShellUtils {

// Second parameter of the WM_DROPFILES message that a drop sends to the parent.
constexpr LPARAM kDroppedFiles = 0;  // first parameter: an HDROP (CF_HDROP)
constexpr LPARAM kDroppedDib = 1;    // first parameter: an HGLOBAL holding a packed DIB (CF_DIB)

// The OLE drop target of a window: dropped files and bitmaps go to the window's
// parent as WM_DROPFILES, one message per item in the order the data offers them,
// sent with SendMessageW so that the drop waits until the parent has handled it.
//
// The medium stays the drop target's: the handle is valid only while the parent
// handles the message, and the target releases it (ReleaseStgMedium) once the
// message returns. The parent reads it (DragQueryFileW on the HDROP, GlobalLock and
// GlobalUnlock on the DIB), copies what it keeps, and frees nothing: no DragFinish,
// no GlobalFree. A drop always reports DROPEFFECT_COPY.
class CDropTarget : public IDropTarget {
 public:
  // The window registered for drops; its parent receives the dropped data.
  explicit CDropTarget(HWND window);
  CDropTarget(const CDropTarget&) = delete;
  CDropTarget& operator=(const CDropTarget&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point,
                                      DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT STDMETHODCALLTYPE DragLeave() override;
  HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point,
                                 DWORD* effect) override;

  HWND Window() const { return window_; }

 private:
  virtual ~CDropTarget() = default;
  // A helper result; a helper that does not implement the call is dropped, and the
  // drop target goes on as it does without one.
  HRESULT HelperResult(HRESULT hr);
  void SendItems(IDataObject* data);

  LONG refs_ = 0;
  HWND window_;
  HWND parent_;
  ComPtr<IDropTargetHelper> helper_;
};

// Registers a new drop target for the window; the returned reference is the
// caller's (the registration keeps its own). Null when the window cannot take one.
IDropTarget* RegisterDropTarget(HWND window);
// Revokes the registration of a target made by RegisterDropTarget and releases the
// caller's reference; a null pointer is ignored.
void RevokeDropTarget(IDropTarget* target);

}  // namespace ShellUtils

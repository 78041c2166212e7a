#include "wizard/ui/Subclass.h"

#include <commctrl.h>

#include "common/Boundary.h"

namespace ui {

bool Subclass::Attach(HWND window) {
  Detach();
  if (!SetWindowSubclass(window, Proc, reinterpret_cast<UINT_PTR>(this),
                         reinterpret_cast<DWORD_PTR>(this)))
    return false;
  window_ = window;
  return true;
}

void Subclass::Detach() {
  if (window_) RemoveWindowSubclass(window_, Proc, reinterpret_cast<UINT_PTR>(this));
  window_ = nullptr;
}

LRESULT CALLBACK Subclass::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR self) {
  auto* subclass = reinterpret_cast<Subclass*>(self);
  if (message == WM_NCDESTROY) {
    // The window's own procedure still gets its last message.
    subclass->Detach();
    return DefSubclassProc(window, message, wParam, lParam);
  }
  // A message whose handler threw goes on to the window's own procedure.
  bool handled = true;
  LRESULT result = 0;
  if (!Boundary::Run("a subclassed window",
                     [&] { result = subclass->OnMessage(message, wParam, lParam, handled); }))
    handled = false;
  return handled ? result : DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace ui

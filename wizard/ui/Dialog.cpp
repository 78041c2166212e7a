#include "wizard/ui/Dialog.h"

#include "common/Boundary.h"
#include "wizard/ui/Module.h"

namespace ui {

INT_PTR DialogResult(HWND dialog, UINT message, LRESULT result) {
  switch (message) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
    case WM_INITDIALOG:
      return static_cast<INT_PTR>(result);
    default:
      SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

INT_PTR Dialog::DoModal(HWND owner) {
  return DialogBoxParamW(Instance(), MAKEINTRESOURCEW(templateId_), owner, Proc,
                         reinterpret_cast<LPARAM>(this));
}

void Dialog::CenterOnOwner() {
  RECT own;
  HWND owner = GetWindow(window_, GW_OWNER);
  if (!owner || !GetWindowRect(owner, &own)) SystemParametersInfoW(SPI_GETWORKAREA, 0, &own, 0);
  RECT mine;
  GetWindowRect(window_, &mine);
  const int width = mine.right - mine.left;
  const int height = mine.bottom - mine.top;
  SetWindowPos(window_, nullptr, own.left + (own.right - own.left - width) / 2,
               own.top + (own.bottom - own.top - height) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT Dialog::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

INT_PTR CALLBACK Dialog::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<Dialog*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    self->window_ = window;
    INT_PTR focus = TRUE;
    if (!Boundary::Run("a dialog", [&] { focus = self->OnInitDialog(); })) {
      // A dialog that could not be set up ends as one that could not be made.
      EndDialog(window, -1);
      return FALSE;
    }
    return focus;
  }
  auto* self = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  INT_PTR answer = FALSE;
  Boundary::Run("a dialog", [&] {
    bool handled = true;
    const LRESULT result = self->OnMessage(message, wParam, lParam, handled);
    answer = handled ? DialogResult(window, message, result) : FALSE;
  });
  if (message == WM_NCDESTROY) self->window_ = nullptr;
  return answer;
}

}  // namespace ui

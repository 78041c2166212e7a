#include "wizard/WebLink.h"

#include <shellapi.h>

namespace {

const int kAddressLimit = 1024;

}  // namespace

bool CStaticWebLinkT::SubclassWindow(HWND dialog, int controlId) {
  controlId_ = controlId;
  return Attach(GetDlgItem(dialog, controlId));
}

LRESULT CStaticWebLinkT::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  switch (message) {
    case WM_NCHITTEST:
      // A static is transparent to the mouse unless it says otherwise.
      return HTCLIENT;
    case WM_MOUSEMOVE:
    case WM_SETCURSOR:
      // The cursor is set again at every WM_SETCURSOR; answer it too.
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return TRUE;
    case WM_LBUTTONDOWN: {
      wchar_t address[kAddressLimit] = L"";
      GetWindowTextW(Window(), address, kAddressLimit);
      ShellExecuteW(GetDesktopWindow(), L"open", address, nullptr, nullptr, SW_SHOW);
      return 0;
    }
    default:
      handled = false;
      return 0;
  }
}

#include "VOVudorod/Ombrel/OmbrelConfig.h"

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/OmbrelResource.h"
#include "common/Boundary.h"
#include "common/Localizer.h"
#include "common/Settings.h"

namespace {

const int kAddressCapacity = 260;

// The module that holds the dialog template: this plug-in, not the host.
HINSTANCE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<LPCWSTR>(&OwnModule), &module);
  return module;
}

// Centres the window on its owner, or on the work area without one, and keeps
// it inside the work area.
void CenterOnOwner(HWND window) {
  RECT own;
  GetWindowRect(window, &own);
  HWND owner = GetWindow(window, GW_OWNER);
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner ? owner : window, MONITOR_DEFAULTTONEAREST), &monitor);
  const RECT area = monitor.rcWork;
  RECT around = area;
  if (owner && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  const LONG width = own.right - own.left, height = own.bottom - own.top;
  LONG x = (around.left + around.right - width) / 2;
  LONG y = (around.top + around.bottom - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

INT_PTR COmbrelConfig::DoModal(HWND parent) {
  const INT_PTR result = DialogBoxParamW(OwnModule(), MAKEINTRESOURCEW(IDD_OMBREL_CONFIG), parent,
                                         &DialogProc, reinterpret_cast<LPARAM>(this));
  return result == IDOK ? IDOK : IDCANCEL;
}

INT_PTR CALLBACK COmbrelConfig::DialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<COmbrelConfig*>(lParam)->window_ = window;
  }
  auto* self = reinterpret_cast<COmbrelConfig*>(GetWindowLongPtrW(window, DWLP_USER));
  LRESULT result = 0;
  BOOL handled = FALSE;
  if (self && !Boundary::Run("the e-mail dialog", [&] {
        handled = self->ProcessWindowMessage(window, message, wParam, lParam, result);
      })) {
    // A dialog that could not be set up is cancelled; after a failed Submit it stays.
    if (message == WM_INITDIALOG) EndDialog(window, IDCANCEL);
    return FALSE;
  }
  if (!handled) return FALSE;
  if (message == WM_INITDIALOG) return static_cast<INT_PTR>(result);
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

BOOL COmbrelConfig::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM,
                                         LRESULT& result) {
  switch (message) {
    case WM_INITDIALOG:
      result = OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) {
        OnOK();
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        OnCancel();
        return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

bool COmbrelConfig::IsAcceptedAddress(const std::wstring& text) {
  const std::size_t at = text.find(L'@');
  const std::size_t dot = text.rfind(L'.');
  return at != std::wstring::npos && dot != std::wstring::npos && dot > at;
}

LRESULT COmbrelConfig::OnInitDialog() {
  CenterOnOwner(window_);
  Localizer::TranslateDialog(window_);
  std::wstring address = Cddb::kDefaultSubmitter;
  std::wstring stored;
  if (Settings::GetString(Cddb::kEmailSetting, stored)) address = stored;
  SetDlgItemTextW(window_, IDC_OMBREL_EMAIL, address.c_str());
  return FALSE;  // the focus is left where the system puts it
}

void COmbrelConfig::OnOK() {
  wchar_t buffer[kAddressCapacity] = {};
  if (GetDlgItemTextW(window_, IDC_OMBREL_EMAIL, buffer, kAddressCapacity) == 0) return;
  const std::wstring address = buffer;
  if (!IsAcceptedAddress(address)) return;
  Settings::SetString(Cddb::kEmailSetting, address, false);
  EndDialog(window_, IDOK);
}

void COmbrelConfig::OnCancel() { EndDialog(window_, IDCANCEL); }

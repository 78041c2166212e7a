#include "wizard/ui/WizardPage.h"

#include <commctrl.h>

#include "common/Boundary.h"
#include "wizard/ui/Module.h"

namespace ui {

namespace {

// Posted by an exterior page to itself when it becomes current.
const UINT WM_PLACE_EXTERIOR = WM_LAYER_FIRST;
// The etched line above the sheet's buttons.
const int kSheetBottomLine = 0x3026;

}  // namespace

WizardPage::WizardPage(int templateId, PageKind kind, HelpIdRule helpIds)
    : templateId_(templateId), kind_(kind), helpIds_(helpIds) {}

void WizardPage::SetHeader(const std::wstring& title, const std::wstring& subtitle) {
  headerTitle_ = title;
  headerSubtitle_ = subtitle;
}

HPROPSHEETPAGE WizardPage::Create() {
  PROPSHEETPAGEW page = {};
  page.dwSize = sizeof(page);
  page.dwFlags = PSP_USETITLE | PSP_HASHELP;
  if (kind_ == PageKind::Exterior) {
    page.dwFlags |= PSP_HIDEHEADER;
  } else {
    page.dwFlags |= PSP_USEHEADERTITLE | PSP_USEHEADERSUBTITLE;
    page.pszHeaderTitle = headerTitle_.c_str();
    page.pszHeaderSubTitle = headerSubtitle_.c_str();
  }
  page.hInstance = Instance();
  page.pszTemplate = MAKEINTRESOURCEW(templateId_);
  page.pszTitle = title_.c_str();
  page.pfnDlgProc = Proc;
  page.lParam = reinterpret_cast<LPARAM>(this);
  return CreatePropertySheetPageW(&page);
}

void WizardPage::SetWizardButtons(DWORD flags) const {
  PostMessageW(Sheet(), PSM_SETWIZBUTTONS, 0, flags);
}

LRESULT WizardPage::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

INT_PTR CALLBACK WizardPage::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    // The sheet passes its copy of the page description.
    auto* self = reinterpret_cast<WizardPage*>(reinterpret_cast<PROPSHEETPAGEW*>(lParam)->lParam);
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
    return Boundary::Call("a wizard page", INT_PTR(TRUE), [self] {
      self->ApplyHelpIds();
      return INT_PTR(self->OnInitDialog());
    });
  }
  auto* self = reinterpret_cast<WizardPage*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!self) return FALSE;
  INT_PTR result = FALSE;
  if (!Boundary::Run("a wizard page", [&] { result = self->Dispatch(message, wParam, lParam); }))
    result = self->FailedResult(message, lParam);
  if (message == WM_NCDESTROY) self->window_ = nullptr;
  return result;
}

INT_PTR WizardPage::FailedResult(UINT message, LPARAM lParam) const {
  if (message != WM_NOTIFY) return FALSE;
  const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
  if (header.hwndFrom != Sheet()) return FALSE;
  switch (header.code) {
    case PSN_WIZNEXT:
    case PSN_WIZBACK:
      return DialogResult(window_, message, -1);
    case PSN_WIZFINISH:
    case PSN_QUERYCANCEL:
    case PSN_KILLACTIVE:
      return DialogResult(window_, message, TRUE);
    default:
      return FALSE;
  }
}

INT_PTR WizardPage::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    LRESULT result = 0;
    if (header.hwndFrom == Sheet() && OnSheetNotify(header, result))
      return DialogResult(window_, message, result);
  }
  if (message == WM_PLACE_EXTERIOR) {
    PlaceExterior();
    return TRUE;
  }
  bool handled = true;
  const LRESULT result = OnMessage(message, wParam, lParam, handled);
  return handled ? DialogResult(window_, message, result) : FALSE;
}

bool WizardPage::OnSheetNotify(const NMHDR& header, LRESULT& result) {
  switch (header.code) {
    case PSN_SETACTIVE:
      if (kind_ == PageKind::Exterior) PostMessageW(window_, WM_PLACE_EXTERIOR, 0, 0);
      result = OnSetActive();
      return true;
    case PSN_WIZNEXT:
      result = OnWizardNext();
      return true;
    case PSN_WIZBACK:
      result = OnWizardBack();
      return true;
    case PSN_WIZFINISH:
      result = OnWizardFinish();
      return true;
    case PSN_QUERYCANCEL:
      result = OnQueryCancel();
      return true;
    case PSN_KILLACTIVE:
      result = OnKillActive();
      return true;
    case PSN_HELP:
      OnHelp();
      return true;
    default:
      return false;
  }
}

void WizardPage::ApplyHelpIds() const {
  if (!helpIds_) return;
  for (HWND child = GetWindow(window_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
    SetWindowContextHelpId(child, helpIds_(templateId_, GetDlgCtrlID(child)));
}

void WizardPage::PlaceExterior() const {
  // An exterior page that follows an interior one may keep the interior
  // page's place; it belongs above the sheet's bottom line, across the sheet.
  HWND line = GetDlgItem(Sheet(), kSheetBottomLine);
  RECT rect;
  if (!line || !GetWindowRect(line, &rect)) return;
  MapWindowPoints(nullptr, Sheet(), reinterpret_cast<POINT*>(&rect), 2);
  SetWindowPos(window_, nullptr, 0, 0, rect.right, rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(Sheet(), nullptr, TRUE);
}

}  // namespace ui

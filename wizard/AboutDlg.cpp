#include "wizard/AboutDlg.h"

#include <string>

#include "common/Localizer.h"
#include "common/TextFormat.h"
#include "wizard/Version.h"
#include "wizard/resources/resource.h"

namespace {

const int kTextLimit = 1024;

}  // namespace

CAboutDlg::CAboutDlg() : ui::Dialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
  CenterOnOwner();
  Localizer::TranslateDialog(Window());
  // The translation is a text of the language file, never a printf format.
  wchar_t format[kTextLimit] = L"";
  GetDlgItemTextW(Window(), IDC_ABOUT_TEXT, format, kTextLimit);
  const std::wstring text = TextFormat::Fill(
      format, {std::to_wstring(Version::kMajor), std::to_wstring(Version::kMinor),
               std::to_wstring(Version::kBuild), std::to_wstring(Version::kRevision)});
  SetDlgItemTextW(Window(), IDC_ABOUT_TEXT, text.c_str());
  link_.SubclassWindow(Window(), IDC_WEBLINK);
  return TRUE;
}

LRESULT CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message == WM_CTLCOLORSTATIC &&
      GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) == link_.ControlId()) {
    // The dialog's own brush, blue text on it.
    const LRESULT brush = DefWindowProcW(Window(), message, wParam, lParam);
    SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0xFF));
    SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
    return brush;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    End(LOWORD(wParam));
    return 0;
  }
  handled = false;
  return 0;
}

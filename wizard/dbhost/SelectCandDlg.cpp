#include "wizard/dbhost/SelectCandDlg.h"

#include "common/Localizer.h"
#include "wizard/resources/resource.h"

CSelectCandDlg::CSelectCandDlg(const std::vector<DiscMatch>& matches)
    : ui::Dialog(IDD_SELECTCAND), matches_(matches) {}

BOOL CSelectCandDlg::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  CenterOnOwner();
  HWND list = GetDlgItem(Window(), IDC_CANDIDATES);
  for (const DiscMatch& match : matches_) {
    const std::wstring line = match.artist + L" - " + match.title;
    SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  }
  SendMessageW(list, LB_SETCURSEL, 0, 0);
  return TRUE;
}

LRESULT CSelectCandDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  if (message == WM_COMMAND) {
    switch (LOWORD(wParam)) {
      case IDOK: {
        const LRESULT line = SendMessageW(GetDlgItem(Window(), IDC_CANDIDATES), LB_GETCURSEL, 0, 0);
        result_ = line == LB_ERR ? -1 : static_cast<int>(line);
        End(IDOK);
        return 0;
      }
      case IDCANCEL:
        result_ = -1;
        End(IDCANCEL);
        return 0;
    }
  }
  handled = false;
  return 0;
}

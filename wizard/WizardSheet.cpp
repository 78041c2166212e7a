#include "wizard/WizardSheet.h"

#include <dbt.h>

#include "common/Localizer.h"
#include "wizard/AboutDlg.h"
#include "wizard/HelpIds.h"
#include "wizard/resources/resource.h"

namespace {

// The sheet's own buttons.
const int kBackButton = 0x3023;
const int kNextButton = 0x3024;
const int kFinishButton = 0x3025;
const int kHelpButton = 9;
bool IsSheetButton(int id) {
  return id == kBackButton || id == kNextButton || id == kFinishButton || id == IDCANCEL ||
         id == kHelpButton;
}

// The first control of the track editor's column a control of a later row
// belongs to (number, title, artist), 0 for other controls.
int TrackColumnOf(int control) {
  for (int first : {IDC_TRACK_NUMBER, IDC_TRACK_TITLE, IDC_TRACK_ARTIST})
    if (control >= first && control < first + 100) return first;
  return 0;
}

}  // namespace

CWizardSheet::CWizardSheet(const CWizardInfo& info)
    : ui::Wizard97Sheet(IDB_HEADER, IDB_WATERMARK),
      CWizardInfo(info),
      title_(Localizer::Translate(L"Velmora TAVRIN Wizard...{WINDOWTITLE}")),
      welcome_(info),
      selectOp_(info),
      sourceDrive_(info),
      backupFile_(info),
      trackEditor_(info),
      destination_(info),
      addImage_(info),
      exportImage_(info),
      selectTracks_(info),
      selectDiscs_(info),
      recorder_(info),
      progress_(info),
      completion_(info) {
  for (ui::WizardPage* page : std::initializer_list<ui::WizardPage*>{
           &welcome_, &selectOp_, &sourceDrive_, &backupFile_, &trackEditor_, &destination_,
           &addImage_, &exportImage_, &selectTracks_, &selectDiscs_, &recorder_, &progress_,
           &completion_}) {
    page->SetTitle(title_);
    AddPage(*page);
  }
}

void CWizardSheet::OnInitialized() {
  (*this)->sheetWindow = Window();
  HMENU menu = GetSystemMenu(Window(), FALSE);
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, IDM_ABOUT,
              Localizer::Translate(L"About TAVRIN{MENU_ABOUT}").c_str());
}

LRESULT CWizardSheet::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_SYSCOMMAND:
      if (wParam != IDM_ABOUT) break;
      CAboutDlg().DoModal(Window());
      return 0;
    case WM_QUERYENDSESSION:
      return progress_.CanEndSession();
    case WM_DEVICECHANGE: {
      const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
      if ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && header &&
          header->dbch_devicetype == DBT_DEVTYP_VOLUME) {
        sourceDrive_.OnDeviceChange(header);
        recorder_.OnDeviceChange(header);
      }
      return 0;
    }
    case WM_HELP:
      OnHelp(*reinterpret_cast<const HELPINFO*>(lParam));
      return 0;
  }
  handled = false;
  return 0;
}

void CWizardSheet::OnHelp(HELPINFO help) {
  if (IsSheetButton(help.iCtrlId)) help.dwContextId = 0x80000000u | help.iCtrlId;
  if (help.dwContextId != 0) {
    ShowContextHelp(help);
    return;
  }
  HWND page = PropSheet_GetCurrentPageHwnd(Window());
  const int index = page ? PropSheet_HwndToIndex(Window(), page) : -1;
  if (index < 0) return;
  const int pageId = static_cast<int>(PropSheet_IndexToId(Window(), index));
  if (pageId == 0) return;
  // The track editor's later rows share the texts of their column.
  const int column = TrackColumnOf(help.iCtrlId);
  if (pageId == IDD_WIZ97_TRACKEDITOR && column != 0) {
    help.dwContextId = MakeHelpId(IDD_WIZ97_TRACKEDITOR, column);
    ShowContextHelp(help);
    return;
  }
  ShowPageHelp(pageId, help.iCtrlId);
}

#include "wizard/pages/SelDiscsPage.h"

#include <commctrl.h>

#include <string>

#include "common/Localizer.h"
#include "wizard/resources/resource.h"

namespace {

const DWORD kListStyles = LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
const int kTitleWidth = 180;
const int kArtistWidth = 150;
const int kDiscPadding = 15;
enum Column { kDisc, kTitle, kArtist };

void InsertColumn(HWND list, int index, const std::wstring& header, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = const_cast<wchar_t*>(header.c_str());
  column.cx = width;
  column.iSubItem = index;
  ListView_InsertColumn(list, index, &column);
}

void SetCell(HWND list, int row, int column, const std::wstring& text) {
  ListView_SetItemText(list, row, column, const_cast<wchar_t*>(text.c_str()));
}

}  // namespace

CWizardSelDiscsPage::CWizardSelDiscsPage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97SELDISCS,
                      L"Select the discs you want to restore{SELDISCSPAGE_TITLE}",
                      L"This image contains more than one audio-CD{SELDISCSPAGE_SUBTITLE}") {}

BOOL CWizardSelDiscsPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  list_ = GetDlgItem(Window(), IDC_DISCS);
  ListView_SetExtendedListViewStyle(list_, kListStyles);
  const std::wstring disc = Localizer::Translate(L"Disc{DISC}");
  InsertColumn(list_, kDisc, disc, ListView_GetStringWidth(list_, disc.c_str()) + kDiscPadding);
  InsertColumn(list_, kTitle, Localizer::Translate(L"Title{TRACKNAME}"), kTitleWidth);
  InsertColumn(list_, kArtist, Localizer::Translate(L"Artist{ARTIST}"), kArtistWidth);
  Fill();
  return TRUE;
}

int CWizardSelDiscsPage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK);
  Fill();
  return 0;
}

int CWizardSelDiscsPage::OnWizardNext() { return Collect() ? NextPageId(Id()) : -1; }

LRESULT CWizardSelDiscsPage::OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) {
  handled = false;
  if (message != WM_NOTIFY) return 0;
  const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
  if (header.idFrom != IDC_DISCS) return 0;
  if (header.code == LVN_ITEMCHANGED) {
    CountChecked();
  } else if (header.code == LVN_KEYDOWN) {
    const auto& key = *reinterpret_cast<const NMLVKEYDOWN*>(lParam);
    if (key.wVKey == 'A' && GetKeyState(VK_CONTROL) < 0) {
      CheckAll(checked_ != Rows());
      CountChecked();
    }
  }
  return 0;
}

void CWizardSelDiscsPage::Fill() const {
  ListView_DeleteAllItems(list_);
  const std::vector<BackupDisc>& discs = (*this)->discs;
  for (std::size_t i = 0; i < discs.size(); ++i) {
    const std::wstring number = std::to_wstring(i + 1);
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(number.c_str());
    const int row = ListView_InsertItem(list_, &item);
    // A disc without texts shows only its number.
    const std::vector<TrackText>& texts = discs[i].disc.tracks;
    if (row < 0 || texts.empty()) continue;
    SetCell(list_, row, kTitle, texts.front().title);
    SetCell(list_, row, kArtist, texts.front().artist);
  }
}

// Every change of a row, its insertion too, counts all rows again.
void CWizardSelDiscsPage::CountChecked() {
  checked_ = 0;
  for (int row = 0; row < Rows(); ++row)
    if (IsChecked(row)) ++checked_;
  SetWizardButtons(checked_ > 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void CWizardSelDiscsPage::CheckAll(bool check) const {
  for (int row = 0; row < Rows(); ++row) ListView_SetCheckState(list_, row, check);
}

bool CWizardSelDiscsPage::Collect() {
  std::vector<int32_t>& queue = (*this)->discQueue;
  queue.clear();
  for (int row = 0; row < Rows(); ++row)
    if (IsChecked(row)) queue.push_back(row);
  (*this)->discsChosen = static_cast<int32_t>(queue.size());
  return !queue.empty();
}

int CWizardSelDiscsPage::Rows() const { return ListView_GetItemCount(list_); }

bool CWizardSelDiscsPage::IsChecked(int row) const {
  return ListView_GetCheckState(list_, row) != 0;
}

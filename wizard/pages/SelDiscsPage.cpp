#include "wizard/pages/SelDiscsPage.h"

#include <commctrl.h>

#include <string>

#include "common/Localizer.h"
#include "wizard/pages/ListViewCells.h"
#include "wizard/resources/resource.h"

namespace {

using ListViewCells::InsertColumn;
using ListViewCells::kArtistWidth;
using ListViewCells::kTitleWidth;
using ListViewCells::SetCell;

const int kDiscPadding = 15;
enum Column { kDisc, kTitle, kArtist };

}  // namespace

CWizardSelDiscsPage::CWizardSelDiscsPage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97SELDISCS,
                      L"Select the discs you want to restore{SELDISCSPAGE_TITLE}",
                      L"This image contains more than one audio-CD{SELDISCSPAGE_SUBTITLE}") {}

BOOL CWizardSelDiscsPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  list_ = GetDlgItem(Window(), IDC_DISCS);
  ListView_SetExtendedListViewStyle(list_, ListViewCells::kCheckListStyles);
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
    if (ListViewCells::ToggleAllOnCtrlA(list_, key.wVKey)) CountChecked();
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
  checked_ = ListViewCells::CountChecked(list_);
  SetWizardButtons(checked_ > 0 ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
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

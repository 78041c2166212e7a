#include "wizard/pages/SelectSourceDrivePage.h"

#include "common/Localizer.h"
#include "engine/backup/BackupFormat.h"
#include "wizard/UpdateCheck.h"
#include "wizard/dbhost/SelectCandDlg.h"
#include "wizard/jobs/Action.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"

namespace {

const UINT kRefreshDelay = 2000;
const wchar_t kUnknown[] = L"Unknown{UNKNOWN}";

}  // namespace

CWizardSelectSourceDrivePage::CWizardSelectSourceDrivePage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_SELECTSOURCEDRIVE,
                      L"Select Source Drive{SELCTSOURCEDRIVEPAGE_TITLE}",
                      L"Please select the drive with the CD you want to "
                      L"backup...{SELECTSOURCEDRIVEPAGE_SUBTITLE}") {}

CWizardSelectSourceDrivePage::~CWizardSelectSourceDrivePage() {
  if (images_) ImageList_Destroy(images_);
}

BOOL CWizardSelectSourceDrivePage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  combo_ = GetDlgItem(Window(), IDC_DRIVES);
  images_ = ImageList_Create(32, 32, ILC_COLOR32 | ILC_MASK, DiscLookup::kSlots, 0);
  // Every slot number has an image before its drive's icon arrives.
  HICON placeholder = LoadIconW(nullptr, IDI_WINLOGO);
  for (int i = 0; i < DiscLookup::kSlots; ++i) ImageList_AddIcon(images_, placeholder);
  SendMessageW(combo_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));
  UpdateCheck::ProbeDatabaseHost();
  lookup_.Start(Window());
  return TRUE;
}

int CWizardSelectSourceDrivePage::OnSetActive() {
  active_ = true;
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  Refresh(CdDevice::GetDriveList());
  UpdatePage();
  StartTimer();
  // A choice that came while another page was shown is made now.
  bool waiting = false;
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    waiting = lookup_.Pending() != nullptr;
  }
  if (waiting) PostMessageW(Window(), WM_JOB_NOTIFY, LOOKUP_CHOOSE, 0);
  return 0;
}

BOOL CWizardSelectSourceDrivePage::OnKillActive() {
  active_ = false;
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  return FALSE;
}

void CWizardSelectSourceDrivePage::OnDeviceChange(const DEV_BROADCAST_HDR*) {
  if (!active_) return;
  Refresh(CdDevice::GetDriveList());
  UpdatePage();
  StartTimer();
}

void CWizardSelectSourceDrivePage::StartTimer() {
  timerId_ = SetTimer(Window(), kRefreshTimer, kRefreshDelay, nullptr);
}

LRESULT CWizardSelectSourceDrivePage::OnMessage(UINT message, WPARAM wParam, LPARAM,
                                                bool& handled) {
  switch (message) {
    case WM_TIMER:
      // Each tick is the last: the list is read once more after the drive settled.
      if (timerId_) {
        KillTimer(Window(), timerId_);
        timerId_ = 0;
      }
      if (active_) {
        Refresh(CdDevice::GetDriveList());
        UpdatePage();
      }
      return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_DRIVES && HIWORD(wParam) == CBN_SELENDOK) {
        UpdatePage();
        return 0;
      }
      break;
    case WM_JOB_NOTIFY:
      return OnLookupNotify(wParam);
    case WM_DESTROY:
      lookup_.Stop();
      break;
  }
  handled = false;
  return 0;
}

CdDevice::DriveEntry* CWizardSelectSourceDrivePage::SelectedSlot() const {
  const LRESULT item = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
  if (item == CB_ERR) return nullptr;
  COMBOBOXEXITEMW data = {};
  data.mask = CBEIF_LPARAM;
  data.iItem = item;
  if (!SendMessageW(combo_, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&data))) return nullptr;
  return reinterpret_cast<CdDevice::DriveEntry*>(data.lParam);
}

void CWizardSelectSourceDrivePage::Refresh(const std::vector<CdDevice::DriveEntry>& drives) {
  if (!Window() || !active_) return;
  if (drives.empty()) {
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    return;
  }
  std::lock_guard<std::mutex> lock(lookup_.Mutex());
  const CdDevice::DriveEntry* selected = SelectedSlot();
  const wchar_t previous = selected ? selected->letter : 0;
  auto find = [&](bool audio, bool previousOnly) -> int {
    for (size_t j = 0; j < drives.size(); ++j)
      if ((!audio || drives[j].kind == CdDevice::KindAudio) &&
          (!previousOnly || drives[j].letter == previous))
        return static_cast<int>(j);
    return -1;
  };
  int choice = find(true, true);
  if (choice < 0) choice = find(true, false);
  if (choice < 0) choice = find(false, true);
  if (choice < 0) choice = 0;

  LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
  for (; count > static_cast<LRESULT>(drives.size()); --count)
    SendMessageW(combo_, CBEM_DELETEITEM, 0, 0);
  for (; count < static_cast<LRESULT>(drives.size()); ++count) {
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT;
    item.iItem = -1;
    item.pszText = const_cast<wchar_t*>(L"");
    SendMessageW(combo_, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  for (size_t j = 0; j < drives.size(); ++j) {
    const int slot = DiscLookup::SlotOf(drives[j].letter);
    CdDevice::DriveEntry& entry = lookup_.Slot(slot);
    entry = drives[j];
    if (entry.icon) ImageList_ReplaceIcon(images_, slot, entry.icon.get());
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
    item.iItem = static_cast<INT_PTR>(j);
    item.pszText = entry.displayName;
    item.iImage = item.iSelectedImage = slot;
    item.lParam = reinterpret_cast<LPARAM>(&entry);
    SendMessageW(combo_, CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  }
  SendMessageW(combo_, CB_SETCURSEL, choice, 0);
}

void CWizardSelectSourceDrivePage::SetLabels(const std::wstring& artist,
                                             const std::wstring& title) const {
  SetDlgItemTextW(Window(), IDC_DISC_ARTIST, artist.c_str());
  SetDlgItemTextW(Window(), IDC_DISC_TITLE, title.c_str());
}

void CWizardSelectSourceDrivePage::ShowLookupTexts(const DiscLookup::Entry& entry) const {
  if (!entry || entry->disc.tracks.empty()) {
    const std::wstring unknown = Localizer::Translate(kUnknown);
    SetLabels(unknown, unknown);
  } else {
    SetLabels(entry->disc.tracks[0].artist, entry->disc.tracks[0].title);
  }
}

void CWizardSelectSourceDrivePage::UpdatePage() {
  if (!active_) return;
  CWizardInfo& info = *this;
  std::unique_lock<std::mutex> lock(lookup_.Mutex());
  const CdDevice::DriveEntry* selected = SelectedSlot();
  if (!selected || selected->kind != CdDevice::KindAudio) {
    lock.unlock();
    SetLabels(L"", L"");
    SetWizardButtons(PSWIZB_BACK);
    return;
  }
  DiscLookup::Entry entry = lookup_.Find(selected->toc);
  // Texts the user already has for this disc win over the lookup's.
  if (entry && entry->state == DiscLookup::StateDone && info->drive && discToc_ == selected->toc &&
      !info->disc.tracks.empty())
    entry->disc = info->disc;
  if (!entry || entry->state != DiscLookup::StateDone) {
    const std::wstring unknown = Localizer::Translate(kUnknown);
    SetLabels(unknown, unknown);
    // The wizard state's texts may be another disc's, whose revision stays.
    if (discToc_ == selected->toc) info->disc.revision = -1;
    if (entry) entry->disc.revision = -1;
    lookup_.Queue(DiscLookup::SlotOf(selected->letter));
  } else {
    ShowLookupTexts(entry);
  }
  lock.unlock();
  // Next is offered while the lookup runs; it then keeps the page.
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
}

LRESULT CWizardSelectSourceDrivePage::OnLookupNotify(WPARAM code) {
  if (code == LOOKUP_CHOOSE)
    ChooseMatch();
  else if (code == LOOKUP_DONE)
    UpdatePage();  // the labels and buttons of the selected disc
  return 0;
}

void CWizardSelectSourceDrivePage::ChooseMatch() {
  // The choice waits while another page is shown; one dialog at a time.
  if (!active_ || choosing_) return;
  DiscLookup::Entry entry;
  std::vector<DiscMatch> matches;
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    entry = lookup_.Pending();
    if (!entry) return;
    matches = entry->matches;
  }
  choosing_ = true;
  CSelectCandDlg dialog(matches);
  dialog.DoModal(Window());
  choosing_ = false;
  {
    std::lock_guard<std::mutex> lock(lookup_.Mutex());
    lookup_.Choose(entry, dialog.Result());
  }
  UpdatePage();
}

bool CWizardSelectSourceDrivePage::CommitSelection() {
  CWizardInfo& info = *this;
  std::lock_guard<std::mutex> lock(lookup_.Mutex());
  const CdDevice::DriveEntry* selected = SelectedSlot();
  if (!selected || selected->kind != CdDevice::KindAudio) {
    info->drive = nullptr;
    return false;
  }
  if (info->drive && discToc_ == selected->toc && !info->disc.tracks.empty()) {
    info->drive = selected;
    return true;
  }
  const DiscLookup::Entry entry = lookup_.Find(selected->toc);
  if (entry && entry->state == DiscLookup::StateDone && !entry->disc.tracks.empty()) {
    // A database answer may name more or fewer tracks than the disc has.
    info->disc = entry->disc;
    BackupFile::FitEntriesToToc(info->disc, selected->toc);
  } else
    info->disc = DiscInfo();
  info->drive = selected;
  discToc_ = selected->toc;
  return true;
}

int CWizardSelectSourceDrivePage::OnWizardNext() {
  if (!CommitSelection()) return -1;
  CWizardInfo& info = *this;
  std::lock_guard<std::mutex> lock(lookup_.Mutex());
  const DiscLookup::Entry entry = lookup_.Find(info->drive->toc);
  if (!entry) return IDD_WIZ97_TRACKEDITOR;
  if (entry->state != DiscLookup::StateDone) return -1;
  if (!entry->disc.tracks.empty() && !SystemDialogs::ShiftHeld()) return NextPageId(Id());
  return IDD_WIZ97_TRACKEDITOR;
}

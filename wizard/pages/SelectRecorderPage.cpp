#include "wizard/pages/SelectRecorderPage.h"

#include <shlobj.h>

#include "common/Localizer.h"
#include "common/ShellUtils.h"
#include "common/TextFormat.h"
#include "engine/backup/BackupNames.h"
#include "engine/cd/CdDevice.h"
#include "engine/cd/RawToc.h"
#include "recorder/ImageRecorderData.h"
#include "wizard/TaskDialog.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Module.h"

namespace {

const UINT kRefreshMs = 2000;
const int kIconSize = 32;
const int kAppend = -1;
const int kDiscImage = 0;
const int kOverwrite = 6;
const int kAbort = 7;

HICON ShellIcon(const std::wstring& path) {
  HICON icon = ShellUtils::GetSmallIcon(path);
  return icon ? icon : ShellUtils::GetLargeIcon(path);
}

// Overwrite or Abort, asked over the page; true for Overwrite. The texts are
// translated; the title and the button are literals.
bool AskToOverwrite(HWND owner, const wchar_t* title, const std::wstring& instruction,
                    const wchar_t* overwrite, const std::wstring& messageBoxText) {
  TaskDialogDesc question;
  question.title = Localizer::Translate(title);
  question.mainInstruction = instruction;
  question.mainIcon = 0xFFFF;
  question.flags = TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_COMMAND_LINKS;
  question.buttons = {{kOverwrite, Localizer::Translate(overwrite)},
                      {kAbort, Localizer::Translate(
                                   L"Abort\nLets you chose another destination{TASK_DISC_ABORT}")}};
  question.messageBoxText = messageBoxText;
  question.messageBoxType = MB_YESNO | MB_ICONEXCLAMATION;
  return ShowTaskDialog(owner, question) == kOverwrite;
}

bool IsFile(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

CWizardSelectRecorderPage::CWizardSelectRecorderPage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_SELECTRECORDER,
                      L"Select the CD-Recording device{SELECTRECORDERPAGE_TITLE}",
                      L"Select a device or an image file{SELECTRECORDERPAGE_SUBTITLE}") {}

BOOL CWizardSelectRecorderPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  InitControls();
  return TRUE;
}

int CWizardSelectRecorderPage::OnSetActive() {
  active_ = true;
  SetWizardButtons(PSWIZB_BACK);
  PrepareForDisc();
  UpdateMediaState();
  StartTimer();
  return 0;
}

BOOL CWizardSelectRecorderPage::OnKillActive() {
  active_ = false;
  EmptyRecorderList();
  return FALSE;
}

int CWizardSelectRecorderPage::OnWizardNext() { return CommitTarget() ? NextPageId(Id()) : -1; }

LRESULT CWizardSelectRecorderPage::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  handled = false;
  switch (message) {
    case WM_TIMER:
      if (wParam == kRefreshTimer) OnTimer();
      break;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_RECORDERS && HIWORD(wParam) == CBN_SELENDOK) UpdateMediaState();
      if (LOWORD(wParam) == IDC_IMAGE_PATH && HIWORD(wParam) == CBN_SELENDOK) OnImagePathSelect();
      if (LOWORD(wParam) == IDC_EJECT && HIWORD(wParam) == BN_CLICKED) OnEject();
      break;
    case WM_DESTROY:
      for (RecorderInfo& info : infos_) info = RecorderInfo();
      break;
    case WM_NCDESTROY:
      if (images_) ImageList_Destroy(images_);
      images_ = nullptr;
      break;
  }
  return 0;
}

void CWizardSelectRecorderPage::InitControls() {
  recorders_ = GetDlgItem(Window(), IDC_RECORDERS);
  imagePaths_ = GetDlgItem(Window(), IDC_IMAGE_PATH);
  eject_ = GetDlgItem(Window(), IDC_EJECT);
  images_ =
      ImageList_Create(kIconSize, kIconSize, ILC_COLOR32 | ILC_MASK, RecorderMedia::kLetters, 0);
  HICON cue = ShellIcon(L"*.cue");
  for (int i = 0; i < RecorderMedia::kLetters; ++i)
    ImageList_AddIcon(images_, cue ? cue : LoadIconW(nullptr, IDI_WINLOGO));
  if (cue) DestroyIcon(cue);
  SendMessageW(recorders_, CBEM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images_));

  HANDLE icon = LoadImageW(ui::Instance(), MAKEINTRESOURCEW(IDI_EJECT), IMAGE_ICON, 0, 0,
                           LR_DEFAULTSIZE | LR_SHARED);
  SendMessageW(eject_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(icon));
  RECT list, button;
  GetWindowRect(recorders_, &list);
  GetWindowRect(eject_, &button);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&button), 2);
  const int side = list.bottom - list.top;
  SetWindowPos(eject_, nullptr, button.left, button.top, side, side, SWP_NOZORDER | SWP_NOACTIVATE);
  EnableWindow(eject_, FALSE);
  for (RecorderInfo& info : infos_) info = RecorderInfo();
}

void CWizardSelectRecorderPage::PrepareForDisc() {
  if (!active_) return;
  const CWizardInfo::CWizardInfoData& state = *operator->();
  HWND label = GetDlgItem(Window(), IDC_DISC_INFO);
  disc_ = 0;
  if (state.discQueue.empty()) {
    ShowWindow(label, SW_HIDE);
  } else {
    const int32_t front = state.discQueue.front();
    if (front >= 0 && static_cast<std::size_t>(front) < state.discs.size()) disc_ = front;
    const int32_t number = state.discsChosen - static_cast<int32_t>(state.discQueue.size()) + 1;
    const std::wstring title =
        disc_ < state.discs.size() ? BackupFile::DefaultTitle(state.discs[disc_].disc) : L"";
    SetWindowTextW(label, TextFormat::Fill(
                              Localizer::Translate(L"Writing disc %d of %d : %s{RECDISCINFO}"),
                              {std::to_wstring(number), std::to_wstring(state.discsChosen), title})
                              .c_str());
    ShowWindow(label, SW_SHOW);
  }
  defaultName_ = BackupFile::MakeDiscImageFileName(state.discs, disc_,
                                                   L"." + Localizer::Translate(L"cue{FTYPE_CUE}"));
  FillImagePaths();

  EmptyRecorderList();
  ComboBoxEx::Add(recorders_, Localizer::Translate(L"Disc Image File{IMAGEFILE}"), 0, kDiscImage);
  const Recorders found = CdDevice::FindRecorders(0);
  bool notRaw = false;
  for (const ComPtr<IDiscRecorder2>& recorder : found) {
    std::wstring text;
    int letter = 0;
    const int index = ProbeRecorder(recorder, text, letter);
    if (index == kAppend) ComboBoxEx::Add(recorders_, text, letter, letter);
    if (index == RecorderMedia::kNotRaw) notRaw = true;
  }
  RefreshRecorders(found);
  if (notRaw) {
    const bool imageOnly = ComboBoxEx::Count(recorders_) == 1;
    MessageBoxW(
        Window(),
        Localizer::Translate(
            imageOnly ? L"None of the recorders in your system is capable of recording "
                        L"in RAW mode\nTAVRIN will only offer to write to a disc image "
                        L"file.{DAO_ERROR}"
                      : L"At least one of your recorders is not capable of recording in "
                        L"RAW mode\nTAVRIN will only offer RAW-capable recorders.{DAO_WARN}")
            .c_str(),
        Localizer::Translate(L"Velmora TAVRIN Wizard...{WINDOWTITLE}").c_str(),
        imageOnly ? MB_ICONWARNING : MB_ICONINFORMATION);
  }
}

void CWizardSelectRecorderPage::FillImagePaths() {
  CWizardInfo::CWizardInfoData& state = *operator->();
  ComboBoxEx::Clear(imagePaths_);
  ComboBoxEx::Add(imagePaths_, Localizer::Translate(L"< Browse ... >{BROWSE}"));
  const std::vector<std::wstring> folders = state.mruDiscImage.GetItems();
  if (folders.empty()) {
    wchar_t documents[MAX_PATH];
    if (SHGetFolderPathW(nullptr, CSIDL_PERSONAL | CSIDL_FLAG_CREATE, nullptr, 0, documents) ==
        S_OK)
      imageFolder_ = documents;
    ComboBoxEx::Add(imagePaths_, state.folderAliases.ToAlias(imageFolder_) + L"\\" + defaultName_);
  } else {
    for (const std::wstring& folder : folders)
      ComboBoxEx::Add(imagePaths_, state.folderAliases.ToAlias(folder) + L"\\" + defaultName_);
    if (imageFolder_.empty()) imageFolder_ = folders.front();
  }
  ComboBoxEx::Select(imagePaths_, 1);
  ShowImagePath(false);
}

int CWizardSelectRecorderPage::ProbeRecorder(const ComPtr<IDiscRecorder2>& recorder,
                                             std::wstring& text, int& letter) {
  std::wstring root;
  letter = RecorderMedia::Probe(recorder, infos_, root);
  if (letter < 0) return letter;
  text = ShellUtils::GetDisplayName(root);
  if (text.empty()) text = root;
  if (HICON icon = ShellIcon(root)) {
    ImageList_ReplaceIcon(images_, letter, icon);
    DestroyIcon(icon);
  }
  const int index = ComboBoxEx::FindData(recorders_, letter);
  return index < 0 ? kAppend : index;
}

void CWizardSelectRecorderPage::RefreshRecorders(const Recorders& recorders) {
  if (!active_) return;
  int selected = SelectedLetter();
  int old[RecorderMedia::kLetters];
  for (int i = 0; i < RecorderMedia::kLetters; ++i) old[i] = RecorderMedia::StateOf(infos_[i]);
  int firstBlank = 0, firstUsable = 0;
  for (const ComPtr<IDiscRecorder2>& recorder : recorders) {
    std::wstring text;
    int letter = 0;
    const int index = ProbeRecorder(recorder, text, letter);
    if (index == RecorderMedia::kSkip || index == RecorderMedia::kNotRaw) continue;
    if (index == kAppend)
      ComboBoxEx::Add(recorders_, text, letter, letter);
    else
      ComboBoxEx::Update(recorders_, index, text, letter);
    const int now = RecorderMedia::StateOf(infos_[letter]);
    if (now == 3 && !firstBlank) firstBlank = letter;
    if (now >= 2 && !firstUsable) firstUsable = letter;
    if (now > old[letter]) selected = letter;
  }
  // The disc image stays chosen; a recorder stays chosen while its disc can
  // be written or erased.
  if (selected == kDiscImage) return;
  if (selected < 0 || RecorderMedia::StateOf(infos_[selected]) == 0)
    selected = firstBlank ? firstBlank : firstUsable;
  const int index = ComboBoxEx::FindData(recorders_, selected);
  ComboBoxEx::Select(recorders_, index < 0 ? 0 : index);
}

void CWizardSelectRecorderPage::UpdateMediaState() {
  if (!active_) return;
  const int letter = SelectedLetter();
  if (letter < 0) {
    EnableWindow(eject_, FALSE);
    ShowImagePath(false);
    SetWizardButtons(PSWIZB_BACK);
    return;
  }
  HWND status = GetDlgItem(Window(), IDC_MEDIA_STATUS);
  if (letter == kDiscImage) {
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    EnableWindow(eject_, FALSE);
    ShowImagePath(true);
    SetWindowTextW(status, L"");
    return;
  }
  EnableWindow(eject_, TRUE);
  ShowImagePath(false);
  const CWizardInfo::CWizardInfoData& state = *operator->();
  const uint32_t leadOut =
      disc_ < state.discs.size() ? RawToc::TrackAddress(0, state.discs[disc_].toc) : 0;
  const RecorderMedia::Verdict verdict =
      RecorderMedia::Judge(infos_[letter], leadOut, state.writeEngine);
  SetWizardButtons(verdict.canWrite ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
  SetWindowTextW(status, Localizer::Translate(verdict.status).c_str());
}

void CWizardSelectRecorderPage::OnTimer() {
  KillTimer(Window(), kRefreshTimer);
  if (!active_) return;
  RefreshRecorders(CdDevice::FindRecorders(0));
  UpdateMediaState();
}

void CWizardSelectRecorderPage::OnDeviceChange(const DEV_BROADCAST_HDR*) {
  if (!Window()) return;
  if (active_) {
    const Recorders found = CdDevice::FindRecorders(0);
    if (!found.empty()) {
      RefreshRecorders(found);
      UpdateMediaState();
    }
  }
  StartTimer();
}

void CWizardSelectRecorderPage::OnEject() {
  const int letter = SelectedLetter();
  if (letter <= 0 || !infos_[letter].recorder) return;
  RecorderInfo& info = infos_[letter];
  info.blank = info.erasable = false;
  info.noMedium = true;
  info.recorder->EjectMedia();
  UpdateMediaState();
}

void CWizardSelectRecorderPage::OnImagePathSelect() {
  if (ComboBoxEx::Selection(imagePaths_) != 0) return;
  SystemDialogs::FileDialog dialog;
  dialog.filter = L"Disc Image files|*.cue|all files|*.*|{DISCIMAGE_FILTER}";
  dialog.extension = L"cue|{FTYPE_CUE}";
  dialog.folder = imageFolder_;
  dialog.file = imageFolder_ + L"\\" + defaultName_;
  // Next asks about every file of the image that exists, the .bin too.
  dialog.flags = OFN_PATHMUSTEXIST;
  const std::wstring file = SystemDialogs::ChooseFile(Window(), dialog, true);
  if (file.empty()) {
    ComboBoxEx::Select(imagePaths_, 1);
    return;
  }
  ComboBoxEx::SelectOrAdd(imagePaths_, operator->()->folderAliases.ToAlias(file));
}

bool CWizardSelectRecorderPage::CommitTarget() {
  CWizardInfo::CWizardInfoData& state = *operator->();
  const int letter = SelectedLetter();
  if (letter < 0) return false;
  if (letter == kDiscImage) {
    const std::wstring cue = state.folderAliases.FromAlias(ComboBoxEx::Text(imagePaths_, MAX_PATH));
    const std::wstring refused = ImageRecorderData::RefusedName(cue, state.backupPath);
    if (!refused.empty()) {
      MessageBoxW(Window(), refused.c_str(),
                  Localizer::Translate(L"Velmora TAVRIN Wizard...{WINDOWTITLE}").c_str(),
                  MB_ICONWARNING);
      return false;
    }
    if (!MayReplaceImageFiles(cue)) return false;
    state.imagePath = cue;
    state.restoreTarget = 0;
    state.eraseFirst = false;
    state.cdTextCapable = true;
    const std::size_t separator = state.imagePath.find_last_of(L"\\/");
    if (separator != std::wstring::npos)
      state.mruDiscImage.Add(state.imagePath.substr(0, separator));
    return true;
  }
  const RecorderInfo& info = infos_[letter];
  const uint32_t leadOut =
      disc_ < state.discs.size() ? RawToc::TrackAddress(0, state.discs[disc_].toc) : 0;
  if (!RecorderMedia::Judge(info, leadOut, state.writeEngine).canWrite) return false;
  bool erase = false;
  if (!info.blank) {
    if (!info.erasable || !info.rewritable) return false;
    if (!AskToOverwrite(
            Window(), L"Medium contains data !{CONTAINS_DATA}",
            Localizer::Translate(L"Selecting Overwrite will erase the current content of the "
                                 L"disc.{ERASE_BEFORE_WRITE}"),
            L"Overwrite\nErases the current content of the disc.{TASK_DISC_OVERWRITE}",
            Localizer::Translate(L"Do you want to overwrite this disc ?\nSelect 'Yes' to erase "
                                 L"the current content of the disc or 'No' to chose another "
                                 L"destination.{MBERASE_BEFORE_WRITE}")))
      return false;
    erase = true;
  }
  state.restoreTarget = letter;
  state.eraseFirst = erase;
  state.cdTextCapable = info.rawSubchannel;
  state.imagePath.clear();
  return true;
}

bool CWizardSelectRecorderPage::MayReplaceImageFiles(const std::wstring& cuePath) {
  std::wstring existing;
  for (const std::wstring& path : {cuePath, ImageRecorderData::BinPathFor(cuePath)})
    if (IsFile(path)) existing += L"\n" + path;
  if (existing.empty()) return true;
  return AskToOverwrite(
      Window(), L"The disc image exists already !{IMAGE_EXISTS}",
      TextFormat::Fill(
          Localizer::Translate(
              L"Overwrite will replace these files once the new disc image is complete:%s"
              L"{ASK_OVERWRITE_IMAGE}"),
          {existing}),
      L"Overwrite\nReplaces the files of the disc image.{TASK_IMAGE_OVERWRITE}",
      TextFormat::Fill(
          Localizer::Translate(L"Do you want to replace these files of the disc image ?%s\nSelect "
                               L"'Yes' to replace them once the new disc image is complete or "
                               L"'No' to chose another destination.{MBASK_OVERWRITE_IMAGE}"),
          {existing}));
}

void CWizardSelectRecorderPage::EmptyRecorderList() {
  ComboBoxEx::Clear(recorders_);
  for (RecorderInfo& info : infos_) info.recorder.Reset();
}

void CWizardSelectRecorderPage::ShowImagePath(bool show) const {
  ShowWindow(imagePaths_, show ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(Window(), IDC_IMAGE_LABEL), show ? SW_SHOW : SW_HIDE);
}

int CWizardSelectRecorderPage::SelectedLetter() const {
  const int index = ComboBoxEx::Selection(recorders_);
  if (index < 0) return -1;
  const LPARAM letter = ComboBoxEx::ItemData(recorders_, index);
  return letter >= 0 && letter < RecorderMedia::kLetters ? static_cast<int>(letter) : -1;
}

void CWizardSelectRecorderPage::StartTimer() const {
  SetTimer(Window(), kRefreshTimer, kRefreshMs, nullptr);
}

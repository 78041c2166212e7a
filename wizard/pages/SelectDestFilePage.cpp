#include "wizard/pages/SelectDestFilePage.h"

#include <commctrl.h>

#include <algorithm>

#include "common/Localizer.h"
#include "common/ShellUtils.h"
#include "common/TextFormat.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/BackupNames.h"
#include "engine/cd/RawToc.h"
#include "engine/jobs/RipperData.h"
#include "engine/mp3/MP3Encoder.h"
#include "wizard/TaskDialog.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/PageTools.h"
#include "wizard/resources/resource.h"

namespace {

const int kPositions = 5;
const int kMusicOrGeneral = 2 | 4;
const int kPathLimit = 259;
const int kTooltipWidth = 10000;
const wchar_t kWindowTitle[] = L"Velmora TAVRIN Wizard...{WINDOWTITLE}";
const wchar_t kBrowse[] = L"< Browse ... >{BROWSE}";

enum Answer { kYes = 6, kNo = 7, kCancel = 2 };

using ComboBoxEx::Add;
using ComboBoxEx::Find;

// The folder of a recent file: up to its last separator, which stays when it
// is the only one (a root); a text without separator is taken whole.
std::wstring FolderOf(const std::wstring& path) {
  const std::size_t last = path.find_last_of(L"\\/");
  if (last == std::wstring::npos) return path;
  if (path.find_first_of(L"\\/") == last) return path.substr(0, last + 1);
  return path.substr(0, last);
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
  const bool separated = !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
  return separated ? folder + name : folder + L"\\" + name;
}

bool FileExists(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

TaskDialogDesc::Button Button(int32_t id, const wchar_t* text) {
  return {id, Localizer::Translate(text)};
}

}  // namespace

CWizardSelectDestFilePage::CWizardSelectDestFilePage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_SELECTDESTFILE,
                      L"Set the backup file{SELECTDESTFILEPAGE_TITLE}",
                      L"Please define the parameters for the backup of your CD "
                      L"...{SELECTDESTFILEPAGE_SUBTITLE}"),
      constant_(Localizer::Translate(L"constant{CONSTANT}")),
      variable_(Localizer::Translate(L"variable{VARIABLE}")),
      tooltipFormat_(Localizer::Translate(L"Bitrate = %d kBits/sec\n%s bitrate\nBackup file "
                                          L"size about %d MB{MP3PROPS_SHORT}")) {}

int CWizardSelectDestFilePage::QualityOfPosition(int position) {
  return std::clamp((position + 1) * 255 / kPositions, 1, 255);
}

int CWizardSelectDestFilePage::PositionOfQuality(int quality) {
  return std::clamp(std::clamp(quality, 0, 255) * kPositions / 255 - 1, 0, kPositions - 1);
}

unsigned CWizardSelectDestFilePage::ShownSizeMiB(unsigned averageBitRate, unsigned seconds) {
  const unsigned size = (averageBitRate / 8 * seconds) >> 20;
  const unsigned step = size < 10 ? 1 : size < 50 ? 5 : size < 200 ? 10 : size < 500 ? 25 : 50;
  return (size + step) / step * step;
}

BOOL CWizardSelectDestFilePage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  static const wchar_t* const kQualities[kPositions] = {
      L"Smallest Backup-File size. Ok for Audio-Books{QUALITY1}",
      L"Small Backup-File size, Ok for MP3-Players{QUALITY2}",
      L"Medium Backup-File size, Ok for most uses{QUALITY3}",
      L"Large Backup-File size, Ok for stereo equipment{QUALITY4}",
      L"Largest Backup-File size. The best quality possible{QUALITY5}"};
  for (int i = 0; i < kPositions; ++i) qualityTexts_[i] = Localizer::Translate(kQualities[i]);
  haveEncoder_ = false;
  SetUpControls();
  Refresh();
  return TRUE;
}

void CWizardSelectDestFilePage::SetUpControls() {
  combo_ = GetDlgItem(Window(), IDC_DEST_FILE);
  slider_ = GetDlgItem(Window(), IDC_QUALITY);
  SendMessageW(combo_, CBEM_SETEXTENDEDSTYLE, 0,
               CBES_EX_PATHWORDBREAKPROC | CBES_EX_TEXTENDELLIPSIS);
  SendMessageW(slider_, TBM_SETRANGE, FALSE, MAKELPARAM(0, kPositions - 1));
  for (int tick = 1; tick < kPositions - 1; ++tick) SendMessageW(slider_, TBM_SETTIC, 0, tick);
  HWND tips = reinterpret_cast<HWND>(SendMessageW(slider_, TBM_GETTOOLTIPS, 0, 0));
  if (tips) {
    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = Window();
    tool.uId = reinterpret_cast<UINT_PTR>(Window());
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(tips, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, kTooltipWidth);
    SendMessageW(slider_, TBM_SETTOOLTIPS, reinterpret_cast<WPARAM>(tips), 0);
  }
  if (Encoders::CreateMP3Encoder(Encoders::kEncoderAuto)) {
    haveEncoder_ = true;
  } else {
    MessageBoxW(Window(),
                Localizer::Translate(L"This system does not have a supported MP-3 Encoder "
                                     L"installed.\nPlease see the Help file for possible "
                                     L"solutions.{NOMP3ENCODER}")
                    .c_str(),
                Localizer::Translate(kWindowTitle).c_str(), MB_ICONERROR);
  }
}

int CWizardSelectDestFilePage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  Refresh();
  return 0;
}

int CWizardSelectDestFilePage::OnWizardNext() { return Commit() ? NextPageId(Id()) : -1; }

std::wstring CWizardSelectDestFilePage::DefaultFileName() const {
  const std::vector<TrackText>& texts = (*this)->disc.tracks;
  if (texts.empty() || (texts[0].artist.empty() && texts[0].title.empty()))
    return Localizer::Translate(L"TAVRIN.mp3{DEFAULT_OUPUT_FILENAME}");
  return BackupFile::MakeBackupFileName((*this)->disc, L".mp3");
}

void CWizardSelectDestFilePage::Refresh() {
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  defaultName_ = DefaultFileName();
  Add(combo_, Localizer::Translate(kBrowse));
  const FolderAliasList& aliases = (*this)->folderAliases;
  std::vector<std::wstring> knownPaths;
  for (int i = 0;; ++i) {
    int mask = 0;
    const std::wstring name = aliases.GetName(i, mask);
    if (name.empty()) break;
    if (!(mask & kMusicOrGeneral)) continue;
    Add(combo_, name + L"\\" + defaultName_);
    knownPaths.push_back(aliases.GetPath(i));
  }
  const std::vector<std::wstring> recent = (*this)->mruBackup.GetItems();
  Settings::MRUList folders(static_cast<int>(recent.size() + knownPaths.size()), false);
  for (const std::wstring& path : knownPaths) folders.Add(path);
  for (auto it = recent.rbegin(); it != recent.rend(); ++it) folders.Add(FolderOf(*it));
  const std::vector<std::wstring> folderList = folders.GetItems();
  for (const std::wstring& folder : folderList)
    if (aliases.FindByPath(folder) < 0) Add(combo_, InFolder(folder, defaultName_));

  std::wstring& backupPath = (*this)->backupPath;
  backupPath = aliases.ToAlias(backupPath);
  int selection = Find(combo_, backupPath);
  if (selection <= 0) {
    if (!backupPath.empty()) {
      selection = Add(combo_, backupPath);
    } else {
      selection = -1;
      if (!folderList.empty())
        selection = Find(combo_, aliases.ToAlias(InFolder(folderList.front(), defaultName_)));
      if (selection <= 0) selection = 1;
    }
  }
  SendMessageW(combo_, CB_SETCURSEL, selection, 0);

  SendMessageW(slider_, TBM_SETPOS, TRUE, PositionOfQuality((*this)->quality));
  ShowQualityText();
  const CdDevice::DriveEntry* drive = (*this)->drive;
  const int32_t ms = drive ? RawToc::TrackLengthMs(0, drive->toc) : 0;
  discSeconds_ = ms > 0 ? static_cast<unsigned>((int64_t(ms) + 999) / 1000) : 0;
}

int CWizardSelectDestFilePage::SliderPosition() const {
  return std::clamp(static_cast<int>(SendMessageW(slider_, TBM_GETPOS, 0, 0)), 0, kPositions - 1);
}

void CWizardSelectDestFilePage::ShowQualityText() const {
  SetDlgItemTextW(Window(), IDC_QUALITY_TEXT, qualityTexts_[SliderPosition()].c_str());
}

const wchar_t* CWizardSelectDestFilePage::TooltipText() {
  Encoders::EncoderSettings settings;
  if (Encoders::GetEncoderSettings(QualityOfPosition(SliderPosition()), settings) != 0)
    return nullptr;
  const unsigned size = ShownSizeMiB(settings.averageBitRate, discSeconds_);
  tooltip_ = TextFormat::Fill(tooltipFormat_,
                              {std::to_wstring(settings.averageBitRate / 1000),
                               settings.vbr ? variable_ : constant_, std::to_wstring(size)});
  return tooltip_.c_str();
}

LRESULT CWizardSelectDestFilePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                             bool& handled) {
  handled = false;
  if (message == WM_HSCROLL) {
    ShowQualityText();
  } else if (message == WM_NOTIFY) {
    auto& header = *reinterpret_cast<NMHDR*>(lParam);
    if (header.code == TTN_GETDISPINFOW) {
      // The notification's own buffer holds 80 characters: point at ours.
      auto& info = reinterpret_cast<NMTTDISPINFOW&>(header);
      if (const wchar_t* text = TooltipText()) info.lpszText = const_cast<wchar_t*>(text);
      handled = true;
    }
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_DEST_FILE &&
             HIWORD(wParam) == CBN_SELENDOK) {
    if (SendMessageW(combo_, CB_GETCURSEL, 0, 0) == 0) Browse();
  }
  return 0;
}

void CWizardSelectDestFilePage::Browse() {
  const FolderAliasList& aliases = (*this)->folderAliases;
  const std::wstring file =
      PageTools::AskForBackupFile(Window(), InFolder(aliases.GetPath(0), defaultName_), true);
  if (file.empty()) {
    HWND edit = reinterpret_cast<HWND>(SendMessageW(combo_, CBEM_GETEDITCONTROL, 0, 0));
    SendMessageW(edit ? edit : combo_, WM_CLEAR, 0, 0);
    return;
  }
  ComboBoxEx::SelectOrAdd(combo_, aliases.ToAlias(file));
}

bool CWizardSelectDestFilePage::AskAboutExistingFile(bool& append) {
  std::vector<BackupDisc>& discs = (*this)->discs;
  discs = PageTools::ReadBackupDiscs((*this)->backupPath);
  const CdDevice::DriveEntry* drive = (*this)->drive;
  bool discInFile = false;
  for (const BackupDisc& disc : discs)
    if (drive && disc.toc == drive->toc) discInFile = true;
  // A full backup takes no further disc: only overwriting it is offered.
  const bool full = !BackupFile::HasRoomForDisc(discs);
  if (discInFile || full) discs.clear();

  TaskDialogDesc question;
  question.mainIcon = 0xFFFF;
  question.flags = TDF_USE_COMMAND_LINKS | TDF_ALLOW_DIALOG_CANCELLATION;
  const TaskDialogDesc::Button overwrite = Button(
      kYes, L"Overwrite\nThis will erase the current content of the file{TASK_FILE_OVERWRITE}");
  if (discs.empty()) {
    question.title =
        Localizer::Translate(discInFile ? L"This disc is already in this file{FILE_DISC_EXISTS}"
                                        : L"This file already exists !{FILE_EXISTS}");
    question.mainInstruction = Localizer::Translate(
        L"Overwrite will delete the current content of the file.{ASK_OVERWRITE}");
    question.buttons = {overwrite,
                        Button(kNo, L"Abort\nLets you select another file.{TASK_FILE_ABORT}")};
    question.messageBoxText = Localizer::Translate(
        L"Do you want to overwrite this file ?\nSelect 'Yes' to overwrite the current content of "
        L"the file or 'No' to chose another destination.{MBASK_OVERWRITE}");
    if (full && !discInFile) {
      question.content = Localizer::Translate(RipperData::kFullText);
      question.messageBoxText = question.content + L"\n" + question.messageBoxText;
    }
    question.messageBoxType = MB_YESNO | MB_ICONEXCLAMATION;
    append = false;
    return ShowTaskDialog(Window(), question) == kYes;
  }
  question.title = Localizer::Translate(L"This file already exists !{FILE_EXISTS}");
  question.mainInstruction = Localizer::Translate(
      L"Append will add the current disc to this file\nOverwrite will delete the current "
      L"content of the file.{ASK_OVERWRITEAPPEND}");
  question.buttons = {
      Button(kYes, L"Append\nThis will append the current disc to the file{TASK_FILE_APPEND}"),
      {kNo, overwrite.text},
      Button(kCancel, L"Abort\nLets you select another file.{TASK_FILE_ABORT}")};
  question.messageBoxText = Localizer::Translate(
      L"Do you want to append to or overwrite this file ?\nSelect 'Yes' to append the current "
      L"disc to the file\nor 'No' to overwrite the current content of the file\nor 'Cancel' to "
      L"chose another destination.{MBASK_OVERWRITEAPPEND}");
  question.messageBoxType = MB_YESNOCANCEL | MB_ICONEXCLAMATION;
  const int answer = ShowTaskDialog(Window(), question);
  if (answer == kCancel) return false;
  append = answer != kNo;
  return true;
}

bool CWizardSelectDestFilePage::Commit() {
  if (!haveEncoder_) return false;
  if (SendMessageW(combo_, CB_GETCURSEL, 0, 0) == 0) return false;
  std::wstring& path = (*this)->backupPath;
  path = ShellUtils::CanonicalizePath(
      (*this)->folderAliases.FromAlias(ComboBoxEx::Text(combo_, kPathLimit)));
  if (path.empty()) return false;
  const int quality = QualityOfPosition(SliderPosition());
  const bool existed = FileExists(path);
  bool append = false;
  if (existed) {
    if (!AskAboutExistingFile(append)) return false;
    // Appending must leave the file below 2 GiB, as the ripper checks again.
    const CdDevice::DriveEntry* drive = (*this)->drive;
    if (append && drive && !RipperData::AppendFits(drive->toc, (*this)->discs, quality)) {
      MessageBoxW(Window(), Localizer::Translate(RipperData::kTooLargeText).c_str(),
                  Localizer::Translate(kWindowTitle).c_str(), MB_ICONERROR);
      return false;
    }
  }
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  // An overwritten backup stays as it is until the ripper's new file is
  // complete and takes its place; only the file the check made goes.
  if (!append) (*this)->discs.clear();
  if (!existed) DeleteFileW(path.c_str());
  (*this)->coverImages.Clear();
  (*this)->mruBackup.Add(path);
  (*this)->quality = quality;
  return true;
}

#include "wizard/pages/SelectMP3Page.h"

#include <commctrl.h>
#include <shlobj.h>

#include "common/Localizer.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "wizard/dbhost/VOVudoroDession.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/PageTools.h"
#include "wizard/resources/resource.h"

namespace {

const int kPathLimit = 259;
const int kTypedLimit = 1023;
const int kFrontCover = 1;

using ComboBoxEx::Add;
using ComboBoxEx::Find;
using ComboBoxEx::ItemText;

bool HasSeparator(const std::wstring& path) {
  return path.find_first_of(L"\\/") != std::wstring::npos;
}

}  // namespace

CWizardSelectMP3Page::CWizardSelectMP3Page(const CWizardInfo& info)
    : CWizardPageBase(
          info, IDD_WIZ97_SELECTMP3,
          L"Select the MP-3 backup file you want to read{SELECTMP3PAGE_TITLE}",
          L"TAVRIN will recognize valid TAVRIN image files...{SELECTMP3PAGE_SUBTITLE}") {}

BOOL CWizardSelectMP3Page::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  combo_ = GetDlgItem(Window(), IDC_BACKUP_FILE);
  picture_ = GetDlgItem(Window(), IDC_BACKUP_PICTURE);
  const LONG_PTR style = GetWindowLongPtrW(picture_, GWL_STYLE);
  SetWindowLongPtrW(picture_, GWL_STYLE, (style & ~LONG_PTR(SS_TYPEMASK)) | SS_ICON);
  ShowWindow(picture_, SW_HIDE);
  SendMessageW(combo_, CBEM_SETEXTENDEDSTYLE, 0,
               CBES_EX_PATHWORDBREAKPROC | CBES_EX_TEXTENDELLIPSIS);
  Fill();
  return TRUE;
}

int CWizardSelectMP3Page::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK);
  Fill();
  return 0;
}

int CWizardSelectMP3Page::OnWizardNext() { return Leave() ? NextPageId(Id()) : -1; }

LRESULT CWizardSelectMP3Page::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  handled = false;
  if (message == WM_DESTROY) {
    if (icon_) DestroyIcon(icon_);
    icon_ = nullptr;
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_BACKUP_FILE) {
    if (HIWORD(wParam) == CBN_SELENDOK) Select();
    if (HIWORD(wParam) == CBN_EDITCHANGE) OnTextTyped();
  }
  return 0;
}

void CWizardSelectMP3Page::Fill() {
  SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
  wchar_t music[MAX_PATH] = L"";
  if (SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                       music) == S_OK)
    browseFolder_ = music;
  Add(combo_, Localizer::Translate(L"< Browse ... >{BROWSE}"));
  const FolderAliasList& aliases = (*this)->folderAliases;
  for (const std::wstring& path : (*this)->mruBackup.GetItems()) {
    const std::wstring alias = aliases.ToAlias(path);
    if (Find(combo_, alias, true) < 0) Add(combo_, alias);
  }
  if (SendMessageW(combo_, CB_GETCOUNT, 0, 0) > 1) SendMessageW(combo_, CB_SETCURSEL, 1, 0);
  Select();
}

void CWizardSelectMP3Page::Select() {
  const int selection = static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
  if (selection < 0) {
    ShowNothing(L"");
    return;
  }
  if (selection == 0) BrowseForFile();
  const int chosen = static_cast<int>(SendMessageW(combo_, CB_GETCURSEL, 0, 0));
  const std::wstring text = chosen > 0 ? ItemText(combo_, chosen).substr(0, kPathLimit) : L"";
  Judge(text.empty() ? text : (*this)->folderAliases.FromAlias(Resolve(text)));
}

void CWizardSelectMP3Page::BrowseForFile() {
  const std::wstring start = browseFolder_ + L"\\*." + Localizer::Translate(L"mp3{FTYPE_MP3}");
  const std::wstring file = PageTools::AskForBackupFile(Window(), start, false);
  if (!file.empty()) {
    ComboBoxEx::SelectOrAdd(combo_, (*this)->folderAliases.ToAlias(file));
  } else if (ComboBoxEx::Count(combo_) > 1) {
    ComboBoxEx::Select(combo_, 1);
  }
}

void CWizardSelectMP3Page::OnTextTyped() {
  const std::wstring text = ComboBoxEx::Text(combo_, kTypedLimit);
  if (text.empty()) return;
  const FolderAliasList& aliases = (*this)->folderAliases;
  Judge(aliases.FromAlias(aliases.ToAlias(Resolve(text))));
}

std::wstring CWizardSelectMP3Page::Resolve(const std::wstring& path) const {
  if (path.empty() || HasSeparator(path)) return path;
  return browseFolder_ + L"\\" + path;
}

void CWizardSelectMP3Page::Judge(const std::wstring& path) {
  const std::vector<BackupDisc> discs = PageTools::ReadBackupDiscs(path);
  if (discs.empty()) {
    ShowNothing(Localizer::Translate(L"not a valid TAVRIN backup-file{NOTAVRINFILE}"));
    return;
  }
  const BackupDisc& first = discs.front();
  const std::vector<TrackText>& texts = first.disc.tracks;
  SetDlgItemTextW(Window(), IDC_BACKUP_ARTIST, texts.empty() ? L"" : texts[0].artist.c_str());
  SetDlgItemTextW(Window(), IDC_BACKUP_ALBUM, texts.empty() ? L"" : texts[0].title.c_str());
  SetDlgItemTextW(Window(), IDC_BACKUP_VALIDITY,
                  Localizer::Translate(L"valid TAVRIN backup-file{ISTAVRINFILE}").c_str());
  ShowWindow(picture_, SW_HIDE);
  ShowCover(first);
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
}

// The first front cover that parses, else the disc's first picture.
void CWizardSelectMP3Page::ShowCover(const BackupDisc& disc) {
  if (disc.pictures.empty()) return;
  ID3::Bytes chosen;
  bool found = false;
  for (const TagFrame& frame : disc.pictures) {
    int kind = 0;
    std::wstring description;
    ID3::Bytes bytes;
    if (BackupFile::ParsePictureFrame(frame, kind, description, bytes) && kind == kFrontCover) {
      chosen = std::move(bytes);
      found = true;
      break;
    }
  }
  if (!found) {
    int kind = 0;
    std::wstring description;
    if (!BackupFile::ParsePictureFrame(disc.pictures.front(), kind, description, chosen)) return;
  }
  if (PageTools::ShowPictureIcon(picture_, chosen, icon_)) ShowWindow(picture_, SW_SHOWNA);
}

void CWizardSelectMP3Page::ShowNothing(const std::wstring& validity) {
  SetDlgItemTextW(Window(), IDC_BACKUP_ARTIST, L"");
  SetDlgItemTextW(Window(), IDC_BACKUP_ALBUM, L"");
  SetDlgItemTextW(Window(), IDC_BACKUP_VALIDITY, validity.c_str());
  ShowWindow(picture_, SW_HIDE);
  SetWizardButtons(PSWIZB_BACK);
}

bool CWizardSelectMP3Page::Leave() {
  if (SendMessageW(combo_, CB_GETCURSEL, 0, 0) == 0) return false;
  const std::wstring text = ComboBoxEx::Text(combo_, kPathLimit);
  if (text.empty()) return false;
  std::wstring& path = (*this)->backupPath;
  path = (*this)->folderAliases.FromAlias(Resolve(text));
  const std::size_t last = path.find_last_of(L"\\/");
  if (last != std::wstring::npos) browseFolder_ = path.substr(0, last);
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  (*this)->mruBackup.Add(path);
  (*this)->discs = PageTools::ReadBackupDiscs(path);
  if ((*this)->discs.empty()) return false;
  // The local plug-in sees the first disc's texts; nothing is submitted, so
  // the local cache keeps what it has.
  const BackupDisc& first = (*this)->discs.front();
  if (auto session = VOVudoroDession::Create(Window(), false, L"", first.toc))
    session->SetDiscTracks(first.disc.category, first.disc.tracks);
  return true;
}

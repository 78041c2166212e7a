#include "wizard/pages/SelectTracksPage.h"

#include <commctrl.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdint>

#include <boost/make_shared.hpp>

#include "common/Localizer.h"
#include "common/ShellUtils.h"
#include "common/TextFormat.h"
#include "engine/backup/BackupNames.h"
#include "engine/cd/RawToc.h"
#include "engine/jobs/ExtracterData.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/ExtractFolder.h"
#include "wizard/pages/ListViewCells.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"

namespace {

using ListViewCells::InsertColumn;
using ListViewCells::kArtistWidth;
using ListViewCells::kTitleWidth;
using ListViewCells::SetCell;

const int kHeadingPadding = 15;
enum Column { kTrack, kLength, kTitle, kArtist };
const int kFormats = 14;
const int kFirstWaveFormat = 7;
const int kGroupBase = 100;
// Samples per MP3 frame times CD frames per second.
const int64_t kCdFramesPerMp3Frame = 86400;
enum FolderMask { kMusic = 2, kGeneral = 4 };

const TrackText* Entry(const BackupDisc& disc, int k) {
  const std::vector<TrackText>& texts = disc.disc.tracks;
  return k >= 0 && k < static_cast<int>(texts.size()) ? &texts[k] : nullptr;
}

std::wstring Length(const std::vector<unsigned char>& toc, int track) {
  const int seconds = (RawToc::TrackLength(track, toc) + 74) / 75;
  wchar_t text[32];
  swprintf(text, 32, L"%d:%02d", seconds / 60, seconds % 60);
  return text;
}

std::wstring DiscFolder(const std::wstring& folder, int disc) {
  return folder + std::to_wstring(disc + 1) + L"\\";
}

}  // namespace

CWizardSelectTracksPage::CWizardSelectTracksPage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_SELECTTRACKS,
                      L"Select the tracks you want to extract...{SELECT_TRACKS_TITLE}",
                      L"Please define the output directory and filenames{SELECT_TRACKS_SUBTITLE}") {
}

std::wstring CWizardSelectTracksPage::MakeTrackFileName(int format, const std::wstring& number,
                                                        const std::wstring& album,
                                                        const std::wstring& artist,
                                                        const std::wstring& title) {
  static const int kParts[7][4] = {{0, 1, 2, 3},  {1, 0, 2, 3},   {0, 2, 1, 3}, {2, 3, -1, -1},
                                   {0, 2, 3, -1}, {3, 2, -1, -1}, {0, 3, 2, -1}};
  const std::wstring* texts[] = {&number, &album, &artist, &title};
  std::wstring name;
  for (int part : kParts[((format % 7) + 7) % 7]) {
    if (part < 0) break;
    if (!name.empty()) name += L" - ";
    name += *texts[part];
  }
  name += L"." +
          Localizer::Translate(format >= kFirstWaveFormat ? L"wav{FTYPE_WAV}" : L"mp3{FTYPE_MP3}");
  return BackupFile::FileNameOf(name);
}

BOOL CWizardSelectTracksPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  SetUpControls();
  Fill();
  return TRUE;
}

int CWizardSelectTracksPage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  Fill();
  StartScan();
  UpdateButtons();
  return 0;
}

int CWizardSelectTracksPage::OnWizardNext() { return CollectSelection() ? NextPageId(Id()) : -1; }

int CWizardSelectTracksPage::OnWizardBack() {
  StopScan();
  return PrevPageId(Id());
}

LRESULT CWizardSelectTracksPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                           bool& handled) {
  handled = false;
  if (message == WM_DESTROY) {
    StopScan();
  } else if (message == WM_NOTIFY) {
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    if (header.idFrom != IDC_TRACKS) return 0;
    if (header.code == LVN_ITEMCHANGED) {
      if (!filling_) CountChecked();
    } else if (header.code == LVN_KEYDOWN) {
      const auto& key = *reinterpret_cast<const NMLVKEYDOWN*>(lParam);
      if (ListViewCells::ToggleAllOnCtrlA(list_, key.wVKey)) CountChecked();
      UpdateButtons();
    }
  } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_DEST_FOLDER) {
    if (HIWORD(wParam) == CBN_SELENDOK && ComboBoxEx::Selection(folders_) == 0) Browse();
    if (HIWORD(wParam) == CBN_EDITCHANGE || HIWORD(wParam) == CBN_SELENDOK) UpdateButtons();
  }
  return 0;
}

void CWizardSelectTracksPage::SetUpControls() {
  list_ = GetDlgItem(Window(), IDC_TRACKS);
  folders_ = GetDlgItem(Window(), IDC_DEST_FOLDER);
  formats_ = GetDlgItem(Window(), IDC_NAME_FORMAT);
  SendMessageW(folders_, CBEM_SETEXTENDEDSTYLE, 0,
               CBES_EX_PATHWORDBREAKPROC | CBES_EX_TEXTENDELLIPSIS);
  ListView_SetExtendedListViewStyle(list_, ListViewCells::kCheckListStyles);
  const std::wstring track = Localizer::Translate(L"Track{TRACKNO}");
  const std::wstring length = Localizer::Translate(L"Length{LENGTH}");
  InsertColumn(list_, kTrack, track,
               ListView_GetStringWidth(list_, track.c_str()) + kHeadingPadding);
  InsertColumn(list_, kLength, length,
               ListView_GetStringWidth(list_, length.c_str()) + kHeadingPadding);
  InsertColumn(list_, kTitle, Localizer::Translate(L"Title{TRACKNAME}"), kTitleWidth);
  InsertColumn(list_, kArtist, Localizer::Translate(L"Artist{ARTIST}"), kArtistWidth);

  const std::wstring album = Localizer::Translate(L"Album{ALBUM}");
  const std::wstring artist = Localizer::Translate(L"Artist{ARTIST}");
  const std::wstring title = Localizer::Translate(L"Title{TRACKNAME}");
  for (int format = 0; format < kFormats; ++format)
    SendMessageW(
        formats_, CB_ADDSTRING, 0,
        reinterpret_cast<LPARAM>(MakeTrackFileName(format, track, album, artist, title).c_str()));
  int32_t& nameFormat = (*this)->nameFormat;
  if (nameFormat < 0 || nameFormat >= kFormats) nameFormat = 0;
  SendMessageW(formats_, CB_SETCURSEL, nameFormat, 0);
}

void CWizardSelectTracksPage::Fill() {
  filling_ = true;
  FillTracks();
  FillFolders();
  filling_ = false;
}

void CWizardSelectTracksPage::FillTracks() {
  ListView_DeleteAllItems(list_);
  items_.clear();
  const std::vector<BackupDisc>& discs = (*this)->discs;
  if (discs.empty()) return;
  for (std::size_t d = 0; d < discs.size(); ++d)
    for (std::size_t t = 1; t < discs[d].disc.tracks.size(); ++t)
      items_.push_back({static_cast<int>(d), static_cast<int>(t)});

  ListView_EnableGroupView(list_, FALSE);
  ListView_RemoveAllGroups(list_);
  const bool groups = discs.size() > 1;
  if (groups) {
    const std::wstring format = Localizer::Translate(L"Disc %d{DISCNO}");
    for (std::size_t d = 0; d < discs.size(); ++d) {
      std::wstring header = TextFormat::Fill(format, {std::to_wstring(d + 1)}) + L" : " +
                            BackupFile::DefaultTitle(discs[d].disc);
      LVGROUP group = {};
      group.cbSize = LVGROUP_V5_SIZE;
      group.mask = LVGF_HEADER | LVGF_GROUPID | LVGF_STATE;
      group.pszHeader = const_cast<wchar_t*>(header.c_str());
      group.iGroupId = kGroupBase + static_cast<int>(d);
      group.state = 0;
      group.stateMask = ~0u;
      ListView_InsertGroup(list_, -1, &group);
    }
    ListView_EnableGroupView(list_, TRUE);
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    const Item& pair = items_[i];
    const BackupDisc& disc = discs[pair.disc];
    const std::wstring number = std::to_wstring(pair.track);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | (groups ? LVIF_GROUPID : 0);
    item.iItem = static_cast<int>(i);
    item.pszText = const_cast<wchar_t*>(number.c_str());
    item.lParam = static_cast<LPARAM>(i);
    item.iGroupId = kGroupBase + pair.disc;
    const int row = ListView_InsertItem(list_, &item);
    if (row < 0) continue;
    SetCell(list_, row, kLength, Length(disc.toc, pair.track));
    const TrackText& text = disc.disc.tracks[pair.track];
    SetCell(list_, row, kTitle, text.title);
    SetCell(list_, row, kArtist, text.artist);
  }
  ListView_SetItemState(list_, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  checked_ = 0;
}

void CWizardSelectTracksPage::FillFolders() {
  ComboBoxEx::Clear(folders_);
  wchar_t music[MAX_PATH];
  if (SHGetFolderPathW(nullptr, CSIDL_MYMUSIC | CSIDL_FLAG_CREATE, nullptr, 0, music) == S_OK)
    folder_ = music;
  ComboBoxEx::Add(folders_, Localizer::Translate(L"< Browse ... >{BROWSE}"));
  const FolderAliasList& aliases = (*this)->folderAliases;
  auto addOnce = [&](const std::wstring& text) {
    if (ComboBoxEx::Find(folders_, text, true) < 0) ComboBoxEx::Add(folders_, text);
  };
  bool known = false;
  for (int i = 0;; ++i) {
    int mask = 0;
    const std::wstring name = aliases.GetName(i, mask);
    if (name.empty() && aliases.GetPath(i).empty()) break;
    if (!(mask & (kMusic | kGeneral))) continue;
    addOnce(name);
    known = true;
  }
  for (const std::wstring& path : (*this)->mruExport.GetItems())
    if (aliases.FindByPath(path) < 0) addOnce(aliases.ToAlias(path));
  if (known) ComboBoxEx::Select(folders_, 1);
}

void CWizardSelectTracksPage::StartScan() {
  const std::vector<BackupDisc>& discs = (*this)->discs;
  int64_t expected = 0;
  for (const BackupDisc& disc : discs)
    expected +=
        static_cast<int64_t>(RawToc::TrackLength(0, disc.toc)) * 44100 / kCdFramesPerMp3Frame;
  // A held engine is stopped before it goes.
  StopScan();
  (*this)->extracter = boost::make_shared<ExtracterData>();
  (*this)->extracter->Scan((*this)->backupPath, static_cast<int>(expected), discs);
}

void CWizardSelectTracksPage::StopScan() {
  boost::shared_ptr<ExtracterData>& engine = (*this)->extracter;
  if (!engine) return;
  std::wstring unused;
  engine->Stop(unused);
  engine.reset();
}

// Every change of an item, its insertion too, counts all items again.
void CWizardSelectTracksPage::CountChecked() {
  checked_ = ListViewCells::CountChecked(list_);
  UpdateButtons();
}

void CWizardSelectTracksPage::UpdateButtons() const {
  const bool ready = checked_ > 0 && !DestinationFolder().empty();
  SetWizardButtons(ready ? PSWIZB_BACK | PSWIZB_NEXT : PSWIZB_BACK);
}

void CWizardSelectTracksPage::Browse() {
  std::wstring path;
  if (!SystemDialogs::BrowseFolder(Window(), folder_, path)) {
    ComboBoxEx::Select(folders_, 1);
    return;
  }
  ComboBoxEx::SelectOrAdd(folders_, (*this)->folderAliases.ToAlias(path), true, 1);
}

std::wstring CWizardSelectTracksPage::DestinationFolder() const {
  if (ComboBoxEx::Selection(folders_) == 0) return L"";
  const std::wstring text = ComboBoxEx::Text(folders_, MAX_PATH - 1);
  if (text.empty()) return L"";
  const std::wstring path = (*this)->folderAliases.FromAlias(text);
  wchar_t full[MAX_PATH];
  const DWORD size = GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
  if (size == 0 || size >= MAX_PATH) return L"";
  if (ShellUtils::ResolveExistingPath(full).empty() || !PathIsDirectoryW(full)) return L"";
  return full;
}

bool CWizardSelectTracksPage::CollectSelection() {
  const int format = static_cast<int>(SendMessageW(formats_, CB_GETCURSEL, 0, 0));
  const std::wstring folder = DestinationFolder();
  if (folder.empty() || checked_ == 0) return false;
  (*this)->nameFormat = format < 0 ? 0 : format;
  folder_ = folder;
  (*this)->mruExport.Add(folder);

  const std::vector<BackupDisc>& discs = (*this)->discs;
  const TrackText* first = Entry(discs.front(), 0);
  const std::wstring album = first ? first->title : L"";
  const bool several = discs.size() > 1;
  const std::wstring base = ExtractFolder::WithSeparator(folder);
  std::vector<int32_t>& tracks = (*this)->trackIndices;
  std::vector<std::wstring>& paths = (*this)->outputPaths;
  std::vector<int32_t>& queue = (*this)->discQueue;
  tracks.clear();
  paths.clear();
  queue.clear();
  for (int row = 0; row < ListView_GetItemCount(list_); ++row) {
    if (!ListView_GetCheckState(list_, row)) continue;
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!ListView_GetItem(list_, &item)) continue;
    const Item& pair = items_[item.lParam];
    const TrackText& text = *Entry(discs[pair.disc], pair.track);
    tracks.push_back(pair.track);
    queue.push_back(pair.disc);
    paths.push_back((several ? DiscFolder(base, pair.disc) : base) +
                    MakeTrackFileName((*this)->nameFormat, std::to_wstring(pair.track), album,
                                      text.artist, text.title));
  }
  if (tracks.empty()) return false;
  if (PathIsDirectoryEmptyW(folder.c_str())) WriteFolderExtras(base);
  if (several)
    for (std::size_t d = 0; d < discs.size(); ++d)
      CreateDirectoryW(DiscFolder(base, static_cast<int>(d)).c_str(), nullptr);
  return true;
}

void CWizardSelectTracksPage::WriteFolderExtras(const std::wstring& base) const {
  const BackupDisc& disc = (*this)->discs.front();
  ExtractFolder::WriteFolderPicture(base, disc.pictures);
  const TrackText* first = Entry(disc, 0);
  ExtractFolder::WritePlaylist(base, first ? first->artist : L"", first ? first->title : L"",
                               (*this)->outputPaths);
}

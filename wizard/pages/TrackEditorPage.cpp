#include "wizard/pages/TrackEditorPage.h"

#include <algorithm>
#include <cwctype>

#include "common/Localizer.h"
#include "wizard/dbhost/VOVudoroDession.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"

namespace {

const unsigned kMaxRows = 99;
const int kTextRoom = 511;
const int kArtistRoom = 1023;

const wchar_t* const g_genreKeys[] = {L"misc", L"blues",  L"classical", L"country", L"folk",
                                      L"jazz", L"newage", L"reggae",    L"rock",    L"soundtrack"};
const wchar_t* const g_genreNames[] = {
    L"Misc{GENRE_MISC}",           L"Blues{GENRE_BLUES}",
    L"Classical{GENRE_CLASSICAL}", L"Country{GENRE_COUNTRY}",
    L"Folk{GENRE_FOLK}",           L"Jazz{GENRE_JAZZ}",
    L"Newage{GENRE_NEWAGE}",       L"Reggae{GENRE_REGGAE}",
    L"Rock{GENRE_ROCK}",           L"Soundtrack{GENRE_SOUNDTRACK}"};
const int kGenres = sizeof g_genreKeys / sizeof g_genreKeys[0];

int NumberId(unsigned row) { return IDC_TRACK_NUMBER + static_cast<int>(row); }
int TitleId(unsigned row) { return IDC_TRACK_TITLE + static_cast<int>(row); }
int ArtistId(unsigned row) { return IDC_TRACK_ARTIST + static_cast<int>(row); }

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// Digits only, else 0.
int32_t ParseYear(const std::wstring& text) {
  if (text.empty() || text.size() > 9) return 0;
  int32_t year = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return 0;
    year = year * 10 + (c - L'0');
  }
  return year;
}

RECT ChildRect(HWND parent, HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

}  // namespace

CWizardTrackEditorPage::CWizardTrackEditorPage(const CWizardInfo& info)
    : CWizardPageBase(
          info, IDD_WIZ97_TRACKEDITOR,
          L"Please enter the data for the tracks of this disc...{TRACKEDITORPAGE_TITLE}",
          L"TAVRIN could not load the track data from the internet.{TRACKEDITORPAGE_SUBTITLE}") {}

BOOL CWizardTrackEditorPage::OnInitDialog() {
  rows_ = 0;
  Localizer::TranslateDialog(Window());
  HWND genres = GetDlgItem(Window(), IDC_GENRE);
  for (int i = 0; i < kGenres; ++i) {
    const LRESULT item =
        SendMessageW(genres, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(Localizer::Translate(g_genreNames[i]).c_str()));
    SendMessageW(genres, CB_SETITEMDATA, item, reinterpret_cast<LPARAM>(g_genreKeys[i]));
  }
  return TRUE;
}

int CWizardTrackEditorPage::OnSetActive() {
  const CWizardInfo& info = *this;
  before_ = info->disc;
  SetUpRows();
  ShowDisc();
  shown_ = Shown();
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  return 0;
}

void CWizardTrackEditorPage::SetUpRows() {
  HWND page = Window();
  const CWizardInfo& info = *this;
  rows_ = 0;
  if (info->drive && info->drive->toc.size() >= 4) {
    const int count = info->drive->toc[3] - info->drive->toc[2] + 1;
    rows_ = count < 0 ? 0 : std::min(static_cast<unsigned>(count), kMaxRows);
  }
  for (unsigned r = kRowsInView; r < kMaxRows && GetDlgItem(page, NumberId(r)); ++r)
    for (int id : {NumberId(r), TitleId(r), ArtistId(r)}) DestroyWindow(GetDlgItem(page, id));
  if (slots_.empty())
    for (unsigned r = 0; r < kRowsInView; ++r)
      slots_.push_back({ChildRect(page, GetDlgItem(page, NumberId(r))),
                        ChildRect(page, GetDlgItem(page, TitleId(r))),
                        ChildRect(page, GetDlgItem(page, ArtistId(r)))});
  for (unsigned r = kRowsInView; r < rows_; ++r) CreateRow(r);
  HWND bar = GetDlgItem(page, IDC_TRACK_SCROLL);
  if (rows_ > kRowsInView) {
    SCROLLINFO scroll = {sizeof scroll,
                         SIF_RANGE | SIF_PAGE | SIF_POS,
                         0,
                         static_cast<int>(rows_) - 1,
                         kRowsInView,
                         0,
                         0};
    SetScrollInfo(bar, SB_CTL, &scroll, TRUE);
    ShowWindow(bar, SW_SHOW);
    EnableWindow(bar, TRUE);
  } else {
    EnableWindow(bar, FALSE);
    ShowWindow(bar, SW_HIDE);
  }
  for (unsigned r = 0; r < kRowsInView; ++r) {
    const bool used = r < rows_;
    for (int id : {NumberId(r), TitleId(r), ArtistId(r)}) {
      ShowWindow(GetDlgItem(page, id), used ? SW_SHOW : SW_HIDE);
      if (id != NumberId(r)) EnableWindow(GetDlgItem(page, id), used);
    }
  }
  top_ = 0;
  for (unsigned r = 0; r < rows_; ++r) PlaceRow(r, r < kRowsInView ? slots_[r].data() : nullptr);
  for (unsigned r = 0; r < rows_; ++r) SetDlgItemInt(page, NumberId(r), r + 1, TRUE);
  previousArtist_.clear();
}

void CWizardTrackEditorPage::CreateRow(unsigned row) const {
  HWND page = Window();
  const HFONT font = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
  RECT margins = {};
  const LRESULT margin = SendMessageW(GetDlgItem(page, IDC_TRACK_TITLE), EM_GETMARGINS, 0, 0);
  const struct {
    const wchar_t* windowClass;
    int pattern;
    int id;
  } controls[] = {{L"Static", IDC_TRACK_NUMBER, NumberId(row)},
                  {L"Edit", IDC_TRACK_TITLE, TitleId(row)},
                  {L"Edit", IDC_TRACK_ARTIST, ArtistId(row)}};
  for (const auto& c : controls) {
    HWND pattern = GetDlgItem(page, c.pattern);
    HWND control = CreateWindowExW(
        static_cast<DWORD>(GetWindowLongPtrW(pattern, GWL_EXSTYLE)), c.windowClass, L"",
        static_cast<DWORD>(GetWindowLongPtrW(pattern, GWL_STYLE)), -20, 0, 10, 10, page,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (c.pattern == IDC_TRACK_NUMBER) continue;
    SendMessageW(pattern, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&margins));
    SendMessageW(control, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&margins));
    SendMessageW(control, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN,
                 MAKELPARAM(LOWORD(margin), HIWORD(margin)));
  }
}

void CWizardTrackEditorPage::PlaceRow(unsigned row, const RECT* slot) const {
  const int ids[] = {NumberId(row), TitleId(row), ArtistId(row)};
  for (int i = 0; i < 3; ++i) {
    HWND control = GetDlgItem(Window(), ids[i]);
    if (slot)
      SetWindowPos(control, nullptr, slot[i].left, slot[i].top, slot[i].right - slot[i].left,
                   slot[i].bottom - slot[i].top, SWP_NOZORDER | SWP_NOACTIVATE);
    else
      SetWindowPos(control, nullptr, -20, 0, 10, 10, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CWizardTrackEditorPage::ShowDisc() {
  HWND page = Window();
  CWizardInfo& info = *this;
  DiscInfo& disc = info->disc;
  if (disc.tracks.size() != rows_ + 1) {
    disc.tracks.resize(rows_ + 1);
    disc.tracks[0].year = 0;
    const std::wstring track = Localizer::Translate(L"Track{TRACKNO}");
    for (unsigned n = 1; n <= rows_; ++n) {
      disc.tracks[n].title = track + L" " + std::to_wstring(n);
      disc.tracks[n].year = 0;
    }
  }
  // The disc artist goes first: its change notice carries it into the rows,
  // which then get their own texts.
  SetDlgItemTextW(page, IDC_ARTIST, disc.tracks[0].artist.c_str());
  SetDlgItemTextW(page, IDC_ALBUM, disc.tracks[0].title.c_str());
  for (unsigned n = 1; n <= rows_; ++n) {
    SetDlgItemTextW(page, TitleId(n - 1), disc.tracks[n].title.c_str());
    SetDlgItemTextW(page, ArtistId(n - 1), disc.tracks[n].artist.c_str());
  }
  int genre = 0;
  for (int i = 0; i < kGenres; ++i)
    if (EqualNoCase(g_genreKeys[i], disc.category)) {
      genre = i;
      break;
    }
  const int32_t year = disc.tracks[0].year;
  SetDlgItemTextW(page, IDC_YEAR,
                  year ? std::to_wstring(static_cast<uint32_t>(year)).c_str() : L"");
  SendDlgItemMessageW(page, IDC_GENRE, CB_SETCURSEL, genre, 0);
  SetFocus(GetDlgItem(page, IDC_ALBUM));
}

void CWizardTrackEditorPage::Scroll(int code, int position) {
  const unsigned maxTop = MaxTop();
  unsigned newTop = top_;
  switch (code) {
    case SB_LINEUP:
      if (top_ > 0) newTop = top_ - 1;
      break;
    case SB_LINEDOWN:
      if (top_ < maxTop) newTop = top_ + 1;
      break;
    case SB_PAGEUP:
      newTop = top_ > 2 ? top_ - 3 : 0;
      break;
    case SB_PAGEDOWN:
      newTop = top_ + 3 <= maxTop ? top_ + 3 : maxTop;
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK:
      newTop = position < 0 ? 0 : std::min(static_cast<unsigned>(position), maxTop);
      break;
    case SB_TOP:
      newTop = 0;
      break;
    case SB_BOTTOM:
      newTop = maxTop;
      break;
    default:
      return;
  }
  MoveTop(newTop);
}

void CWizardTrackEditorPage::MoveTop(unsigned newTop) {
  if (newTop == top_ || rows_ <= kRowsInView) return;
  for (unsigned r = top_; r < top_ + kRowsInView; ++r) PlaceRow(r, nullptr);
  for (unsigned i = 0; i < kRowsInView; ++i) PlaceRow(newTop + i, slots_[i].data());
  top_ = newTop;
  SetScrollPos(GetDlgItem(Window(), IDC_TRACK_SCROLL), SB_CTL, static_cast<int>(top_), TRUE);
}

void CWizardTrackEditorPage::BringIntoView(unsigned row, HWND edit) {
  if (row >= rows_) return;
  if (row < top_)
    MoveTop(row);
  else if (row >= top_ + kRowsInView)
    MoveTop(row - (kRowsInView - 1));
  else
    return;
  SendMessageW(edit, EM_SETSEL, 0, -1);
}

void CWizardTrackEditorPage::CarryDiscArtist() {
  const std::wstring artist = Text(IDC_ARTIST, kArtistRoom);
  for (unsigned r = 0; r < rows_; ++r) {
    const std::wstring row = Text(ArtistId(r), kArtistRoom);
    if (row.empty() || row == previousArtist_)
      SetDlgItemTextW(Window(), ArtistId(r), artist.c_str());
  }
  previousArtist_ = artist;
}

std::wstring CWizardTrackEditorPage::Text(int control, int room) const {
  std::vector<wchar_t> text(room + 1, L'\0');
  GetDlgItemTextW(Window(), control, text.data(), room + 1);
  return text.data();
}

LRESULT CWizardTrackEditorPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                          bool& handled) {
  if (message == WM_VSCROLL &&
      reinterpret_cast<HWND>(lParam) == GetDlgItem(Window(), IDC_TRACK_SCROLL)) {
    Scroll(LOWORD(wParam), static_cast<short>(HIWORD(wParam)));
    return 0;
  }
  if (message == WM_COMMAND) {
    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == EN_CHANGE && id == IDC_ARTIST) {
      CarryDiscArtist();
      return 0;
    }
    if (code == EN_SETFOCUS) {
      const unsigned title = static_cast<unsigned>(id - IDC_TRACK_TITLE);
      const unsigned artist = static_cast<unsigned>(id - IDC_TRACK_ARTIST);
      if (title < kMaxRows) BringIntoView(title, reinterpret_cast<HWND>(lParam));
      if (artist < kMaxRows) BringIntoView(artist, reinterpret_cast<HWND>(lParam));
    }
  }
  handled = false;
  return 0;
}

std::vector<std::wstring> CWizardTrackEditorPage::Shown() const {
  std::vector<std::wstring> texts = {
      Text(IDC_ARTIST, kArtistRoom), Text(IDC_ALBUM, kArtistRoom), Text(IDC_YEAR, kArtistRoom),
      std::to_wstring(SendDlgItemMessageW(Window(), IDC_GENRE, CB_GETCURSEL, 0, 0))};
  for (unsigned r = 0; r < rows_; ++r) {
    texts.push_back(Text(TitleId(r), kArtistRoom));
    texts.push_back(Text(ArtistId(r), kArtistRoom));
  }
  return texts;
}

std::wstring CWizardTrackEditorPage::SelectedGenre() const {
  const LRESULT selected = SendDlgItemMessageW(Window(), IDC_GENRE, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return L"";
  return reinterpret_cast<const wchar_t*>(
      SendDlgItemMessageW(Window(), IDC_GENRE, CB_GETITEMDATA, selected, 0));
}

void CWizardTrackEditorPage::TakeTexts(const std::wstring& key) {
  CWizardInfo& info = *this;
  DiscInfo& disc = info->disc;
  if (!key.empty()) disc.category = key;
  const int32_t year = ParseYear(Text(IDC_YEAR, 15));
  disc.tracks.resize(rows_ + 1);
  TrackText& whole = disc.tracks[0];
  whole.artist = Text(IDC_ARTIST, kTextRoom);
  whole.title = Text(IDC_ALBUM, kTextRoom);
  whole.extendedText.clear();
  whole.year = year;
  if (whole.genre.empty()) whole.genre = key;
  for (unsigned n = 1; n <= rows_; ++n) {
    TrackText& track = disc.tracks[n];
    track.artist = Text(ArtistId(n - 1), kTextRoom);
    track.title = Text(TitleId(n - 1), kTextRoom);
    if (!key.empty()) track.genre = key;
    track.extendedText.clear();
    track.year = year;
  }
}

bool CWizardTrackEditorPage::Commit() {
  const std::wstring key = SelectedGenre();
  if (key.empty()) return false;
  TakeTexts(key);
  CWizardInfo& info = *this;
  DiscInfo& disc = info->disc;
  bool complete = true;
  for (const TrackText& entry : disc.tracks)
    complete = complete && !entry.artist.empty() && !entry.title.empty();
  if (complete && info->drive && (disc.source.empty() || SystemDialogs::ShiftHeld())) {
    auto session = VOVudoroDession::Create(Window(), true, L"", info->drive->toc);
    session->SetDiscTracks(key, disc.tracks);
    if (session->SubmitDisc(disc.revision > 0 ? disc.revision + 1 : -1)) disc.source = L"submitted";
  }
  return true;
}

int CWizardTrackEditorPage::OnWizardNext() { return Commit() ? NextPageId(Id()) : -1; }

int CWizardTrackEditorPage::OnWizardBack() {
  // Unchanged, the page gives back what the wizard state held: the texts it
  // filled in by itself are nobody's.
  CWizardInfo& info = *this;
  if (Shown() == shown_)
    info->disc = before_;
  else
    TakeTexts(SelectedGenre());
  return PrevPageId(Id());
}

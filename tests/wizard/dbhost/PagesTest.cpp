// The source-drive page and the track editor in a sheet of their own, over
// virtual drives and the scripted online plug-in (this folder's
// VOVudorod\Ombrel.dll), driven from a second thread.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <objbase.h>

#include <algorithm>
#include <functional>
#include <thread>

#include "tests/support/vdrive/VirtualDriveSetup.h"
#include "tests/wizard/dbhost/ScriptedDb.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "tests/wizard/ui/FramePage.h"
#include "wizard/pages/SelectSourceDrivePage.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/pages/TrackEditorPage.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Wizard97Sheet.h"

using namespace SheetDriver;

namespace {

// Shift held, as the pages ask for it.
SHORT WINAPI ShiftDown(int key) { return key == VK_SHIFT ? SHORT(0x8000) : SHORT(0); }

// The pages before and after the two, as plain templates.
class FramePage : public CWizardFramePage {
 public:
  FramePage(const CWizardInfo& info, int id) : CWizardFramePage(info, id, L"Frame", L"") {}
};

class TestSheet : public ui::Wizard97Sheet {
 public:
  explicit TestSheet(const CWizardInfo& info)
      : ui::Wizard97Sheet(IDB_HEADER, IDB_WATERMARK),
        info_(info),
        operation_(info, IDD_WIZ97_SELECTOP),
        source_(info),
        editor_(info),
        destination_(info, IDD_WIZ97_SELECTDESTFILE) {
    for (ui::WizardPage* page :
         std::initializer_list<ui::WizardPage*>{&operation_, &source_, &editor_, &destination_}) {
      page->SetTitle(L"TAVRIN");
      AddPage(*page);
    }
  }

 private:
  void OnInitialized() override { info_->sheetWindow = Window(); }
  LRESULT OnMessage(UINT message, WPARAM, LPARAM lParam, bool& handled) override {
    if (message == WM_DEVICECHANGE) {
      source_.OnDeviceChange(reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam));
      return 0;
    }
    handled = false;
    return 0;
  }

  CWizardInfo info_;
  FramePage operation_;
  CWizardSelectSourceDrivePage source_;
  CWizardTrackEditorPage editor_;
  FramePage destination_;
};

// Runs the sheet on this thread while the steps run on another, from the
// source-drive page on; Cancel ends it.
void RunSheet(CWizardInfo info, const std::function<void(HWND sheet)>& steps) {
  CoInitialize(nullptr);
  {
    info->operation = OpBackup;
    TestSheet sheet(info);
    std::thread driver([&] {
      HWND window = nullptr;
      if (!WaitFor([&] { return (window = info->sheetWindow) != nullptr; })) return;
      if (WaitForPage(window, IDD_WIZ97_SELECTOP) && Go(window, kNext, IDD_WIZ97_SELECTSOURCEDRIVE))
        steps(window);
      else
        ADD_FAILURE() << "the sheet never reached the source-drive page";
      PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal(nullptr);
    driver.join();
  }
  CoUninitialize();
}

std::string DataDisc(char letter) {
  return std::string("[drive]\nid = VD-") + letter + "\nvolumes = " + letter +
         ":\\\ntrack = 0 data\nleadout = 30000\n";
}

// A disc section of the script: its matches and, for the lookup, the disc's
// entry and one per track.
std::string Disc(int tracks, const std::string& matches, const std::string& artist = "",
                 const std::string& title = "") {
  std::string text = "disc " + std::to_string(tracks) + "\n" + matches;
  if (artist.empty()) return text;
  text += "source freedb\nrevision 4\nentry " + artist + "|" + title + "|rock||1999\n";
  for (int n = 1; n <= tracks; ++n)
    text += "entry " + artist + "|Song " + std::to_string(n) + "|rock||1999\n";
  return text;
}

std::wstring Text(HWND page, int id) { return SheetDriver::Text(GetDlgItem(page, id)); }

bool WaitForLabels(HWND page, const std::wstring& artist, const std::wstring& title) {
  return WaitFor(
      [&] { return Text(page, IDC_DISC_ARTIST) == artist && Text(page, IDC_DISC_TITLE) == title; });
}

// Calls that start with the name, as the plug-in logged them.
size_t Count(const ScriptedDb& db, const std::string& name) { return db.Texts(name).size(); }

void SelectDrive(HWND page, int item) {
  HWND combo = GetDlgItem(page, IDC_DRIVES);
  SendMessageW(combo, CB_SETCURSEL, item, 0);
  SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDC_DRIVES, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(combo));
}

// Next handled to the end before the call returns (no dialog may open).
int PressNextNow(HWND sheet) {
  SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_NEXT, 0);
  return CurrentPageId(sheet);
}

void DeviceChange(HWND sheet) {
  DEV_BROADCAST_VOLUME volume = {};
  volume.dbcv_size = sizeof volume;
  volume.dbcv_devicetype = DBT_DEVTYP_VOLUME;
  SendMessageW(sheet, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
}

HWND CandidateDialog() { return WaitForDialog(GetCurrentProcessId(), L"Select Match"); }

std::wstring ListLine(HWND list, int line) {
  wchar_t text[256] = L"";
  SendMessageW(list, LB_GETTEXT, line, reinterpret_cast<LPARAM>(text));
  return text;
}

TEST(SourceDrivePage, SeveralMatchesAreChosenInTheDialogOneMatchIsTakenAsItIs) {
  VirtualDriveSetup drives;
  drives.Describe(DataDisc('D') + VirtualDisc::ToneDisc("VD-E", 'E', {60, 60, 60}) +
                  VirtualDisc::ToneDisc("VD-F", 'F', {30, 30, 30, 30, 30}));
  ScriptedDb db;
  db.Script(Disc(3, "match First|Artist A|rock|00000001|0\nmatch Second|Artist B|jazz|00000002|1\n",
                 "Artist B", "Second") +
            Disc(5, "match Five|Solo|folk|00000005|2\n", "Solo", "Five"));
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    // The first drive with an audio disc is selected and looked up.
    EXPECT_EQ(3, SendDlgItemMessageW(page, IDC_DRIVES, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(1, SendDlgItemMessageW(page, IDC_DRIVES, CB_GETCURSEL, 0, 0));
    HWND dialog = CandidateDialog();
    ASSERT_TRUE(dialog);
    HWND list = GetDlgItem(dialog, IDC_CANDIDATES);
    ASSERT_EQ(2, SendMessageW(list, LB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Artist A - First", ListLine(list, 0));
    EXPECT_EQ(L"Artist B - Second", ListLine(list, 1));
    EXPECT_EQ(0, SendMessageW(list, LB_GETCURSEL, 0, 0));
    SendMessageW(list, LB_SETCURSEL, 1, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForLabels(page, L"Artist B", L"Second"));
    // The chosen match is looked up: the disc and its three tracks, twice each.
    const std::vector<std::string> lookups = db.Texts("Lookup");
    EXPECT_EQ(8u, lookups.size());
    for (const std::string& call : lookups) EXPECT_EQ(0u, call.find("Lookup jazz 00000002 1 "));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    ASSERT_TRUE(info->drive);
    EXPECT_EQ(L'E', info->drive->letter);
    ASSERT_EQ(4u, info->disc.tracks.size());
    EXPECT_EQ(L"Song 3", info->disc.tracks[3].title);
    EXPECT_EQ(L"freedb", info->disc.source);

    // Coming back, the disc's outcome is known; the next drive's single match
    // is taken without a dialog and replaces the texts.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    EXPECT_TRUE(WaitForLabels(page, L"Artist B", L"Second"));
    SelectDrive(page, 2);
    ASSERT_TRUE(WaitForLabels(page, L"Solo", L"Five"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    EXPECT_EQ(L'F', info->drive->letter);
    ASSERT_EQ(6u, info->disc.tracks.size());
    EXPECT_EQ(L"Five", info->disc.tracks[0].title);
    EXPECT_EQ(2u, Count(db, "CreateSession"));
  });
  // Every session was closed on the thread that opened it.
  const std::vector<ScriptedDb::Call> calls = db.Calls();
  for (const ScriptedDb::Call& call : calls) {
    if (call.text != "CloseSession") continue;
    EXPECT_TRUE(std::any_of(calls.begin(), calls.end(), [&](const ScriptedDb::Call& c) {
      return c.thread == call.thread && c.text.rfind("CreateSession", 0) == 0;
    }));
  }
}

TEST(SourceDrivePage, AChoiceAskedForWhileAnotherPageIsShownWaitsForThePage) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60, 60}));
  ScriptedDb db;
  db.Script(Disc(3, "delay 300\nmatch A|X|rock|00000001|0\nmatch B|Y|jazz|00000002|0\n", "Y", "B"));
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTOP));
    // The query ends and the thread waits for the choice; no dialog comes.
    ASSERT_TRUE(WaitFor([&] { return Count(db, "Query") == 4; }));
    EXPECT_FALSE(
        WaitFor([] { return FindDialog(GetCurrentProcessId(), L"Select Match", false); }, 500));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTSOURCEDRIVE));
    HWND dialog = CandidateDialog();
    ASSERT_TRUE(dialog);
    SendDlgItemMessageW(dialog, IDC_CANDIDATES, LB_SETCURSEL, 1, 0);
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitForLabels(CurrentPage(sheet), L"Y", L"B"));
  });
}

TEST(SourceDrivePage, NoMatchOrADeclinedChoiceLeadsToTheEditorAndANewDiscStartsEmpty) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60, 60, 60}));
  ScriptedDb db;
  db.Script(Disc(4, "") + Disc(2, "match A|X|rock|00000001|0\nmatch B|Y|rock|00000002|0\n"));
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(WaitFor([&] { return Count(db, "CloseSession") == 1; }));
    EXPECT_TRUE(WaitForLabels(page, L"Unknown", L"Unknown"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_TRACKEDITOR));
    HWND editor = CurrentPage(sheet);
    EXPECT_EQ(L"Track 4", Text(editor, IDC_TRACK_TITLE + 3));
    SetDlgItemTextW(editor, IDC_ALBUM, L"Old Album");
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    EXPECT_EQ(L"Old Album", info->disc.tracks[0].title);
    // Artists are missing: nothing was submitted.
    EXPECT_EQ(0u, Count(db, "SetTrackInfo"));
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));

    // Another disc in the same drive; its choice is declined.
    drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
    DeviceChange(sheet);
    HWND dialog = CandidateDialog();
    ASSERT_TRUE(dialog);
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return Count(db, "CloseSession") == 2; }));
    EXPECT_TRUE(WaitForLabels(page, L"Unknown", L"Unknown"));
    EXPECT_EQ(0u, Count(db, "Lookup"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_TRACKEDITOR));
    EXPECT_EQ(L"", Text(editor, IDC_ALBUM));
    EXPECT_EQ(L"Track 2", Text(editor, IDC_TRACK_TITLE + 1));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(editor, IDC_TRACK_TITLE + 2)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(editor, IDC_TRACK_ARTIST + 3)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(editor, IDC_TRACK_SCROLL)));
    EXPECT_EQ(3u, info->disc.tracks.size());
    // The declined disc is not offered again. The texts the editor filled in
    // by itself are nobody's: after Back the disc is still unknown, and Next
    // leads to the editor again.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    EXPECT_TRUE(WaitForLabels(page, L"Unknown", L"Unknown"));
    EXPECT_TRUE(info->disc.tracks.empty());
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_TRACKEDITOR));
    EXPECT_EQ(L"Track 2", Text(editor, IDC_TRACK_TITLE + 1));
    // Edits made before Back are the user's: they stay, and Next passes the
    // editor by.
    SetDlgItemTextW(editor, IDC_ARTIST, L"Typed Artist");
    SetDlgItemTextW(editor, IDC_TRACK_TITLE + 1, L"Typed Song");
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    EXPECT_TRUE(WaitForLabels(page, L"Typed Artist", L""));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    ASSERT_EQ(3u, info->disc.tracks.size());
    EXPECT_EQ(L"Track 1", info->disc.tracks[1].title);
    EXPECT_EQ(L"Typed Song", info->disc.tracks[2].title);
    EXPECT_EQ(L"Typed Artist", info->disc.tracks[2].artist);
    EXPECT_EQ(2u, Count(db, "CreateSession"));
    EXPECT_EQ(0u, Count(db, "Submit"));
  });
}

// A database answer of more or fewer entries than the disc has tracks: the
// wizard takes one entry per track, and the editor shows the answer's texts.
TEST(SourceDrivePage, AnAnswerIsFittedToTheTracksOfTheDisc) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60, 60}) +
                  VirtualDisc::ToneDisc("VD-F", 'F', {30, 30, 30, 30, 30}));
  std::string many = Disc(3, "match Many|Band|rock|000000ff|0\n") +
                     "source freedb\nrevision 4\nentry Band|Many|rock||1999\n";
  for (int n = 1; n <= 255; ++n) many += "entry Band|Song " + std::to_string(n) + "|rock||1999\n";
  ScriptedDb db;
  db.Script(many + Disc(5, "match Few|Duo|folk|00000005|0\n") +
            "source freedb\nentry Duo|Few|folk||0\nentry Duo|One|folk||0\n");
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(WaitForLabels(page, L"Band", L"Many"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    ASSERT_EQ(4u, info->disc.tracks.size());
    EXPECT_EQ(L"Song 3", info->disc.tracks[3].title);

    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    SelectDrive(page, 1);
    ASSERT_TRUE(WaitForLabels(page, L"Duo", L"Few"));
    SystemDialogs::System().keyState = ShiftDown;
    EXPECT_EQ(IDD_WIZ97_TRACKEDITOR, PressNextNow(sheet));
    SystemDialogs::System().keyState = GetAsyncKeyState;
    ASSERT_EQ(6u, info->disc.tracks.size());
    HWND editor = CurrentPage(sheet);
    EXPECT_EQ(L"One", Text(editor, IDC_TRACK_TITLE));
    EXPECT_EQ(L"", Text(editor, IDC_TRACK_TITLE + 4));
  });
}

// Drive E with the band's three tracks (revision 4 in the database), F with
// the pair's two; the band's query begins with `first`.
void BandAndPair(VirtualDriveSetup& drives, ScriptedDb& db, const std::string& first = "") {
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60, 60}) +
                  VirtualDisc::ToneDisc("VD-F", 'F', {60, 60}));
  db.Script("configure 0\nsubmit 0\n" +
            Disc(3, first + "match Album|Band|rock|00000003|0\n", "Band", "Album") +
            Disc(2, "match Duo|Pair|folk|00000002|0\n", "Pair", "Duo"));
}

TEST(SourceDrivePage, AnotherDiscLeavesTheRevisionOfTheTextsAlone) {
  VirtualDriveSetup drives;
  ScriptedDb db;
  BandAndPair(drives, db);
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(WaitForLabels(page, L"Band", L"Album"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTDESTFILE));
    EXPECT_EQ(4, info->disc.revision);
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    // The other disc is looked up while the state holds the first one's texts.
    SelectDrive(page, 1);
    ASSERT_TRUE(WaitForLabels(page, L"Pair", L"Duo"));
    SelectDrive(page, 0);
    ASSERT_TRUE(WaitForLabels(page, L"Band", L"Album"));
    // A forced submission of the first disc's texts is its next revision.
    SystemDialogs::System().keyState = ShiftDown;
    EXPECT_EQ(IDD_WIZ97_TRACKEDITOR, PressNextNow(sheet));
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, PressNextNow(sheet));
    SystemDialogs::System().keyState = GetAsyncKeyState;
    EXPECT_EQ(std::vector<std::string>{"Submit 5"}, db.Texts("Submit"));
  });
}

TEST(SourceDrivePage, NextWaitsForTheLookupAndShiftForcesTheEditorAndASubmission) {
  VirtualDriveSetup drives;
  ScriptedDb db;
  BandAndPair(drives, db, "delay 1500\n");
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(WaitFor([&] { return Count(db, "Query") == 1; }));
    EXPECT_EQ(L"Unknown", Text(page, IDC_DISC_ARTIST));
    EXPECT_EQ(IDD_WIZ97_SELECTSOURCEDRIVE, PressNextNow(sheet));
    // The other drive's disc waits behind the slow query: its lookup has not
    // begun, and Next waits for it as well.
    SelectDrive(page, 1);
    EXPECT_EQ(IDD_WIZ97_SELECTSOURCEDRIVE, PressNextNow(sheet));
    EXPECT_EQ(1u, Count(db, "CreateSession"));
    ASSERT_TRUE(WaitForLabels(page, L"Pair", L"Duo"));
    SelectDrive(page, 0);
    ASSERT_TRUE(WaitForLabels(page, L"Band", L"Album"));

    SystemDialogs::System().keyState = ShiftDown;
    EXPECT_EQ(IDD_WIZ97_TRACKEDITOR, PressNextNow(sheet));
    HWND editor = CurrentPage(sheet);
    EXPECT_EQ(L"Band", Text(editor, IDC_ARTIST));
    EXPECT_EQ(L"Song 2", Text(editor, IDC_TRACK_TITLE + 1));
    // The category from the database selects its genre.
    EXPECT_EQ(8, SendDlgItemMessageW(editor, IDC_GENRE, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"1999", Text(editor, IDC_YEAR));
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, PressNextNow(sheet));
    SystemDialogs::System().keyState = GetAsyncKeyState;
    EXPECT_EQ(std::vector<std::string>{"Submit 5"}, db.Texts("Submit"));
    EXPECT_EQ(L"submitted", info->disc.source);
  });
}

// Track numbers of the rows in view, top first.
std::vector<int> RowsInView(HWND editor) {
  std::vector<std::pair<LONG, int>> rows;
  for (int r = 0; r < 99; ++r) {
    HWND number = GetDlgItem(editor, IDC_TRACK_NUMBER + r);
    if (!number) break;
    RECT place;
    GetWindowRect(number, &place);
    MapWindowPoints(nullptr, editor, reinterpret_cast<POINT*>(&place), 2);
    if (place.left >= 0) rows.push_back({place.top, r + 1});
  }
  std::sort(rows.begin(), rows.end());
  std::vector<int> tracks;
  for (const auto& row : rows) tracks.push_back(row.second);
  return tracks;
}

void ScrollTo(HWND editor, int code, int position) {
  SendMessageW(editor, WM_VSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(GetDlgItem(editor, IDC_TRACK_SCROLL)));
}

TEST(TrackEditorPage, EditsTwelveTracksRequiresAGenreAndSubmitsCompleteTexts) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', std::vector<int>(12, 20)));
  ScriptedDb db;
  db.Script("configure 0\nsubmit 0\n" + Disc(12, ""));
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(WaitFor([&] { return Count(db, "CloseSession") == 1; }));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_TRACKEDITOR));
    HWND editor = CurrentPage(sheet);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(editor, IDC_TRACK_SCROLL)));
    EXPECT_EQ(10, SendDlgItemMessageW(editor, IDC_GENRE, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(0, SendDlgItemMessageW(editor, IDC_GENRE, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(L"Track 12", Text(editor, IDC_TRACK_TITLE + 11));
    EXPECT_EQ(L"12", Text(editor, IDC_TRACK_NUMBER + 11));
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), RowsInView(editor));

    const struct {
      int code;
      int position;
      std::vector<int> rows;
    } scrolls[] = {{SB_BOTTOM, 0, {9, 10, 11, 12}},
                   {SB_LINEDOWN, 0, {9, 10, 11, 12}},
                   {SB_LINEUP, 0, {8, 9, 10, 11}},
                   {SB_TOP, 0, {1, 2, 3, 4}},
                   {SB_PAGEDOWN, 0, {4, 5, 6, 7}},
                   {SB_PAGEDOWN, 0, {7, 8, 9, 10}},
                   {SB_PAGEDOWN, 0, {9, 10, 11, 12}},
                   {SB_PAGEUP, 0, {6, 7, 8, 9}},
                   {SB_THUMBPOSITION, 2, {3, 4, 5, 6}},
                   {SB_THUMBTRACK, 60, {9, 10, 11, 12}},
                   {SB_TOP, 0, {1, 2, 3, 4}}};
    for (const auto& s : scrolls) {
      ScrollTo(editor, s.code, s.position);
      EXPECT_EQ(s.rows, RowsInView(editor)) << s.code;
    }
    // Moving into a row out of view scrolls it in and selects its text.
    HWND title6 = GetDlgItem(editor, IDC_TRACK_TITLE + 5);
    SendMessageW(editor, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(title6), TRUE);
    EXPECT_EQ((std::vector<int>{3, 4, 5, 6}), RowsInView(editor));
    DWORD from = 1, to = 0;
    SendMessageW(title6, EM_GETSEL, reinterpret_cast<WPARAM>(&from), reinterpret_cast<LPARAM>(&to));
    EXPECT_EQ(0u, from);
    EXPECT_EQ(7u, to);

    // The disc artist goes into empty rows and rows that held the former one.
    SetDlgItemTextW(editor, IDC_ARTIST, L"Band");
    EXPECT_EQ(L"Band", Text(editor, IDC_TRACK_ARTIST + 11));
    SetDlgItemTextW(editor, IDC_TRACK_ARTIST + 2, L"Guest");
    SetDlgItemTextW(editor, IDC_ARTIST, L"The Band");
    EXPECT_EQ(L"The Band", Text(editor, IDC_TRACK_ARTIST));
    EXPECT_EQ(L"Guest", Text(editor, IDC_TRACK_ARTIST + 2));
    SetDlgItemTextW(editor, IDC_ALBUM, L"Album");
    SetDlgItemTextW(editor, IDC_YEAR, L"19x9");

    SendDlgItemMessageW(editor, IDC_GENRE, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(IDD_WIZ97_TRACKEDITOR, PressNextNow(sheet));
    SendDlgItemMessageW(editor, IDC_GENRE, CB_SETCURSEL, 8, 0);
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, PressNextNow(sheet));

    const DiscInfo& disc = info->disc;
    EXPECT_EQ(L"rock", disc.category);
    EXPECT_EQ(L"submitted", disc.source);
    ASSERT_EQ(13u, disc.tracks.size());
    EXPECT_EQ(0, disc.tracks[5].year);
    const std::vector<std::string> sent = db.Texts("SetTrackInfo");
    ASSERT_EQ(13u, sent.size());
    EXPECT_EQ("SetTrackInfo 0 The Band|Album|rock||0", sent[0]);
    EXPECT_EQ("SetTrackInfo 3 Guest|Track 3|rock||0", sent[3]);
    EXPECT_EQ(std::vector<std::string>{"Submit -1"}, db.Texts("Submit"));

    // The typed texts stand for the disc now: the editor is passed by.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
    EXPECT_TRUE(WaitForLabels(page, L"The Band", L"Album"));
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, PressNextNow(sheet));
    EXPECT_EQ(1u, Count(db, "Submit"));
  });
}

}  // namespace

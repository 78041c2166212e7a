// The wizard sheet in this process, driven from a second thread: the restore
// road through the select-discs page, and what the sheet adds to its window.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <thread>

#include "tests/support/TempDir.h"
#include "tests/wizard/ui/BackupFiles.h"
#include "tests/wizard/ui/PageSheet.h"
#include "tests/wizard/ui/RunSheet.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/HelpIds.h"
#include "wizard/WizardSheet.h"
#include "wizard/resources/resource.h"

using namespace SheetDriver;

namespace {

std::wstring ItemText(HWND list, int row, int column) {
  wchar_t text[256] = L"";
  ListView_GetItemText(list, row, column, text, 256);
  return text;
}

void GoToOperation(HWND sheet, int button) {
  ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTOP));
  SendMessageW(GetDlgItem(CurrentPage(sheet), button), BM_CLICK, 0, 0);
}

TEST(WizardSheet, RestoreOfSeveralDiscsQueuesTheCheckedOnesInFileOrder) {
  TempDir dir;
  const std::wstring path = dir / L"four.mp3";
  ASSERT_EQ(4u,
            BackupFiles::Write(
                path, {{L"Artist A", L"First"}, {L"", L""}, {L"Artist C", L"Third"}, {L"", L""}},
                {{1, RGB(0, 0, 255)}})
                .size());
  CWizardInfo info;
  const INT_PTR result = RunSheet(info, [&](HWND sheet) {
    GoToOperation(sheet, IDC_OP_RESTORE);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTMP3));
    TypeBackupFile(sheet, path);
    for (int page : {IDD_WIZ97_EXPORTIMAGE, IDD_WIZ97SELDISCS}) ASSERT_TRUE(Go(sheet, kNext, page));

    HWND list = GetDlgItem(CurrentPage(sheet), IDC_DISCS);
    ASSERT_EQ(4, ListView_GetItemCount(list));
    EXPECT_EQ(L"1", ItemText(list, 0, 0));
    EXPECT_EQ(L"First", ItemText(list, 0, 1));
    EXPECT_EQ(L"Artist A", ItemText(list, 0, 2));
    // Empty texts show the number alone.
    for (int row : {1, 3}) {
      EXPECT_EQ(std::to_wstring(row + 1), ItemText(list, row, 0));
      EXPECT_EQ(L"", ItemText(list, row, 1));
    }
    EXPECT_EQ(180, ListView_GetColumnWidth(list, 1));
    EXPECT_EQ(150, ListView_GetColumnWidth(list, 2));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));

    ListView_SetCheckState(list, 2, TRUE);
    ListView_SetCheckState(list, 0, TRUE);
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    ListView_SetCheckState(list, 0, FALSE);
    ListView_SetCheckState(list, 2, FALSE);
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));

    // Ctrl+A with some rows checked checks them all, and again unchecks them.
    ListView_SetCheckState(list, 1, TRUE);
    ControlKey(list, 'A');
    for (int row = 0; row < 4; ++row) EXPECT_TRUE(ListView_GetCheckState(list, row)) << row;
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    ControlKey(list, 'A');
    for (int row = 0; row < 4; ++row) EXPECT_FALSE(ListView_GetCheckState(list, row)) << row;
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    SendMessageW(list, WM_KEYDOWN, 'A', 0);  // A alone checks nothing
    EXPECT_FALSE(ListView_GetCheckState(list, 0));

    // Checked in another order than the file's.
    ListView_SetCheckState(list, 2, TRUE);
    ListView_SetCheckState(list, 0, TRUE);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    EXPECT_EQ((std::vector<int32_t>{0, 2}), info->discQueue);
    EXPECT_EQ(2, info->discsChosen);

    // Back shows every disc unchecked again.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97SELDISCS));
    list = GetDlgItem(CurrentPage(sheet), IDC_DISCS);
    for (int row = 0; row < 4; ++row) EXPECT_FALSE(ListView_GetCheckState(list, row)) << row;
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    for (int page : {IDD_WIZ97_EXPORTIMAGE, IDD_WIZ97_SELECTMP3, IDD_WIZ97_SELECTOP})
      ASSERT_TRUE(Go(sheet, kBack, page));
  });
  EXPECT_EQ(0, result);
}

TEST(WizardSheet, OneDiscRestoreGoesStraightToTheRecorderAndOnToTheEnd) {
  TempDir dir;
  const std::wstring path = dir / L"one.mp3";
  ASSERT_EQ(1u, BackupFiles::Write(path, {{L"Artist", L"Only"}}).size());
  CWizardInfo info;
  info->resultMessage = L"left from before";
  // The restore fails with a text of its own.
  auto failing = [](const CWizardInfo&) {
    return std::make_unique<ScriptedJob>(false, true, L"The restore failed here");
  };
  RunSheet(
      info,
      [&](HWND sheet) {
        GoToOperation(sheet, IDC_OP_RESTORE);
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTMP3));
        TypeBackupFile(sheet, path);
        // The image goes beside the backup: files of its default name in My
        // Documents, left there by other runs, would be asked about first. The
        // job fails: the queue stays empty and the progress page offers Back
        // and Next, on to the end with the job's text.
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
        HWND paths = GetDlgItem(CurrentPage(sheet), IDC_IMAGE_PATH);
        SendMessageW(paths, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetWindowTextW(PageSheet::ComboEdit(paths), (dir / L"one.cue").c_str());
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
        EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
        EXPECT_TRUE(info->discQueue.empty());
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_COMPLETE));
        EXPECT_EQ(L"The restore failed here", Text(GetDlgItem(CurrentPage(sheet), IDC_RESULT)));
        EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_FINISH));
        ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTOP));
        EXPECT_EQ(BST_CHECKED,
                  SendMessageW(GetDlgItem(CurrentPage(sheet), IDC_OP_RESTORE), BM_GETCHECK, 0, 0));
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTMP3));
        ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
        ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTMP3));
      },
      failing);
  EXPECT_EQ(OpRestore, info->operation);
}

TEST(WizardSheet, AddsAboutToTheSystemMenuAndAnswersTheSystemsQuestions) {
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    EXPECT_EQ(L"Velmora TAVRIN Wizard...", Text(sheet));
    HMENU menu = GetSystemMenu(sheet, FALSE);
    wchar_t item[64] = L"";
    GetMenuStringW(menu, IDM_ABOUT, item, 64, MF_BYCOMMAND);
    EXPECT_STREQ(L"About TAVRIN", item);
    // The about box over the sheet; its link takes the mouse and is blue.
    PostMessageW(sheet, WM_SYSCOMMAND, IDM_ABOUT, 0);
    HWND about = WaitForDialog(GetCurrentProcessId(), L"About Velmora TAVRIN");
    ASSERT_NE(nullptr, about);
    EXPECT_EQ(GetParent(about), sheet);
    EXPECT_EQ(L"TAVRIN Version 1.0.117.0\nCopyright (C) Velmora. All rights reserved.",
              Text(GetDlgItem(about, IDC_ABOUT_TEXT)));
    HWND link = GetDlgItem(about, IDC_WEBLINK);
    EXPECT_EQ(HTCLIENT, SendMessageW(link, WM_NCHITTEST, 0, 0));
    EXPECT_EQ(HTTRANSPARENT, SendMessageW(GetDlgItem(about, IDC_ABOUT_TEXT), WM_NCHITTEST, 0, 0));
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_NE(0, SendMessageW(about, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(link)));
    EXPECT_EQ(RGB(0, 0, 0xFF), GetTextColor(dc));
    EXPECT_EQ(TRANSPARENT, GetBkMode(dc));
    DeleteDC(dc);
    PostMessageW(about, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));

    EXPECT_TRUE(SendMessageW(sheet, WM_QUERYENDSESSION, 0, 0));
    DEV_BROADCAST_VOLUME volume = {sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1 << 3, 0};
    EXPECT_EQ(0, SendMessageW(sheet, WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                              reinterpret_cast<LPARAM>(&volume)));

    // The exterior page comes back to its place after an interior page.
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTOP));
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_WELCOME));
    RECT line;
    GetWindowRect(GetDlgItem(sheet, 0x3026), &line);
    MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&line), 2);
    EXPECT_TRUE(WaitFor([&] {
      RECT page;
      GetWindowRect(CurrentPage(sheet), &page);
      MapWindowPoints(nullptr, sheet, reinterpret_cast<POINT*>(&page), 2);
      return page.left == 0 && page.top == 0 && page.bottom == line.top;
    }));
  });
}

TEST(WizardSheet, ControlsCarryTheirHelpIds) {
  CWizardInfo info;
  RunSheet(info, [&](HWND sheet) {
    auto helpId = [&](int control) {
      return GetWindowContextHelpId(GetDlgItem(CurrentPage(sheet), control));
    };
    EXPECT_EQ(0u, helpId(IDC_TITLE));  // the welcome page has none
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTOP));
    EXPECT_EQ(0x80D003FBu, helpId(IDC_OP_BACKUP));
    PostMessageW(sheet, PSM_SETCURSELID, 0, IDD_WIZ97_TRACKEDITOR);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_TRACKEDITOR));
    EXPECT_EQ(MakeHelpId(201, 1201), helpId(1201));
    EXPECT_EQ(0u, helpId(1202));
    EXPECT_EQ(MakeHelpId(206, IDC_ALBUM), helpId(IDC_ALBUM));
  });
}

// The ids the help file has a pop-up text for.
std::set<DWORD> PopUpIds() {
  std::ifstream in(TAVRIN_HELP_CONTEXT);
  std::set<DWORD> ids;
  for (std::string line; std::getline(in, line);)
    if (line.rfind(".topic ", 0) == 0) ids.insert(std::stoul(line.substr(7)));
  return ids;
}

TEST(WizardSheet, TheHelpFileHasAPopUpForEveryHelpId) {
  const std::set<DWORD> texts = PopUpIds();
  ASSERT_FALSE(texts.empty()) << TAVRIN_HELP_CONTEXT;
  // The sheet's buttons and the track editor's columns, formed when asked.
  for (DWORD id : std::initializer_list<DWORD>{0x80003023u, 0x80003024u, 0x80003025u, 0x80000002u,
                                               0x80000009u, MakeHelpId(206, 1101),
                                               MakeHelpId(206, 1201), MakeHelpId(206, 1301)})
    EXPECT_TRUE(texts.count(id)) << std::hex << id;
  CWizardInfo info;
  // The progress page shows while a job runs.
  auto job = [](const CWizardInfo&) { return std::make_unique<ScriptedJob>(true, false, L""); };
  RunSheet(
      info,
      [&](HWND sheet) {
        for (int page : {107, 208, 204, 209, 206, 205, 211, 212, 210, 215, 213, 108, 203}) {
          PostMessageW(sheet, PSM_SETCURSELID, 0, page);
          ASSERT_TRUE(WaitForPage(sheet, page));
          for (HWND c = GetWindow(CurrentPage(sheet), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            const DWORD id = GetWindowContextHelpId(c);
            if (id) {
              EXPECT_TRUE(texts.count(id)) << page << " " << GetDlgCtrlID(c);
            }
          }
        }
      },
      job);
}

}  // namespace

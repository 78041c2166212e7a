// Starts the program beside this test and walks its wizard the way a user
// would, from this separate process.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "tests/engine/jobs/BackupMaker.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/pages/SelectRecorderPage.h"
#include "wizard/pages/SelectSourceDrivePage.h"
#include "wizard/resources/resource.h"

using namespace SheetDriver;

namespace {

std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::wstring SettingsFile() {
  wchar_t folder[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
  return std::wstring(folder) + L"\\Velmora\\TAVRIN.xml";
}

std::wstring HelpLog() { return ProgramFolder() + L"hhctrl.log"; }

std::size_t LogLines() {
  const std::string log = ReadFile(HelpLog());
  return static_cast<std::size_t>(std::count(log.begin(), log.end(), '\n'));
}

// The program, started with the given arguments, and its sheet.
class Wizard : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // Wine prefers its own help viewer to one beside the program; the
    // program is told to take the stand-in (a Wine setting, not a Windows one).
    HKEY key = nullptr;
    ASSERT_EQ(
        ERROR_SUCCESS,
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Tavrin.exe\\DllOverrides",
                        0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
    const wchar_t order[] = L"native,builtin";
    RegSetValueExW(key, L"hhctrl.ocx", 0, REG_SZ, reinterpret_cast<const BYTE*>(order),
                   sizeof(order));
    RegCloseKey(key);
    // The test's language file is made for 1033; another interface language
    // gets a copy in its own folder.
    LANGID language = GetUserDefaultUILanguage();
    if ((language & 0x3FF) == 0) language = GetSystemDefaultUILanguage();
    if (language != 1033) {
      const std::wstring folder = ProgramFolder() + std::to_wstring(language) + L"\\";
      CreateDirectoryW(folder.c_str(), nullptr);
      for (const wchar_t* file : {L"TAVRIN.xml", L"TAVRIN.chm"})
        CopyFileW((ProgramFolder() + L"1033\\" + file).c_str(), (folder + file).c_str(), FALSE);
    }
  }
  // The settings file other tests may have left is put back afterwards.
  void SetUp() override {
    earlier_ = ReadFile(SettingsFile());
    DeleteFileW(SettingsFile().c_str());
    DeleteFileW(HelpLog().c_str());
  }
  void TearDown() override {
    if (process_.hProcess) {
      if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, ScaledMs(5000));
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
    }
    DeleteFileW(SettingsFile().c_str());
    if (!earlier_.empty()) std::ofstream(SettingsFile().c_str(), std::ios::binary) << earlier_;
  }

  void Start(const std::wstring& arguments = L"") {
    std::wstring command = L"\"" + ProgramFolder() + L"Tavrin.exe\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    // Without a window manager a window shown active takes seconds to go.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNOACTIVATE;
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               ProgramFolder().c_str(), &startup, &process_));
    sheet_ = WaitForDialog(process_.dwProcessId, L"", true);
    ASSERT_NE(nullptr, sheet_);
    ASSERT_TRUE(WaitForPage(sheet_, IDD_WIZ97_WELCOME));
  }

  DWORD ExitCode() {
    if (WaitForSingleObject(process_.hProcess, ScaledMs(60000)) != WAIT_OBJECT_0) return 0xDEAD;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
  }

  // A control's text of the page shown, asked of the control: GetWindowText
  // reads only the caption of another process's window, never an edit's text.
  std::wstring PageText(int control) {
    wchar_t text[1024] = L"";
    SendMessageW(GetDlgItem(CurrentPage(sheet_), control), WM_GETTEXT, 1024,
                 reinterpret_cast<LPARAM>(text));
    return text;
  }

  void ChooseOperation(int button) {
    ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTOP));
    SendMessageW(GetDlgItem(CurrentPage(sheet_), button), BM_CLICK, 0, 0);
  }

  // Types a path into a page's combo box with an edit field.
  void TypePath(int combo, const std::wstring& path) {
    HWND box = GetDlgItem(CurrentPage(sheet_), combo);
    HWND edit = reinterpret_cast<HWND>(SendMessageW(box, CBEM_GETEDITCONTROL, 0, 0));
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  }

  // Types the path of a small backup file into the backup-file page.
  void TypeBackupFile() {
    const std::vector<BackupMaker::DiscPlan> plans = {{{0, 300}, 500, 0, {440, 880}}};
    const std::vector<std::vector<unsigned char>> audio = {BackupMaker::EncodeDisc(plans[0])};
    const std::wstring path = dir_ / L"backup.mp3";
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      ASSERT_TRUE(BackupMaker::WriteBackup(path, BackupMaker::DescribeDiscs(plans, audio), audio));
    }
    TypePath(IDC_BACKUP_FILE, path);
  }

  // Next on the source-drive page once the disc's lookup has ended (the
  // program has no online plug-in beside it, so it finds nothing).
  void GoOnceLookedUp(int page) {
    ASSERT_TRUE(WaitFor([&] {
      if (CurrentPageId(sheet_) == IDD_WIZ97_SELECTSOURCEDRIVE) Press(sheet_, kNext);
      Sleep(100);
      return CurrentPageId(sheet_) == page;
    })) << "to "
        << page;
  }

  // The source-drive page's artist and title of the disc.
  bool WaitForLabels(const std::wstring& artist, const std::wstring& title) {
    return WaitFor(
        [&] { return PageText(IDC_DISC_ARTIST) == artist && PageText(IDC_DISC_TITLE) == title; });
  }

  // Types a text into a control of the page shown.
  void TypeText(int control, const std::wstring& text) {
    SendMessageW(GetDlgItem(CurrentPage(sheet_), control), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(text.c_str()));
  }

  // The shown page's refresh after its activation or a volume change, taken
  // at once: the page then sees a changed drive only when the sheet tells it.
  void TakeRefresh(UINT_PTR timer) { SendMessageW(CurrentPage(sheet_), WM_TIMER, timer, 0); }

  // What the system tells the program's window when a disc goes into a drive
  // or comes out; handled before the call returns.
  void Volume(WPARAM event, wchar_t letter) {
    DEV_BROADCAST_VOLUME volume = {sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1u << (letter - L'A'), 0};
    SendMessageW(sheet_, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&volume));
  }

  // Starts a backup of the disc in the drive, on to the track editor, which
  // comes since nothing knows the disc.
  void BackUpToTheTrackEditor() {
    ChooseOperation(IDC_OP_BACKUP);
    ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTSOURCEDRIVE));
    GoOnceLookedUp(IDD_WIZ97_TRACKEDITOR);
  }

  // Walks forward through the pages and back again.
  void Walk(const std::vector<int>& road) {
    for (std::size_t i = 1; i < road.size(); ++i)
      ASSERT_TRUE(Go(sheet_, kNext, road[i])) << "to " << road[i];
  }

  // Backs the disc in drive E up into file, from the welcome page to the
  // last one.
  void BackUpTheDiscTo(const std::wstring& file) {
    ASSERT_NO_FATAL_FAILURE(BackUpToTheTrackEditor());
    Walk({IDD_WIZ97_TRACKEDITOR, IDD_WIZ97_SELECTDESTFILE});
    TypePath(IDC_DEST_FILE, file);
    Walk({IDD_WIZ97_SELECTDESTFILE, IDD_WIZ97_ADDIMAGE, IDD_WIZ97_PROGRESS, IDD_WIZ97_COMPLETE});
  }

  PROCESS_INFORMATION process_ = {};
  HWND sheet_ = nullptr;
  std::string earlier_;
  TempDir dir_;
};

TEST_F(Wizard, ShowsTheTranslatedTextsAndTheVersion) {
  Start();
  // The test's language file has its own wording for these.
  EXPECT_EQ(L"Velmora TAVRIN Assistent", Text(sheet_));
  EXPECT_EQ(L"Willkommen beim TAVRIN-Assistenten", PageText(IDC_TITLE));
  EXPECT_EQ(L"TAVRIN 1.0.117\nHergestellt von Velmora %s %n", PageText(IDC_COPYRIGHT));
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_NEXT));

  // The system menu's About entry.
  PostMessageW(sheet_, WM_SYSCOMMAND, IDM_ABOUT, 0);
  HWND about = WaitForDialog(process_.dwProcessId, L"Über Velmora TAVRIN");
  ASSERT_NE(nullptr, about);
  EXPECT_EQ(L"TAVRIN Version 1.0.117.0 %n %s\nVelmora", Text(GetDlgItem(about, IDC_ABOUT_TEXT)));
  EXPECT_EQ(L"https://www.velmora.com/", Text(GetDlgItem(about, IDC_WEBLINK)));
  PostMessageW(about, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(about); }));

  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
}

TEST_F(Wizard, WalksEachOperationsPagesAndCancelSavesNothing) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  Start(L"--ignored /arguments");
  ChooseOperation(IDC_OP_BACKUP);
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTSOURCEDRIVE));
  // Without texts for the disc the track editor comes next.
  GoOnceLookedUp(IDD_WIZ97_TRACKEDITOR);
  Walk({IDD_WIZ97_TRACKEDITOR, IDD_WIZ97_SELECTDESTFILE});
  TypePath(IDC_DEST_FILE, dir_ / L"walk.mp3");
  // The disc is backed up; then the result.
  Walk({IDD_WIZ97_SELECTDESTFILE, IDD_WIZ97_ADDIMAGE, IDD_WIZ97_PROGRESS, IDD_WIZ97_COMPLETE});
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_BACK | PSWIZB_FINISH));
  EXPECT_NE(std::wstring::npos, PageText(IDC_RESULT).find(L"walk.mp3"));
  // Back from the end starts again at the operation page; the texts typed
  // for the disc now pass the track editor by.
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTOP));
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTSOURCEDRIVE));
  GoOnceLookedUp(IDD_WIZ97_SELECTDESTFILE);
  TypePath(IDC_DEST_FILE, dir_ / L"walk again.mp3");
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_ADDIMAGE));
  for (int page : {IDD_WIZ97_SELECTDESTFILE, IDD_WIZ97_SELECTSOURCEDRIVE, IDD_WIZ97_SELECTOP})
    ASSERT_TRUE(Go(sheet_, kBack, page));

  SendMessageW(GetDlgItem(CurrentPage(sheet_), IDC_OP_EXTRACT), BM_CLICK, 0, 0);
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTMP3));
  TypeBackupFile();
  Walk({IDD_WIZ97_SELECTMP3, IDD_WIZ97_SELECTTRACKS});
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTMP3));
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTOP));
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTMP3));
  // The file chosen is the newest recent one now.
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTTRACKS));
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTMP3));
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTOP));
  // The choice made last is kept.
  EXPECT_EQ(BST_CHECKED,
            SendMessageW(GetDlgItem(CurrentPage(sheet_), IDC_OP_EXTRACT), BM_GETCHECK, 0, 0));
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_WELCOME));

  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
  const std::string settings = ReadFile(SettingsFile());
  for (const char* value :
       {"Quality", "NameFormat", "mruBackup", "mruExport", "mruPics", "mruDiscImage"})
    EXPECT_EQ(std::string::npos, settings.find(value)) << value << " in\n" << settings;
}

// A drive without a disc: the recorder's description without a medium.
std::string EmptyDrive(char letter) {
  return std::string("[drive]\nid = VD-") + letter + "\nvolumes = " + letter + ":\\\n";
}

TEST_F(Wizard, TheSourceDrivePageProbesTheDatabaseHostAndSeesDiscsComeAndGo) {
  LoopbackHttpServer server;
  server.Hold();  // the database host takes the request and never answers
  SetEnvironmentVariableW(L"TAVRIN_TEST_HTTP_PORT", std::to_wstring(server.port()).c_str());
  VirtualDriveSetup drives;
  drives.Describe(EmptyDrive('E'));
  Start();
  SetEnvironmentVariableW(L"TAVRIN_TEST_HTTP_PORT", nullptr);
  ChooseOperation(IDC_OP_BACKUP);
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTSOURCEDRIVE));
  ASSERT_TRUE(WaitFor([&] { return server.requests().size() == 1; }));
  EXPECT_EQ("GET / HTTP/1.1", server.requests()[0].line);
  EXPECT_EQ("Velmora Hollick/1.1 TAVRIN/1.0.117.0", server.requests()[0].userAgent);

  // While the request waits the page follows the drive: the sheet hands it
  // the volume's arrival and removal.
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_BACK));
  const UINT_PTR refresh = CWizardSelectSourceDrivePage::kRefreshTimer;
  TakeRefresh(refresh);
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  EXPECT_EQ(L"", PageText(IDC_DISC_ARTIST));
  Volume(DBT_DEVICEARRIVAL, L'E');
  EXPECT_EQ(L"Unknown", PageText(IDC_DISC_ARTIST));
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_BACK | PSWIZB_NEXT));
  TakeRefresh(refresh);
  drives.Describe(EmptyDrive('E'));
  EXPECT_EQ(L"Unknown", PageText(IDC_DISC_ARTIST));
  Volume(DBT_DEVICEREMOVECOMPLETE, L'E');
  EXPECT_EQ(L"", PageText(IDC_DISC_ARTIST));
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_BACK));
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  Volume(DBT_DEVICEARRIVAL, L'E');
  GoOnceLookedUp(IDD_WIZ97_TRACKEDITOR);
  EXPECT_EQ(1u, server.requests().size());

  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
}

TEST_F(Wizard, TheRecorderPageSeesDiscsComeAndGo) {
  VirtualDriveSetup drives;
  drives.Describe(EmptyDrive('E'));
  Start();
  ChooseOperation(IDC_OP_RESTORE);
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTMP3));
  TypeBackupFile();
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTRECORDER));
  // The refresh after the activation would choose the disc image again.
  const UINT_PTR refresh = CWizardSelectRecorderPage::kRefreshTimer;
  TakeRefresh(refresh);
  // The virtual recorder writes raw (its default), so no message says otherwise.
  HWND recorders = GetDlgItem(CurrentPage(sheet_), IDC_RECORDERS);
  ASSERT_EQ(2, SendMessageW(recorders, CB_GETCOUNT, 0, 0));
  SendMessageW(recorders, CB_SETCURSEL, 1, 0);
  SendMessageW(CurrentPage(sheet_), WM_COMMAND, MAKEWPARAM(IDC_RECORDERS, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(recorders));
  EXPECT_EQ(L"No or invalid disc", PageText(IDC_MEDIA_STATUS));

  // The sheet hands the page the volume's arrival and removal; without a
  // disc to write the choice goes back to the disc image.
  drives.Describe(EmptyDrive('E') + "medium = cdr\ncapacity = 79:59:74\n");
  EXPECT_EQ(L"No or invalid disc", PageText(IDC_MEDIA_STATUS));
  Volume(DBT_DEVICEARRIVAL, L'E');
  EXPECT_EQ(L"valid empty recordable CD", PageText(IDC_MEDIA_STATUS));
  EXPECT_EQ(1, SendMessageW(recorders, CB_GETCURSEL, 0, 0));
  TakeRefresh(refresh);
  drives.Describe(EmptyDrive('E'));
  EXPECT_EQ(L"valid empty recordable CD", PageText(IDC_MEDIA_STATUS));
  Volume(DBT_DEVICEREMOVECOMPLETE, L'E');
  EXPECT_EQ(0, SendMessageW(recorders, CB_GETCURSEL, 0, 0));
  EXPECT_EQ(L"", PageText(IDC_MEDIA_STATUS));

  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
}

// Where the walk leaves its backup for the host's check of its tag
// (check-typed-backup.py).
std::wstring TypedBackupPath() {
  CreateDirectoryW((ProgramFolder() + L"typed-walk").c_str(), nullptr);
  const std::wstring path = ProgramFolder() + L"typed-walk\\typed.mp3";
  DeleteFileW(path.c_str());
  return path;
}

// The track editor's own filling ("Track n", no artist, no album) is not the
// user's: Back and Next show the editor again. What the user typed is kept,
// passes the editor by, and goes into the backup.
TEST_F(Wizard, TheBackupCarriesTheTextsTypedIntoTheTrackEditor) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  Start();
  ASSERT_NO_FATAL_FAILURE(BackUpToTheTrackEditor());
  EXPECT_EQ(L"Track 2", PageText(IDC_TRACK_TITLE + 1));
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
  EXPECT_TRUE(WaitForLabels(L"Unknown", L"Unknown"));
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_TRACKEDITOR));

  TypeText(IDC_ARTIST, L"Typed Artist");
  TypeText(IDC_ALBUM, L"Typed Album");
  TypeText(IDC_TRACK_TITLE + 1, L"Second Song");
  ASSERT_TRUE(Go(sheet_, kBack, IDD_WIZ97_SELECTSOURCEDRIVE));
  EXPECT_TRUE(WaitForLabels(L"Typed Artist", L"Typed Album"));
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTDESTFILE));
  TypePath(IDC_DEST_FILE, TypedBackupPath());
  Walk({IDD_WIZ97_SELECTDESTFILE, IDD_WIZ97_ADDIMAGE, IDD_WIZ97_PROGRESS, IDD_WIZ97_COMPLETE});
  EXPECT_TRUE(WaitForButtons(sheet_, PSWIZB_BACK | PSWIZB_FINISH));
  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
}

TEST_F(Wizard, FinishSavesTheSettings) {
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  Start();
  ASSERT_NO_FATAL_FAILURE(BackUpTheDiscTo(dir_ / L"finish.mp3"));
  EXPECT_NE(std::wstring::npos, PageText(IDC_RESULT).find(L"finish.mp3"));
  ASSERT_TRUE(Press(sheet_, kFinish));
  EXPECT_EQ(1u, ExitCode());
  const std::string settings = ReadFile(SettingsFile());
  EXPECT_NE(std::string::npos, settings.find("<Quality type=\"int\" value=\"255\"")) << settings;
  EXPECT_NE(std::string::npos, settings.find("<NameFormat type=\"int\" value=\"0\"")) << settings;
  for (const char* list : {"mruBackup", "mruExport", "mruPics", "mruDiscImage"})
    EXPECT_NE(std::string::npos, settings.find(std::string("<") + list + ">")) << list;
}

// A backup file whose name holds a byte-order mark, both noncharacters and a
// character beyond 16 bits: the next start offers it as the recent one.
TEST_F(Wizard, TheNextRunOffersARecentFileWhateverItsName) {
  const std::wstring backup = dir_ / L"disc \xfeff\xfffe\xffff \xd83c\xdfb5.mp3";
  DeleteFileW((SettingsFile() + L".bad").c_str());
  VirtualDriveSetup drives;
  drives.Describe(VirtualDisc::ToneDisc("VD-E", 'E', {60, 60}));
  Start();
  ASSERT_NO_FATAL_FAILURE(BackUpTheDiscTo(backup));
  ASSERT_TRUE(Press(sheet_, kFinish));
  ASSERT_EQ(1u, ExitCode());
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  process_ = {};

  Start();
  ChooseOperation(IDC_OP_EXTRACT);
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTMP3));
  // Browse, then the recent file, chosen and read: the way to its tracks is open.
  EXPECT_EQ(2, SendMessageW(GetDlgItem(CurrentPage(sheet_), IDC_BACKUP_FILE), CB_GETCOUNT, 0, 0));
  EXPECT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTTRACKS)) << ReadFile(SettingsFile());
  EXPECT_EQ("", ReadFile(SettingsFile() + L".bad"));
  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
}

TEST_F(Wizard, HelpOpensEachPagesTopicAndTheButtonsPopUps) {
  Start();
  ASSERT_TRUE(Press(sheet_, kHelp));
  ChooseOperation(IDC_OP_RESTORE);
  ASSERT_TRUE(Press(sheet_, kHelp));
  ASSERT_TRUE(Go(sheet_, kNext, IDD_WIZ97_SELECTMP3));
  ASSERT_TRUE(Press(sheet_, kHelp));
  ASSERT_TRUE(WaitFor([&] { return LogLines() == 3; }));

  // F1 on a button of the sheet: the pop-up text of the button. The viewer
  // shows none, and that is told once.
  auto f1 = [&](int button) {
    HELPINFO help = {sizeof(help), HELPINFO_WINDOW, button, GetDlgItem(sheet_, button), 0, {}};
    SendMessageW(sheet_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  };
  std::thread first(f1, kNext);
  HWND error = WaitForDialog(process_.dwProcessId, L"Error");
  ASSERT_NE(nullptr, error);
  EXPECT_EQ(L"Unable to show context help", Text(GetDlgItem(error, 0xFFFF)));
  PostMessageW(error, WM_COMMAND, IDOK, 0);
  first.join();
  f1(kBack);  // no second box

  // F1 in the track editor: the first row has its own texts, the later rows
  // share those of their column; a control without texts opens the page.
  PostMessageW(sheet_, PSM_SETCURSELID, 0, IDD_WIZ97_TRACKEDITOR);
  ASSERT_TRUE(WaitForPage(sheet_, IDD_WIZ97_TRACKEDITOR));
  auto f1OnPage = [&](int control, DWORD contextId) {
    HELPINFO help = {sizeof(help), HELPINFO_WINDOW,
                     control,      GetDlgItem(CurrentPage(sheet_), control),
                     contextId,    {}};
    SendMessageW(sheet_, WM_HELP, 0, reinterpret_cast<LPARAM>(&help));
  };
  f1OnPage(1201, 0x80C904B1);
  f1OnPage(1202, 0);
  f1OnPage(1303, 0);
  f1OnPage(IDC_STATIC, 0);  // a label

  ASSERT_TRUE(Press(sheet_, kCancel));
  EXPECT_EQ(0u, ExitCode());
  EXPECT_EQ(
      "0|::/Welcome.html>$global_main\n"
      "0|::/SelectOp.html>$global_main\n"
      "0|::/SelSourceFile.html>$global_main\n"
      "17|::/Context.txt|12324|0x80003024\n"
      "17|::/Context.txt|12323|0x80003023\n"
      "17|::/Context.txt|1201|0x80C904B1\n"
      "17|::/Context.txt|1202|0x80CE04B1\n"
      "17|::/Context.txt|1303|0x80CE0515\n"
      "0|::/EditTracks.html>$global_main\n",
      ReadFile(HelpLog()));
}

}  // namespace

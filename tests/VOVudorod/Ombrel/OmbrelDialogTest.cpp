// The e-mail dialog that the online plug-in shows before a submission, driven
// from a second thread as a user would (needs a display).
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "tests/VOVudorod/Ombrel/OmbrelHost.h"
#include "tests/common/LanguageFolders.h"
#include "tests/support/TimeScale.h"

namespace {

const int kEmailEdit = 1001;
const DWORD kWaitForDialog = 60000;
const wchar_t kCaption[] = L"Daten an die Internet-CD-Datenbank senden";

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) != L"#32770" || TextOf(window) != kCaption || !IsWindowVisible(window))
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The dialog once the thread shows it; other test programs on the display show
// theirs too.
HWND WaitForDialog(DWORD thread) {
  for (DWORD waited = 0; waited < ScaledMs(kWaitForDialog); waited += 10) {
    HWND dialog = nullptr;
    EnumThreadWindows(thread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) return dialog;
    Sleep(10);
  }
  return nullptr;
}

// What the driver saw of the dialog when it came up.
struct Shown {
  bool appeared = false;
  std::vector<std::wstring> texts;  // every control's, in creation order
  std::wstring address;
  RECT frame{};
  HWND edit = nullptr;
  HWND focus = nullptr;  // the dialog thread's keyboard focus
};

BOOL CALLBACK CollectText(HWND child, LPARAM texts) {
  reinterpret_cast<std::vector<std::wstring>*>(texts)->push_back(TextOf(child));
  return TRUE;
}

// Runs the dialog on this thread as Configure does, while act works it from
// another thread; Configure's result.
int32_t RunDialog(const PluginHost& host, HWND owner, Shown& shown,
                  const std::function<void(HWND)>& act) {
  const DWORD thread = GetCurrentThreadId();
  std::thread driver([&] {
    HWND dialog = WaitForDialog(thread);
    if (!dialog) return;
    shown.appeared = true;
    EnumChildWindows(dialog, CollectText, reinterpret_cast<LPARAM>(&shown.texts));
    shown.edit = GetDlgItem(dialog, kEmailEdit);
    shown.address = TextOf(shown.edit);
    GetWindowRect(dialog, &shown.frame);
    GUITHREADINFO gui{};
    gui.cbSize = sizeof gui;
    if (GetGUIThreadInfo(thread, &gui)) shown.focus = gui.hwndFocus;
    act(dialog);
  });
  // The program passes two more arguments, which cdecl lets the plug-in ignore.
  using Configure3 = int32_t (*)(void*, int, int);
  const int32_t result =
      reinterpret_cast<Configure3>(reinterpret_cast<void*>(host.configure))(owner, 0, 1);
  driver.join();
  return result;
}

void Press(HWND dialog, int id) {
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// Types the address and presses Submit; true when the dialog stayed open.
bool Submit(HWND dialog, const std::wstring& address) {
  SetDlgItemTextW(dialog, kEmailEdit, address.c_str());
  Press(dialog, IDOK);
  return IsWindow(dialog) && IsWindowVisible(dialog);
}

class OmbrelDialog : public OmbrelHostTest {
 protected:
  void SetUp() override {
    wchar_t display[256];
    if (!GetEnvironmentVariableW(L"DISPLAY", display, 256)) GTEST_SKIP() << "no display";
    OmbrelHostTest::SetUp();
    // The program's language is German: the dialog speaks it too.
    const DWORD german = 1031;
    lang_.SetRegistryLanguage(REG_DWORD, &german, sizeof german);
    lang_.PutLanguage(1031, {{"OMBREL_EXPLANATION", "Eine Erkl\xc3\xa4rung"}},
                      "<OMBREL_CONFIGURE name=\"Daten an die Internet-CD-Datenbank senden\">\n"
                      "<SUBMIT name=\"Senden\"/>\n<CANCEL name=\"Abbrechen\"/>\n"
                      "<OMBREL_EMAIL name=\"E-Mail-Adresse:\"/>\n</OMBREL_CONFIGURE>\n");
    owner_ = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100,
                             500, 400, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(owner_);
  }
  void TearDown() override {
    if (owner_) DestroyWindow(owner_);
    OmbrelHostTest::TearDown();
  }

  // Submission as the program makes it: every entry, the dialog, and Submit
  // only when the user went ahead; true when something was submitted.
  bool SubmitThroughTheDialog(Shown& shown, const std::function<void(HWND)>& act) {
    DbSessionHandle s = Open();
    SetTexts(s);
    const int32_t configured = RunDialog(*host_, owner_, shown, act);
    const bool submitted = configured == 0 && host_->submit(s, -1) == 0;
    host_->closeSession(s);
    return submitted;
  }

  void ExpectDeclined(const std::function<void(HWND)>& decline) {
    CddbServer server(Script(""));
    ASSERT_TRUE(server.started());
    Shown shown;
    EXPECT_FALSE(SubmitThroughTheDialog(shown, decline));
    EXPECT_TRUE(shown.appeared);
    EXPECT_TRUE(server.Requests().empty());
    EXPECT_EQ(0x1Bu, host_->getConfiguration());
    EXPECT_EQ(std::string::npos, ReadBytes(settingsFile_).find("typed@"));
  }

  LanguageFolders lang_;
  HWND owner_ = nullptr;
};

TEST_F(OmbrelDialog, ConfirmedAddressIsKeptAndSubmittedWith) {
  CddbServer server(Script(""));
  ASSERT_TRUE(server.started());
  EXPECT_EQ(0x1Bu, host_->getConfiguration());

  std::vector<bool> stayed;
  Shown shown;
  EXPECT_TRUE(SubmitThroughTheDialog(shown, [&](HWND dialog) {
    for (const wchar_t* refused : {L"", L"someone@example", L"some.one@example"})
      stayed.push_back(Submit(dialog, refused));
    stayed.push_back(Submit(dialog, L"me @mail.example.org"));
  }));
  ASSERT_TRUE(shown.appeared);
  EXPECT_EQ((std::vector<bool>{true, true, true, false}), stayed);
  EXPECT_EQ((std::vector<std::wstring>{L"Eine Erkl\x00e4rung", L"Senden", L"Abbrechen",
                                       L"E-Mail-Adresse:", L"tavrin-submit@velmora.net"}),
            shown.texts);
  EXPECT_EQ(L"tavrin-submit@velmora.net", shown.address);  // nothing stored yet
  EXPECT_NE(shown.edit, shown.focus);                      // the dialog places no focus
  // centred on its owner
  RECT owner;
  GetWindowRect(owner_, &owner);
  EXPECT_NEAR((owner.left + owner.right) / 2, (shown.frame.left + shown.frame.right) / 2, 1);
  EXPECT_NEAR((owner.top + owner.bottom) / 2, (shown.frame.top + shown.frame.bottom) / 2, 1);

  EXPECT_EQ(0x1Fu, host_->getConfiguration());
  const auto requests = server.Requests();
  ASSERT_EQ(3u, requests.size());
  EXPECT_NE(std::string::npos,
            server.SubmissionHeaders(1).find("User-Email: me @mail.example.org\n"));
  EXPECT_NE(std::string::npos, ReadBytes(settingsFile_).find("me @mail.example.org"));

  // The program's next session, with the library loaded anew, offers the kept
  // address; declined, nothing is sent.
  Load();
  Shown again;
  EXPECT_FALSE(SubmitThroughTheDialog(again, [](HWND dialog) { Press(dialog, IDCANCEL); }));
  EXPECT_EQ(L"me @mail.example.org", again.address);
  EXPECT_EQ(3u, server.Requests().size());
}

// Other threads open sessions, which set up the plug-in's settings and language,
// while the dialog stores the address and while the submission reads it.
TEST_F(OmbrelDialog, SessionsOpenedMeanwhileLeaveTheSettingsWhole) {
  CddbServer server(Script(""));
  ASSERT_TRUE(server.started());
  const auto openSessions = [this] {
    const auto work = [this] {
      for (int i = 0; i < 20; ++i) host_->closeSession(Open());
    };
    std::thread other(work);
    work();
    other.join();
  };
  DbSessionHandle s = Open();
  SetTexts(s);
  Shown shown;
  const int32_t configured = RunDialog(*host_, owner_, shown, [&](HWND dialog) {
    std::thread meanwhile(openSessions);
    EXPECT_FALSE(Submit(dialog, L"both@threads.example"));
    meanwhile.join();
  });
  ASSERT_TRUE(shown.appeared);
  EXPECT_EQ(0, configured);
  std::thread meanwhile(openSessions);
  EXPECT_EQ(0, host_->submit(s, -1));
  meanwhile.join();
  host_->closeSession(s);

  EXPECT_NE(std::string::npos,
            server.SubmissionHeaders(1).find("User-Email: both@threads.example\n"));
  const std::string file = ReadBytes(settingsFile_);
  const std::size_t first = file.find("both@threads.example");
  ASSERT_NE(std::string::npos, first);
  EXPECT_EQ(std::string::npos, file.find("both@threads.example", first + 1));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((settingsFile_ + L".bad").c_str()));
  Load();  // a new copy of the plug-in reads the address back
  host_->closeSession(Open());
  EXPECT_EQ(0x1Fu, host_->getConfiguration());
}

// Closing the dialog (its system menu's Close, or Escape) declines like Cancel:
// nothing is stored and nothing is sent.
TEST_F(OmbrelDialog, ClosedDialogCancelsTheSubmission) {
  ExpectDeclined([](HWND dialog) {
    SetDlgItemTextW(dialog, kEmailEdit, L"typed@but.not.sent");
    SendMessageW(dialog, WM_CLOSE, 0, 0);
  });
}

TEST_F(OmbrelDialog, EscapeCancelsTheSubmission) {
  ExpectDeclined([](HWND dialog) {
    SetDlgItemTextW(dialog, kEmailEdit, L"typed@but.not.sent");
    PostMessageW(GetDlgItem(dialog, kEmailEdit), WM_KEYDOWN, VK_ESCAPE, 0);
  });
}

}  // namespace

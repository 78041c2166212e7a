#include "wizard/TaskDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

TaskDialogDesc Question(const std::wstring& title) {
  TaskDialogDesc q;
  q.title = title;
  q.mainInstruction = L"Record on battery power?";
  q.mainIcon = 0xFFFF;
  q.flags = 24;
  q.buttons = {{6, L"Continue\nRecord this disc."}, {7, L"Abort\nTry again later."}};
  q.messageBoxText = L"Select 'Yes' to continue.";
  q.messageBoxType = MB_YESNO | MB_ICONEXCLAMATION;
  return q;
}

std::wstring TextOf(HWND w) {
  wchar_t text[512] = {};
  GetWindowTextW(w, text, 512);
  return text;
}

// Waits on another thread for the dialog of the title, then acts on it.
class DialogDriver {
 public:
  template <typename Act>
  DialogDriver(const std::wstring& title, Act act)
      : thread_([this, title, act] {
          for (int i = 0; i < 500 && !found_; ++i) {
            HWND w = FindWindowW(L"#32770", title.c_str());
            if (w && IsWindowVisible(w)) {
              found_ = true;
              act(w);
              return;
            }
            Sleep(20);
          }
        }) {}
  ~DialogDriver() { thread_.join(); }
  bool found() const { return found_; }

 private:
  std::atomic<bool> found_{false};
  std::thread thread_;
};

// The system's task dialog, found at run time: the button pressed is the
// answer (not the default one, the first).
TEST(TaskDialog, CommandLinksGiveThePressedId) {
  const std::wstring title = L"Task dialog";
  int pressed = 0;
  {
    DialogDriver driver(title, [](HWND w) { PostMessageW(w, TDM_CLICK_BUTTON, 7, 0); });
    pressed = ShowTaskDialog(nullptr, Question(title));
  }
  EXPECT_EQ(pressed, 7);
}

TEST(TaskDialog, ClosingACancellableDialogGivesCancel) {
  const std::wstring title = L"Task dialog closed";
  DialogDriver driver(title, [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); });
  EXPECT_EQ(ShowTaskDialog(nullptr, Question(title)), IDCANCEL);
}

// Without task dialogs, or when showing one fails, the message box asks instead.
TEST(TaskDialog, MessageBoxWhenTaskDialogsAreMissingOrFail) {
  const TaskDialogIndirectProc failing = [](const TASKDIALOGCONFIG*, int*, int*,
                                            BOOL*) -> HRESULT WINAPI { return E_OUTOFMEMORY; };
  struct Row {
    TaskDialogIndirectProc proc;
    int answer;
  } rows[] = {{nullptr, IDYES}, {failing, IDNO}};
  for (const Row& r : rows) {
    const std::wstring title = L"Message box " + std::to_wstring(r.answer);
    std::wstring text;
    int pressed = 0;
    {
      DialogDriver driver(title, [&](HWND w) {
        text = TextOf(GetDlgItem(w, 0xFFFF));
        EXPECT_TRUE(GetDlgItem(w, IDYES));
        EXPECT_TRUE(GetDlgItem(w, IDNO));
        PostMessageW(GetDlgItem(w, r.answer), BM_CLICK, 0, 0);
      });
      pressed = ShowTaskDialog(nullptr, Question(title), r.proc);
    }
    EXPECT_EQ(pressed, r.answer);
    EXPECT_EQ(text, L"Select 'Yes' to continue.");
  }
}

// What the task dialog is given: texts only where they are not empty, the
// icon as a resource id, the buttons in order with the first as default.
TEST(TaskDialog, ConfigurationFollowsTheDescription) {
  static TASKDIALOGCONFIG seen;
  static std::wstring labels[2];
  const TaskDialogIndirectProc record = [](const TASKDIALOGCONFIG* c, int* pressed, int*,
                                           BOOL*) -> HRESULT WINAPI {
    seen = *c;
    for (UINT i = 0; i < c->cButtons && i < 2; ++i) labels[i] = c->pButtons[i].pszButtonText;
    *pressed = 7;
    return S_OK;
  };
  HWND owner =
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  TaskDialogDesc q = Question(L"Battery");
  EXPECT_EQ(ShowTaskDialog(owner, q, record), 7);
  EXPECT_EQ(seen.cbSize, sizeof(TASKDIALOGCONFIG));
  EXPECT_EQ(seen.hwndParent, owner);
  EXPECT_EQ(seen.dwFlags, TDF_ALLOW_DIALOG_CANCELLATION | TDF_USE_COMMAND_LINKS);
  EXPECT_STREQ(seen.pszWindowTitle, L"Battery");
  EXPECT_STREQ(seen.pszMainInstruction, L"Record on battery power?");
  EXPECT_EQ(seen.pszContent, nullptr);  // no content area
  EXPECT_EQ(seen.pszMainIcon, TD_WARNING_ICON);
  ASSERT_EQ(seen.cButtons, 2u);
  EXPECT_EQ(seen.nDefaultButton, 6);
  EXPECT_EQ(labels[0], L"Continue\nRecord this disc.");
  EXPECT_EQ(labels[1], L"Abort\nTry again later.");
  q.mainInstruction.clear();
  q.content = L"More.";
  q.mainIcon = 0;
  ShowTaskDialog(owner, q, record);
  EXPECT_EQ(seen.pszMainInstruction, nullptr);
  EXPECT_STREQ(seen.pszContent, L"More.");
  EXPECT_EQ(seen.pszMainIcon, nullptr);
  DestroyWindow(owner);
}

}  // namespace

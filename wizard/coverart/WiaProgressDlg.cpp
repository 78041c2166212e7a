// The scan's progress dialog: built in memory, run by DialogBoxIndirectParamW
// on a thread of its own so that Cancel is seen while the transfer blocks the
// caller's thread.
#include "wizard/coverart/WiaWrap.h"

#include <commctrl.h>

#include <cstring>
#include <string>

#include "common/Localizer.h"

namespace WiaWrap {

namespace {

constexpr WORD kStatusText = 101;
constexpr WORD kProgressBar = 102;
// Posted by the destructor: the dialog ends itself on its own thread.
constexpr UINT kCloseDialog = WM_APP + 1;

// Writes a dialog template: words, strings and 4-byte alignment.
class TemplateWriter {
 public:
  TemplateWriter(unsigned char* buffer, size_t size) : at_(buffer), end_(buffer + size) {}
  void Word(WORD w) { Put(&w, sizeof w); }
  void Dword(DWORD d) { Put(&d, sizeof d); }
  void Text(const std::wstring& s) { Put(s.c_str(), (s.size() + 1) * sizeof(wchar_t)); }
  void Align() {
    while (reinterpret_cast<uintptr_t>(at_) % 4 && at_ < end_) *at_++ = 0;
  }
  // One control: position and size in dialog units, class by name or atom.
  void Item(DWORD style, short x, short y, short cx, short cy, WORD id, const wchar_t* className,
            WORD classAtom, const std::wstring& text) {
    Align();
    Dword(style);
    Dword(0);
    for (short v : {x, y, cx, cy}) Word(WORD(v));
    Word(id);
    if (className) {
      Text(className);
    } else {
      Word(0xFFFF);
      Word(classAtom);
    }
    Text(text);
    Word(0);  // no creation data
  }

 private:
  void Put(const void* p, size_t n) {
    if (size_t(end_ - at_) < n) return;
    std::memcpy(at_, p, n);
    at_ += n;
  }
  unsigned char* at_;
  unsigned char* end_;
};

// Waits for one of the handles while the thread's own messages are handled.
void PumpUntil(HANDLE* handles, DWORD count) {
  bool quit = false;
  WPARAM quitCode = 0;
  for (;;) {
    const DWORD r = MsgWaitForMultipleObjects(count, handles, FALSE, INFINITE, QS_ALLINPUT);
    if (r != WAIT_OBJECT_0 + count) break;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
        continue;
      }
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (quit) PostQuitMessage(int(quitCode));
}

}  // namespace

CProgressDlg::CProgressDlg(HWND parent, HINSTANCE instance) : parent_(parent), instance_(instance) {
  initialised_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!initialised_) return;
  BuildTemplate();
  thread_ = CreateThread(nullptr, 0, &CProgressDlg::DialogThread, this, 0, nullptr);
  if (thread_) {
    // The dialog may never come (no display): its thread then ends at once.
    HANDLE handles[2] = {initialised_, thread_};
    PumpUntil(handles, 2);
  }
  CloseHandle(initialised_);
  initialised_ = nullptr;
}

CProgressDlg::~CProgressDlg() {
  if (window_) PostMessageW(window_, kCloseDialog, 0, 0);
  if (thread_) {
    PumpUntil(&thread_, 1);
    CloseHandle(thread_);
  }
}

void CProgressDlg::BuildTemplate() {
  TemplateWriter t(template_, sizeof template_);
  t.Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS);
  t.Dword(0);
  t.Word(3);
  for (short v : {0, 0, 200, 50}) t.Word(WORD(v));
  t.Word(0);  // no menu
  t.Word(0);  // the dialog class
  t.Text(Localizer::Translate(L"Scan in Progress...{WIA_PROGRESS}"));
  t.Word(8);
  t.Text(L"MS Shell Dlg");
  t.Item(WS_CHILD | WS_VISIBLE | WS_BORDER, 8, 4, 184, 11, kProgressBar, L"msctls_progress32", 0,
         L"");
  t.Item(WS_CHILD | WS_VISIBLE | SS_CENTER, 8, 20, 184, 8, kStatusText, nullptr, 0x0082,
         Localizer::Translate(L"initializing...{WIA_INIT}"));
  t.Item(WS_CHILD | WS_VISIBLE | BS_CENTER, 75, 32, 50, 14, IDCANCEL, nullptr, 0x0080,
         Localizer::Translate(L"Cancel{CANCEL}"));
}

DWORD WINAPI CProgressDlg::DialogThread(void* self) {
  auto* dialog = static_cast<CProgressDlg*>(self);
  DialogBoxIndirectParamW(dialog->instance_, reinterpret_cast<LPCDLGTEMPLATEW>(dialog->template_),
                          dialog->parent_, &CProgressDlg::DialogProc, LPARAM(dialog));
  return 0;
}

INT_PTR CALLBACK CProgressDlg::DialogProc(HWND window, UINT message, WPARAM w, LPARAM l) {
  switch (message) {
    case WM_INITDIALOG: {
      auto* self = reinterpret_cast<CProgressDlg*>(l);
      SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(self));
      self->window_ = window;
      RECT over = {}, own = {};
      if (!self->parent_ || !GetWindowRect(self->parent_, &over))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &over, 0);
      GetWindowRect(window, &own);
      const int x = over.left + (over.right - over.left - (own.right - own.left)) / 2;
      const int y = over.top + (over.bottom - over.top - (own.bottom - own.top)) / 2;
      SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SendDlgItemMessageW(window, kProgressBar, PBM_SETRANGE32, 0, 100);
      SetEvent(self->initialised_);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(w) == IDCANCEL) {
        auto* self = reinterpret_cast<CProgressDlg*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self) InterlockedIncrement(&self->cancelled_);
        SetDlgItemTextW(window, IDCANCEL, L"...");
        EnableWindow(GetDlgItem(window, IDCANCEL), FALSE);
        return TRUE;
      }
      return FALSE;
    case kCloseDialog:
      EndDialog(window, IDCLOSE);
      return TRUE;
    default:
      return FALSE;
  }
}

HRESULT CProgressDlg::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid != IID_IUnknown) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  *out = static_cast<IUnknown*>(this);
  AddRef();
  return S_OK;
}

ULONG CProgressDlg::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

ULONG CProgressDlg::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return ULONG(left);
}

LONG CProgressDlg::IsCancelled() const { return cancelled_; }

void CProgressDlg::ShowStatus(const wchar_t* text) {
  if (window_) SetDlgItemTextW(window_, kStatusText, text);
}

void CProgressDlg::ShowPercent(LONG percent) {
  if (window_) SendDlgItemMessageW(window_, kProgressBar, PBM_SETPOS, WPARAM(percent), 0);
}

}  // namespace WiaWrap

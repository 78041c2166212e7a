#pragma once
// A wizard sheet of three pages for testing one page in this process: the
// page under test between stand-ins of the pages it leads from and to, made
// from their real templates. The sheet runs modally on the calling thread
// while the test's steps drive it from a second thread.
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <ole2.h>

#include <functional>
#include <string>
#include <thread>
#include <utility>

#include "common/Settings.h"
#include "common/SettingsXmlStore.h"
#include "tests/wizard/ui/FramePage.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Wizard97Sheet.h"

namespace PageSheet {

// Goes on and back to fixed pages (0 stays), with both buttons enabled.
class StandInPage : public CWizardFramePage {
 public:
  StandInPage(const CWizardInfo& info, int id, int next, int back)
      : CWizardFramePage(info, id, L"Stand-in", L""), next_(next), back_(back) {}

 protected:
  int OnWizardNext() override { return next_ ? next_ : -1; }
  int OnWizardBack() override { return back_ ? back_ : -1; }

 private:
  int next_;
  int back_;
};

// What the sheet passes on of the system's messages: a volume's arrival or
// removal, as the program's sheet does.
using DeviceChange = std::function<void(const DEV_BROADCAST_HDR*)>;

class Sheet : public ui::Wizard97Sheet {
 public:
  Sheet(const CWizardInfo& info, ui::WizardPage& before, ui::WizardPage& page,
        ui::WizardPage& after, DeviceChange deviceChange)
      : ui::Wizard97Sheet(IDB_HEADER, IDB_WATERMARK),
        info_(info),
        deviceChange_(std::move(deviceChange)) {
    for (ui::WizardPage* p : {&before, &page, &after}) AddPage(*p);
  }

 private:
  void OnInitialized() override { info_->sheetWindow = Window(); }
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override {
    if (message == WM_DEVICECHANGE && deviceChange_ && lParam) {
      deviceChange_(reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam));
      return 0;
    }
    return ui::Wizard97Sheet::OnMessage(message, wParam, lParam, handled);
  }
  CWizardInfo info_;
  DeviceChange deviceChange_;
};

// Runs the sheet, which starts on `before`; the steps end with Cancel.
inline INT_PTR Run(const CWizardInfo& info, ui::WizardPage& before, ui::WizardPage& page,
                   ui::WizardPage& after, const std::function<void(HWND sheet)>& steps,
                   DeviceChange deviceChange = nullptr) {
  Sheet sheet(info, before, page, after, std::move(deviceChange));
  std::thread driver([&] {
    HWND window = nullptr;
    if (!SheetDriver::WaitFor([&] { return (window = info->sheetWindow) != nullptr; })) return;
    if (SheetDriver::WaitForPage(window, before.Id())) steps(window);
    PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  });
  const INT_PTR result = sheet.DoModal(nullptr);
  driver.join();
  info->sheetWindow = nullptr;
  return result;
}

// The process's own settings and OLE for the page tests.
class Environment {
 public:
  explicit Environment(const std::wstring& name) {
    OleInitialize(nullptr);
    Settings::SetBackend(Settings::BackendXmlFile);
    Settings::SetRoot(L"Velmora\\" + name + L"-" + std::to_wstring(GetCurrentProcessId()));
  }
  ~Environment() {
    DeleteFileW(Settings::XmlStore::FilePath().c_str());
    OleUninitialize();
  }
};

// A dialog that the page opened over the sheet (a browse, save or message
// dialog, a task dialog), once it is there.
inline HWND WaitForDialogOver(HWND sheet, const std::wstring& caption = L"") {
  HWND found = nullptr;
  SheetDriver::WaitFor([&] {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w && !found;
         w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
      HWND owner = GetWindow(w, GW_OWNER);
      if (w == sheet || !owner || GetAncestor(owner, GA_ROOT) != sheet || !IsWindowVisible(w))
        continue;
      if (!caption.empty() && SheetDriver::Text(w) != caption) continue;
      found = w;
    }
    return found != nullptr;
  });
  return found;
}

// What a user's choice in a combo box sends: the selection, then CBN_SELENDOK
// (posted, since the page may open a modal dialog in answer).
inline void Choose(HWND page, int control, int index) {
  HWND combo = GetDlgItem(page, control);
  SendMessageW(combo, CB_SETCURSEL, index, 0);
  PostMessageW(page, WM_COMMAND, MAKEWPARAM(control, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(combo));
}

inline HWND ComboEdit(HWND combo) {
  return reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
}

}  // namespace PageSheet

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "common/Localizer.h"
#include "common/Settings.h"
#include "wizard/Version.h"
#include "wizard/WizardInfo.h"
#include "wizard/WizardSheet.h"

namespace {

// Points the settings and the texts at the program's own, builds the wizard
// state and shows the wizard; the sheet's result. The command line is unused.
INT_PTR Run() {
  // The settings root comes before the localizer reads "Language", and both
  // before the wizard state reads its settings.
  Settings::SetBackend(Settings::BackendXmlFile);
  Settings::SetRoot(std::wstring(L"Velmora\\") + GetProductName());
  Localizer::Init(GetProductName());
  CWizardInfo info;
  CWizardSheet sheet(info);
  return sheet.DoModal(GetActiveWindow());
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  OleInitialize(nullptr);
  DefWindowProcW(nullptr, 0, 0, 0);
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_WIN95_CLASSES | ICC_USEREX_CLASSES |
                                                       ICC_COOL_CLASSES | ICC_NATIVEFNTCTL_CLASS};
  InitCommonControlsEx(&classes);
  const INT_PTR result = Run();
  OleUninitialize();
  return static_cast<int>(result);
}

#include "wizard/pages/WelcomePage.h"

#include <string>

#include "common/Localizer.h"
#include "wizard/Version.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Wizard97Sheet.h"

namespace {

const int kNoticeLimit = 256;

}  // namespace

CWizardWelcomePage::CWizardWelcomePage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_WELCOME) {}

BOOL CWizardWelcomePage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  if (ui::Wizard97Sheet* sheet = ui::Wizard97Sheet::Current()) {
    SendDlgItemMessageW(Window(), IDC_TITLE, WM_SETFONT,
                        reinterpret_cast<WPARAM>(sheet->TitleFont(Window())), TRUE);
    for (int bullet : {IDC_BULLET1, IDC_BULLET2, IDC_BULLET3})
      SendDlgItemMessageW(Window(), bullet, WM_SETFONT,
                          reinterpret_cast<WPARAM>(sheet->BulletFont(Window())), TRUE);
  }
  // The first line names the product and its version, whatever the
  // translation of the notice says.
  wchar_t notice[kNoticeLimit] = L"";
  GetDlgItemTextW(Window(), IDC_COPYRIGHT, notice, kNoticeLimit);
  const std::wstring text =
      std::wstring(GetProductName()) + L" " + std::to_wstring(Version::kMajor) + L"." +
      std::to_wstring(Version::kMinor) + L"." + std::to_wstring(Version::kBuild) + L"\n" + notice;
  SetDlgItemTextW(Window(), IDC_COPYRIGHT, text.c_str());
  return TRUE;
}

int CWizardWelcomePage::OnSetActive() {
  SetWizardButtons(PSWIZB_NEXT);
  return 0;
}

#include "wizard/pages/CompletionPage.h"

#include "common/Localizer.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Wizard97Sheet.h"

CWizardCompletionPage::CWizardCompletionPage(const CWizardInfo& info)
    : CWizardPageBase(info, IDD_WIZ97_COMPLETE) {}

BOOL CWizardCompletionPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  if (ui::Wizard97Sheet* sheet = ui::Wizard97Sheet::Current())
    SendDlgItemMessageW(Window(), IDC_TITLE, WM_SETFONT,
                        reinterpret_cast<WPARAM>(sheet->TitleFont(Window())), TRUE);
  return TRUE;
}

int CWizardCompletionPage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_FINISH);
  // Also an empty result replaces the template's text.
  SetDlgItemTextW(Window(), IDC_RESULT, (*this)->resultMessage.c_str());
  return 0;
}

BOOL CWizardCompletionPage::OnWizardFinish() {
  SaveSettings(Window());
  return FALSE;
}

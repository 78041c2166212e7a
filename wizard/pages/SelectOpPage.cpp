#include "wizard/pages/SelectOpPage.h"

#include "common/Localizer.h"
#include "wizard/resources/resource.h"

namespace {

struct Choice {
  int button;
  int32_t operation;
};
// In the order the buttons are read on Next.
const Choice kChoices[] = {
    {IDC_OP_BACKUP, OpBackup}, {IDC_OP_EXTRACT, OpExtract}, {IDC_OP_RESTORE, OpRestore}};

}  // namespace

CWizardSelectOpPage::CWizardSelectOpPage(const CWizardInfo& info)
    : CWizardPageBase(
          info, IDD_WIZ97_SELECTOP, L"What do you want TAVRIN to do for you ?{SELECTOPPAGE_TITLE}",
          L"Select the kind of operation you want to perform...{SELECTOPPAGE_SUBTITLE}") {}

BOOL CWizardSelectOpPage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  CheckOperation();
  return TRUE;
}

int CWizardSelectOpPage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  CheckOperation();
  return 0;
}

int CWizardSelectOpPage::OnWizardNext() {
  for (const Choice& choice : kChoices) {
    if (IsDlgButtonChecked(Window(), choice.button) == BST_CHECKED) {
      (*this)->operation = choice.operation;
      return NextPageId(Id());
    }
  }
  return -1;
}

// Backing up is checked unless another operation was chosen before.
void CWizardSelectOpPage::CheckOperation() const {
  int button = IDC_OP_BACKUP;
  if ((*this)->operation == OpExtract) button = IDC_OP_EXTRACT;
  if ((*this)->operation == OpRestore) button = IDC_OP_RESTORE;
  CheckRadioButton(Window(), IDC_OP_BACKUP, IDC_OP_RESTORE, button);
}

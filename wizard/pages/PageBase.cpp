#include "wizard/pages/PageBase.h"

#include "common/Localizer.h"
#include "wizard/HelpIds.h"

CWizardPageBase::CWizardPageBase(const CWizardInfo& info, int id)
    : ui::WizardPage(id, ui::PageKind::Exterior, WizardHelpId), CWizardInfo(info) {}

CWizardPageBase::CWizardPageBase(const CWizardInfo& info, int id, const wchar_t* headerTitle,
                                 const wchar_t* headerSubtitle)
    : ui::WizardPage(id, ui::PageKind::Interior, WizardHelpId), CWizardInfo(info) {
  SetHeader(Localizer::Translate(headerTitle), Localizer::Translate(headerSubtitle));
}

#pragma once
#include "wizard/WizardInfo.h"
#include "wizard/ui/WizardPage.h"

// What every page of the wizard shares: the wizard state, the help ids of its
// controls, its help topic, and Next and Back by the navigation tables.
class CWizardPageBase : public ui::WizardPage, public CWizardInfo {
 protected:
  // An exterior page.
  CWizardPageBase(const CWizardInfo& info, int id);
  // An interior page with its header texts (user-visible literals).
  CWizardPageBase(const CWizardInfo& info, int id, const wchar_t* headerTitle,
                  const wchar_t* headerSubtitle);

  int OnWizardNext() override { return NextPageId(Id()); }
  int OnWizardBack() override { return PrevPageId(Id()); }
  void OnHelp() override { ShowPageHelp(Id()); }
};

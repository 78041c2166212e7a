#pragma once
#include "wizard/pages/PageBase.h"

// The last page: the outcome of the operation; Finish saves the settings.
class CWizardCompletionPage : public CWizardPageBase {
 public:
  explicit CWizardCompletionPage(const CWizardInfo& info);

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  BOOL OnWizardFinish() override;
};

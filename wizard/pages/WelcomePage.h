#pragma once
#include "wizard/pages/PageBase.h"

// The first page: what the wizard does, the product's version and notice.
class CWizardWelcomePage : public CWizardPageBase {
 public:
  explicit CWizardWelcomePage(const CWizardInfo& info);

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
};

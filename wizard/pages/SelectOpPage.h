#pragma once
#include "wizard/pages/PageBase.h"

// The operation page: back up a CD, extract songs, or restore discs.
class CWizardSelectOpPage : public CWizardPageBase {
 public:
  explicit CWizardSelectOpPage(const CWizardInfo& info);

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;

 private:
  void CheckOperation() const;
};

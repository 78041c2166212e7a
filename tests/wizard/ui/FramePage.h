#pragma once
#include <windows.h>

#include "common/Localizer.h"
#include "wizard/pages/PageBase.h"

// A page that shows its template and passes on by the navigation tables
// only, staying where they give no page.
class CWizardFramePage : public CWizardPageBase {
 protected:
  using CWizardPageBase::CWizardPageBase;

  BOOL OnInitDialog() override {
    Localizer::TranslateDialog(Window());
    return TRUE;
  }
  int OnSetActive() override {
    SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
    return 0;
  }
  int OnWizardNext() override {
    const int next = NextPageId(Id());
    return next ? next : -1;
  }
};

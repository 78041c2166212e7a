#pragma once
#include "wizard/pages/PageBase.h"

// Lists the discs of a backup file with check boxes; Next queues the checked
// ones, in the file's order, for the restore.
class CWizardSelDiscsPage : public CWizardPageBase {
 public:
  explicit CWizardSelDiscsPage(const CWizardInfo& info);

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  void Fill() const;
  void CountChecked();
  bool Collect();
  int Rows() const;
  bool IsChecked(int row) const;

  HWND list_ = nullptr;
  int checked_ = 0;
};

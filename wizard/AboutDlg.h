#pragma once
#include "wizard/WebLink.h"
#include "wizard/ui/Dialog.h"

// The about box: version, notice and the maker's web address as a link.
class CAboutDlg : public ui::Dialog {
 public:
  CAboutDlg();

 private:
  BOOL OnInitDialog() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  CStaticWebLinkT link_;
};

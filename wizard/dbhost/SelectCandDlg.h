#pragma once
#include <vector>

#include "wizard/dbhost/VOVudoroDession.h"
#include "wizard/ui/Dialog.h"

// Lets the user choose one of the database's matches of a disc, each shown
// as "artist - title" in the plug-in's order.
class CSelectCandDlg : public ui::Dialog {
 public:
  explicit CSelectCandDlg(const std::vector<DiscMatch>& matches);

  // The chosen line's index, -1 when the user declined.
  int Result() const { return result_; }

 private:
  BOOL OnInitDialog() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  std::vector<DiscMatch> matches_;
  int result_ = -1;
};

#pragma once
#include <windows.h>

#include "wizard/ui/Subclass.h"

// Turns a static text control into a hyperlink: a hand over it, and a click
// opens the address its text holds.
class CStaticWebLinkT : private ui::Subclass {
 public:
  bool SubclassWindow(HWND dialog, int controlId);
  int ControlId() const { return controlId_; }

 private:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  int controlId_ = 0;
};

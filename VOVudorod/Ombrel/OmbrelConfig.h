#pragma once
#include <windows.h>

#include <string>

// The modal dialog that asks for the submitter's e-mail address before a
// submission, offering the stored one (or the default) and storing what the
// user confirmed as the setting "email".
class COmbrelConfig {
 public:
  // IDOK when the user confirmed an address, IDCANCEL otherwise (also when the
  // dialog cannot be shown).
  INT_PTR DoModal(HWND parent);

  // The dialog's messages: its start, Submit and Cancel.
  BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                            LRESULT& result);

  // An address has an '@', and a '.' somewhere after it.
  static bool IsAcceptedAddress(const std::wstring& text);

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  LRESULT OnInitDialog();
  void OnOK();
  void OnCancel();

  HWND window_ = nullptr;
};

#pragma once
#include <windows.h>

namespace ui {

// A modal dialog made from a template of the program's resources.
class Dialog {
 public:
  explicit Dialog(int templateId) : templateId_(templateId) {}
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;
  virtual ~Dialog() = default;

  // The value given to End, or -1 when the dialog could not be made.
  INT_PTR DoModal(HWND owner);

 protected:
  HWND Window() const { return window_; }
  void End(INT_PTR result) { EndDialog(window_, result); }
  // Places the dialog over the middle of its owner (of the screen without one).
  void CenterOnOwner();

  virtual BOOL OnInitDialog() { return TRUE; }
  // Everything but WM_INITDIALOG; unhandled messages get the default processing.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  int templateId_;
  HWND window_ = nullptr;
};

}  // namespace ui

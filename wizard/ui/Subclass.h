#pragma once
#include <windows.h>

namespace ui {

// Sees the messages of an existing window before its own procedure does.
// The subclass ends by itself when the window is destroyed.
class Subclass {
 public:
  Subclass() = default;
  Subclass(const Subclass&) = delete;
  Subclass& operator=(const Subclass&) = delete;
  virtual ~Subclass() { Detach(); }

  bool Attach(HWND window);
  void Detach();
  HWND Window() const { return window_; }

 protected:
  // Unhandled messages go on to the window's own procedure.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

 private:
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                               DWORD_PTR self);
  HWND window_ = nullptr;
};

}  // namespace ui

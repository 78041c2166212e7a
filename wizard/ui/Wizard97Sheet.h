#pragma once
#include <windows.h>

#include <vector>

#include "wizard/ui/Subclass.h"
#include "wizard/ui/WizardPage.h"

namespace ui {

// A modal Wizard97 property sheet: header bitmap over the interior pages,
// watermark beside the exterior ones, an empty caption of its own (each page
// gives its title) and a Help button. One sheet exists per process.
class Wizard97Sheet : private Subclass {
 public:
  Wizard97Sheet(int headerBitmap, int watermarkBitmap);
  ~Wizard97Sheet() override;

  // Pages are shown in the order they are added.
  void AddPage(WizardPage& page) { pages_.push_back(&page); }
  // PropertySheetW's result: 1 after Finish, 0 after Cancel, -1 on failure.
  INT_PTR DoModal(HWND owner);
  HWND Window() const { return Subclass::Window(); }

  // The fonts the exterior pages use, made once from a page's dialog font:
  // the large bold title and the Marlett bullets ("h" is a bullet).
  HFONT TitleFont(HWND page);
  HFONT BulletFont(HWND page);
  // The sheet that runs in this process, if any.
  static Wizard97Sheet* Current() { return current_; }

 protected:
  // The sheet window exists; its pages are being made.
  virtual void OnInitialized() {}
  // The sheet's own messages; unhandled ones go to the property sheet.
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  static int CALLBACK Callback(HWND sheet, UINT message, LPARAM);
  HFONT MakeFont(HWND page, const wchar_t* face, int points, int weight);

  int headerBitmap_;
  int watermarkBitmap_;
  std::vector<WizardPage*> pages_;
  HBITMAP header_ = nullptr;
  HBITMAP watermark_ = nullptr;
  HFONT titleFont_ = nullptr;
  HFONT bulletFont_ = nullptr;
  static Wizard97Sheet* current_;
};

}  // namespace ui

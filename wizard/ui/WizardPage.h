#pragma once
#include <windows.h>
#include <prsht.h>

#include <string>

namespace ui {

// Interior pages show the sheet's header band; exterior pages (the first and
// the last) show the watermark instead.
enum class PageKind { Interior, Exterior };

// The help id a control of a dialog carries (0: none).
using HelpIdRule = DWORD (*)(int dialogId, int controlId);

// One page of a Wizard97 sheet, made from the dialog template whose id is also
// the page's id. The handlers of the sheet's notifications answer as the sheet
// expects: Next and Back 0 (the neighbouring page), -1 (stay) or a page id.
class WizardPage {
 public:
  WizardPage(int templateId, PageKind kind, HelpIdRule helpIds);
  WizardPage(const WizardPage&) = delete;
  WizardPage& operator=(const WizardPage&) = delete;
  virtual ~WizardPage() = default;

  int Id() const { return templateId_; }
  PageKind Kind() const { return kind_; }
  HWND Window() const { return window_; }
  // The caption shown while the page is current, and the header texts.
  void SetTitle(const std::wstring& title) { title_ = title; }
  void SetHeader(const std::wstring& title, const std::wstring& subtitle);
  // Makes the sheet's page; done by the sheet before it shows.
  HPROPSHEETPAGE Create();

 protected:
  HWND Sheet() const { return GetParent(window_); }
  // Back, Next and Finish flags (PSWIZB_*).
  void SetWizardButtons(DWORD flags) const;

  virtual BOOL OnInitDialog() { return TRUE; }
  virtual int OnSetActive() { return 0; }
  virtual int OnWizardNext() { return 0; }
  virtual int OnWizardBack() { return 0; }
  // FALSE lets the sheet finish or close.
  virtual BOOL OnWizardFinish() { return FALSE; }
  virtual BOOL OnQueryCancel() { return FALSE; }
  virtual BOOL OnKillActive() { return FALSE; }
  virtual void OnHelp() {}
  // The other messages, control notifications among them.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
  // The answer to a message whose handler threw: the sheet stays where it is.
  INT_PTR FailedResult(UINT message, LPARAM lParam) const;
  bool OnSheetNotify(const NMHDR& header, LRESULT& result);
  void ApplyHelpIds() const;
  void PlaceExterior() const;

  int templateId_;
  PageKind kind_;
  HelpIdRule helpIds_;
  std::wstring title_;
  std::wstring headerTitle_;
  std::wstring headerSubtitle_;
  HWND window_ = nullptr;
};

}  // namespace ui

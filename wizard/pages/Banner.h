#pragma once
#include <windows.h>
#include <exdisp.h>

#include <functional>
#include <string>

#include "common/ComPtr.h"
#include "wizard/UpdateCheck.h"
#include "wizard/ui/DispatchSink.h"

// The web banner of the progress page, or the picture from the program's
// resources where there is no banner.
class Banner {
 public:
  // Hosts a web browser in a new child window of `parent` at `rect` with the
  // control id; the browser navigates to the address made from the window's
  // client size. False when no browser could be made (the window is gone).
  using BrowserFactory =
      std::function<bool(HWND parent, const RECT& rect, int id,
                         const std::function<std::wstring(int width, int height)>& address,
                         HWND& host, ComPtr<IWebBrowser2>& browser)>;
  // The system's ActiveX host; tests put another in its place.
  static BrowserFactory& Factory();

  Banner() = default;
  Banner(const Banner&) = delete;
  Banner& operator=(const Banner&) = delete;
  ~Banner() { Release(); }

  // Replaces the placeholder control of the page by the banner when the
  // update parameters came, else by the picture; returns the version code.
  int32_t Init(HWND page, int placeholderId, int32_t operation);
  // Hides the banner for good when the browser shows no web page.
  void HideUnlessOnTheWeb();
  // Quits the browser and destroys the picture.
  void Release();

  // The browser's decision for a navigation to the address: true cancels it.
  bool OnBeforeNavigate2(const std::wstring& url) const;

 private:
  HRESULT BeforeNavigate2(DISPPARAMS& arguments) const;
  void ShowPicture(HWND page, const RECT& rect);

  UpdateCheck::Parameters params_;
  HWND host_ = nullptr;
  ComPtr<IWebBrowser2> browser_;
  ComPtr<ui::DispatchSink> sink_;  // the browser's events
  HWND picture_ = nullptr;
  HICON icon_ = nullptr;
};

#pragma once
#include <windows.h>
#include <exdisp.h>

#include <functional>
#include <string>

#include "common/ComPtr.h"
#include "wizard/ui/DispatchSink.h"

// The progress page's web banner (the page's InitBanner, OnBeforeNavigate2
// and ReleaseBanner live in Banner.cpp).
namespace Banner {

// Hosts a web browser in a new child window of `parent` at `rect` with the
// control id; the browser navigates to the address made from the window's
// client size. False when no browser could be made (the window is gone).
using BrowserFactory =
    std::function<bool(HWND parent, const RECT& rect, int id,
                       const std::function<std::wstring(int width, int height)>& address,
                       HWND& host, ComPtr<IWebBrowser2>& browser)>;
// The system's ActiveX host; tests put another in its place.
BrowserFactory& Factory();

}  // namespace Banner

// The banner's receiver of the browser's DWebBrowserEvents2.
using XSinkCatcher = ui::DispatchSink;

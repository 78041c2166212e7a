#include <windows.h>
#include <htmlhelp.h>

#include <string>

#include "common/CallingConvention.h"
#include "common/Localizer.h"
#include "wizard/WizardInfo.h"
#include "wizard/resources/resource.h"

namespace {

// The help viewer is bound when first needed, by name, as its import library
// would bind it; no viewer means no help.
using HtmlHelpFunction = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
PIN_BINDING(HtmlHelpFunction, ::HtmlHelpW);
HtmlHelpFunction HtmlHelpBinding() {
  static const HtmlHelpFunction function = [] {
    HMODULE viewer = LoadLibraryW(L"hhctrl.ocx");
    return viewer ? reinterpret_cast<HtmlHelpFunction>(
                        reinterpret_cast<void*>(GetProcAddress(viewer, "HtmlHelpW")))
                  : nullptr;
  }();
  return function;
}

HWND HtmlHelp(HWND caller, const std::wstring& file, UINT command, DWORD_PTR data) {
  HtmlHelpFunction function = HtmlHelpBinding();
  return function ? function(caller, file.c_str(), command, data) : nullptr;
}

const wchar_t* TopicOf(int pageId) {
  switch (pageId) {
    case IDD_WIZ97_WELCOME:
      return L"/Welcome.html";
    case IDD_WIZ97_PROGRESS:
      return L"/Progress.html";
    case IDD_WIZ97_COMPLETE:
      return L"/Finish.html";
    case IDD_WIZ97_SELECTSOURCEDRIVE:
      return L"/SelSourceDrive.html";
    case IDD_WIZ97_SELECTDESTFILE:
      return L"/SelDestFile.html";
    case IDD_WIZ97_TRACKEDITOR:
      return L"/EditTracks.html";
    case IDD_WIZ97_SELECTOP:
      return L"/SelectOp.html";
    case IDD_WIZ97_SELECTMP3:
      return L"/SelSourceFile.html";
    case IDD_WIZ97_SELECTTRACKS:
      return L"/SelTracks.html";
    case IDD_WIZ97_ADDIMAGE:
      return L"/SelImage.html";
    case IDD_WIZ97_EXPORTIMAGE:
      return L"/ExportImg.html";
    case IDD_WIZ97_SELECTRECORDER:
      return L"/SelRecorder.html";
    case IDD_SELECTCAND:
      return L"/SelCand.html";
    case IDD_WIZ97SELDISCS:
      return L"/SelDiscs.html";
    default:
      return nullptr;
  }
}

// The help viewer's Sync command: selects the open topic in the contents.
const WPARAM kHelpSync = 206;

}  // namespace

void CWizardInfo::ShowPageHelp(int pageId, int) const {
  const std::wstring path = Localizer::GetHelpFilePath();
  if (path.empty()) return;
  const wchar_t* topic = TopicOf(pageId);
  HWND viewer = topic ? HtmlHelp(GetActiveWindow(), path + L"::" + topic + L">$global_main",
                                 HH_DISPLAY_TOPIC, 0)
                      : HtmlHelp(GetActiveWindow(), path + L">$global_main", HH_DISPLAY_TOC, 0);
  if (viewer && topic) {
    // The viewer fills its contents tree after it shows.
    Sleep(200);
    PostMessageW(viewer, WM_COMMAND, kHelpSync, 0);
  }
}

void CWizardInfo::ShowContextHelp(const HELPINFO& help) const {
  const std::wstring path = Localizer::GetHelpFilePath();
  if (path.empty()) return;
  const DWORD ids[] = {static_cast<DWORD>(help.iCtrlId), static_cast<DWORD>(help.dwContextId), 0,
                       0};
  if (HtmlHelp(static_cast<HWND>(help.hItemHandle), path + L"::/Context.txt", HH_TP_HELP_WM_HELP,
               reinterpret_cast<DWORD_PTR>(ids)))
    return;
  static bool told = false;
  if (told) return;
  told = true;
  MessageBoxW(GetActiveWindow(), L"Unable to show context help", L"Error", MB_ICONERROR);
}

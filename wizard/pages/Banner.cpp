#include "wizard/pages/Banner.h"

#include <exdispid.h>
#include <ocidl.h>
#include <shellapi.h>

#include <vector>

#include "common/CallingConvention.h"
#include "common/Localizer.h"
#include "common/SysUtil.h"
#include "wizard/pages/PageTools.h"
#include "wizard/pages/ProgressPage.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Module.h"

namespace {

const DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;  // 0x52000000

// The ambient properties of the system's ActiveX host, as documented.
const IID IID_IAxWinAmbientDispatch = {
    0xb6ea2051, 0x048a, 0x11d1, {0x82, 0xb9, 0x00, 0xc0, 0x4f, 0xb9, 0x94, 0x2e}};
struct IAxWinAmbientDispatch : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE put_AllowWindowlessActivation(VARIANT_BOOL) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AllowWindowlessActivation(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_BackColor(OLE_COLOR) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_BackColor(OLE_COLOR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ForeColor(OLE_COLOR) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ForeColor(OLE_COLOR*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_LocaleID(LCID) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_LocaleID(LCID*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_UserMode(VARIANT_BOOL) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_UserMode(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DisplayAsDefault(VARIANT_BOOL) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DisplayAsDefault(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_Font(IFontDisp*) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_Font(IFontDisp**) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_MessageReflect(VARIANT_BOOL) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_MessageReflect(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowGrabHandles(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ShowHatching(VARIANT_BOOL*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DocHostFlags(DWORD) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DocHostFlags(DWORD*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_DocHostDoubleClickFlags(DWORD) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_DocHostDoubleClickFlags(DWORD*) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AllowContextMenu(VARIANT_BOOL) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AllowContextMenu(VARIANT_BOOL*) = 0;
};
PIN_COM_METHOD(IAxWinAmbientDispatch, put_AllowWindowlessActivation);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_AllowWindowlessActivation);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_BackColor);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_BackColor);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_ForeColor);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_ForeColor);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_LocaleID);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_LocaleID);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_UserMode);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_UserMode);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_DisplayAsDefault);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_DisplayAsDefault);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_Font);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_Font);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_MessageReflect);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_MessageReflect);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_ShowGrabHandles);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_ShowHatching);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_DocHostFlags);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_DocHostFlags);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_DocHostDoubleClickFlags);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_DocHostDoubleClickFlags);
PIN_COM_METHOD(IAxWinAmbientDispatch, put_AllowContextMenu);
PIN_COM_METHOD(IAxWinAmbientDispatch, get_AllowContextMenu);

// The host of the system's ActiveX library, bound at run time.
bool HostBrowser(HWND parent, const RECT& rect, int id,
                 const std::function<std::wstring(int, int)>& address, HWND& host,
                 ComPtr<IWebBrowser2>& browser) {
  static HMODULE atl = LoadLibraryW(L"atl.dll");
  if (!atl) return false;
  using InitFn = BOOL(WINAPI*)();
  using CreateFn = HRESULT(WINAPI*)(LPCOLESTR, HWND, IStream*, IUnknown**);
  using GetFn = HRESULT(WINAPI*)(HWND, IUnknown**);
  // The library has no header here; these are its documented functions.
  PIN_FUNCTION_TYPE(InitFn, BOOL(__stdcall*)());
  PIN_FUNCTION_TYPE(CreateFn, HRESULT(__stdcall*)(LPCOLESTR, HWND, IStream*, IUnknown**));
  PIN_FUNCTION_TYPE(GetFn, HRESULT(__stdcall*)(HWND, IUnknown**));
  auto init =
      reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxWinInit")));
  auto create = reinterpret_cast<CreateFn>(
      reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxCreateControl")));
  auto getControl =
      reinterpret_cast<GetFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetControl")));
  auto getHost =
      reinterpret_cast<GetFn>(reinterpret_cast<void*>(GetProcAddress(atl, "AtlAxGetHost")));
  if (!init || !create || !getControl || !getHost || !init()) return false;
  host =
      CreateWindowExW(0, L"AtlAxWin", L"", kChildStyle, rect.left, rect.top, rect.right - rect.left,
                      rect.bottom - rect.top, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ui::Instance(), nullptr);
  if (!host) return false;
  RECT client;
  GetClientRect(host, &client);
  ComPtr<IUnknown> control;
  if (create(address(client.right, client.bottom).c_str(), host, nullptr, control.Put()) != S_OK ||
      getControl(host, control.Put()) != S_OK ||
      control->QueryInterface(IID_IWebBrowser2, browser.PutVoid()) != S_OK) {
    DestroyWindow(host);
    host = nullptr;
    return false;
  }
  ComPtr<IUnknown> site;
  ComPtr<IAxWinAmbientDispatch> ambient;
  if (getHost(host, site.Put()) == S_OK &&
      site->QueryInterface(IID_IAxWinAmbientDispatch, ambient.PutVoid()) == S_OK)
    ambient->put_AllowContextMenu(VARIANT_FALSE);
  return true;
}

}  // namespace

Banner::BrowserFactory& Banner::Factory() {
  static BrowserFactory factory = HostBrowser;
  return factory;
}

void CWizardProgressPage::InitBanner() {
  HWND placeholder = GetDlgItem(Window(), IDC_BANNER);
  if (!placeholder) return;
  RECT rect;
  GetWindowRect(placeholder, &rect);
  MapWindowPoints(nullptr, Window(), reinterpret_cast<POINT*>(&rect), 2);
  DestroyWindow(placeholder);

  int32_t versionCode = 0;
  if (UpdateCheck::FetchUpdateParameters(bannerParams_)) {
    versionCode = UpdateCheck::VersionCode(bannerParams_.version);
    const std::wstring locale = SysUtil::LcidToLocaleName(Localizer::GetUserUILanguage());
    const int32_t operation = (*this)->operation;
    auto address = [&](int width, int height) {
      return UpdateCheck::BannerUrl(width, height, operation, locale);
    };
    if (Banner::Factory()(Window(), rect, IDC_BANNER, address, bannerHost_, browser_)) {
      sinkCatcher_ = XSinkCatcher::Create(
          DIID_DWebBrowserEvents2, [this](DISPID member, DISPPARAMS& arguments, VARIANT*) {
            return member == DISPID_BEFORENAVIGATE2 ? BeforeNavigate2(arguments) : S_OK;
          });
      sinkCatcher_->Advise(browser_.Get());
    }
  }
  if (!browser_) ShowBannerPicture(rect);
  (*this)->newerVersion = versionCode;
}

void CWizardProgressPage::ShowBannerPicture(const RECT& rect) {
  HRSRC resource = FindResourceW(ui::Instance(), MAKEINTRESOURCEW(IDR_BANNER_PICTURE),
                                 MAKEINTRESOURCEW(RT_BANNER_PICTURE));
  HGLOBAL loaded = resource ? LoadResource(ui::Instance(), resource) : nullptr;
  const auto* bytes = loaded ? static_cast<const unsigned char*>(LockResource(loaded)) : nullptr;
  const DWORD size = resource ? SizeofResource(ui::Instance(), resource) : 0;
  if (!bytes || size == 0) return;
  const std::vector<unsigned char> picture(bytes, bytes + size);
  bannerPicture_ = CreateWindowExW(
      0, L"STATIC", L"", kChildStyle | SS_ICON, rect.left, rect.top, rect.right - rect.left,
      rect.bottom - rect.top, Window(),
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BANNER_PICTURE)), ui::Instance(), nullptr);
  if (!bannerPicture_) return;
  // An icon static takes the size of its icon when it is made, and it has
  // none yet: it gets the banner area back.
  SetWindowPos(bannerPicture_, nullptr, rect.left, rect.top, rect.right - rect.left,
               rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  PageTools::ShowPictureIcon(bannerPicture_, picture, bannerIcon_);
}

void CWizardProgressPage::HideBannerUnlessOnTheWeb() {
  if (!browser_ || !bannerHost_) return;
  BSTR location = nullptr;
  if (browser_->get_LocationURL(&location) == S_OK) {
    const std::wstring url = location ? location : L"";
    if (url.compare(0, 5, L"http:") != 0) ShowWindow(bannerHost_, SW_HIDE);
  }
  SysFreeString(location);
}

void CWizardProgressPage::ReleaseBanner() {
  if (sinkCatcher_) {
    sinkCatcher_->Unadvise();
    sinkCatcher_.Reset();
  }
  if (browser_) {
    browser_->Quit();
    browser_.Reset();
  }
  if (bannerIcon_) {
    DestroyIcon(bannerIcon_);
    bannerIcon_ = nullptr;
  }
}

// BeforeNavigate2's seven arguments come last first: the address at 5,
// Cancel (a reference to a VARIANT_BOOL) at 0.
HRESULT CWizardProgressPage::BeforeNavigate2(DISPPARAMS& arguments) const {
  if (arguments.cArgs != 7) return DISP_E_BADPARAMCOUNT;
  VARIANT url;
  VariantInit(&url);
  if (VariantCopyInd(&url, &arguments.rgvarg[5]) != S_OK ||
      VariantChangeType(&url, &url, 0, VT_BSTR) != S_OK) {
    VariantClear(&url);
    return DISP_E_TYPEMISMATCH;
  }
  const bool cancel = OnBeforeNavigate2(url.bstrVal ? url.bstrVal : L"");
  VariantClear(&url);
  VARIANT& cancelArgument = arguments.rgvarg[0];
  if (cancelArgument.vt == (VT_BYREF | VT_BOOL) && cancelArgument.pboolVal)
    *cancelArgument.pboolVal = cancel ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

bool CWizardProgressPage::OnBeforeNavigate2(const std::wstring& url) const {
  const UpdateCheck::Navigation decision = UpdateCheck::NavigationDecision(url, bannerParams_);
  if (decision == UpdateCheck::Navigation::Load) return false;
  if (decision == UpdateCheck::Navigation::OpenExternally)
    ShellExecuteW(GetDesktopWindow(), L"open", url.c_str(), nullptr, nullptr, SW_SHOW);
  return true;
}

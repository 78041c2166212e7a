#include "wizard/ui/Wizard97Sheet.h"

#include <commctrl.h>

#include "common/Boundary.h"
#include "wizard/ui/Module.h"

namespace ui {

Wizard97Sheet* Wizard97Sheet::current_ = nullptr;

Wizard97Sheet::Wizard97Sheet(int headerBitmap, int watermarkBitmap)
    : headerBitmap_(headerBitmap), watermarkBitmap_(watermarkBitmap) {}

Wizard97Sheet::~Wizard97Sheet() {
  for (HGDIOBJ object : {static_cast<HGDIOBJ>(header_), static_cast<HGDIOBJ>(watermark_),
                         static_cast<HGDIOBJ>(titleFont_), static_cast<HGDIOBJ>(bulletFont_)})
    if (object) DeleteObject(object);
}

INT_PTR Wizard97Sheet::DoModal(HWND owner) {
  std::vector<HPROPSHEETPAGE> pages;
  for (WizardPage* page : pages_) {
    HPROPSHEETPAGE handle = page->Create();
    if (!handle) {
      for (HPROPSHEETPAGE made : pages) DestroyPropertySheetPage(made);
      return -1;
    }
    pages.push_back(handle);
  }
  // The header is painted only when given as a bitmap handle of a DIB section.
  auto load = [](int id) {
    return static_cast<HBITMAP>(
        LoadImageW(Instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  };
  if (!header_) header_ = load(headerBitmap_);
  if (!watermark_) watermark_ = load(watermarkBitmap_);

  PROPSHEETHEADERW sheet = {};
  sheet.dwSize = sizeof(sheet);
  sheet.dwFlags = PSH_WIZARD97 | PSH_HEADER | PSH_WATERMARK | PSH_USEHBMHEADER |
                  PSH_USEHBMWATERMARK | PSH_USECALLBACK | PSH_HASHELP;
  sheet.hwndParent = owner;
  sheet.hInstance = Instance();
  sheet.pszCaption = L"";
  sheet.nPages = static_cast<UINT>(pages.size());
  sheet.phpage = pages.data();
  sheet.pfnCallback = Callback;
  sheet.hbmWatermark = watermark_;
  sheet.hbmHeader = header_;
  current_ = this;
  const INT_PTR result = PropertySheetW(&sheet);
  current_ = nullptr;
  return result;
}

int CALLBACK Wizard97Sheet::Callback(HWND sheet, UINT message, LPARAM) {
  if (message == PSCB_INITIALIZED && current_) {
    Boundary::Run("the wizard sheet", [sheet] {
      current_->Attach(sheet);
      current_->OnInitialized();
    });
  }
  return 0;
}

LRESULT Wizard97Sheet::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

HFONT Wizard97Sheet::TitleFont(HWND page) {
  if (!titleFont_) titleFont_ = MakeFont(page, L"Verdana", 12, FW_BOLD);
  return titleFont_;
}

HFONT Wizard97Sheet::BulletFont(HWND page) {
  if (!bulletFont_) bulletFont_ = MakeFont(page, L"Marlett", 8, FW_NORMAL);
  return bulletFont_;
}

HFONT Wizard97Sheet::MakeFont(HWND page, const wchar_t* face, int points, int weight) {
  LOGFONTW font = {};
  HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(page, WM_GETFONT, 0, 0));
  if (!dialogFont || !GetObjectW(dialogFont, sizeof(font), &font))
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
  HDC dc = GetDC(page);
  font.lfHeight = -MulDiv(points, GetDeviceCaps(dc, LOGPIXELSY), 72);
  ReleaseDC(page, dc);
  font.lfWidth = 0;
  font.lfWeight = weight;
  font.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

}  // namespace ui

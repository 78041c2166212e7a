#include "wizard/pages/PictureDialogs.h"

#include "common/Localizer.h"

namespace PictureDialogs {

namespace {

int CALLBACK SelectStartFolder(HWND browser, UINT message, LPARAM, LPARAM folder) {
  if (message == BFFM_INITIALIZED) SendMessageW(browser, BFFM_SETSELECTIONW, TRUE, folder);
  return 0;
}

}  // namespace

Functions& System() {
  static Functions functions;
  return functions;
}

bool ShiftHeld() { return (System().keyState(VK_SHIFT) & 0x8000) != 0; }

bool ChoosePictureFile(HWND owner, const std::wstring& folder, bool save, std::wstring& path) {
  const std::wstring filter = Localizer::TranslateFilter(
      save
          ? L"JPEG images|*.jpg;*jpeg|all files|*.*|{JPEG_FILTER}"
          : L"Image files|*.jpg;*jpeg;*.bmp;*.gif;*.tiff;*.tif;*.png|all files|*.*|{IMAGE_FILTER}");
  const std::wstring extension = Localizer::TranslateFilter(L"jpg|{FTYPE_JPG}");
  wchar_t name[MAX_PATH] = L"";
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST;
  if (!(save ? System().saveFile : System().openFile)(&dialog)) return false;
  path = name;
  return !path.empty();
}

bool BrowseFolder(HWND owner, const std::wstring& folder, std::wstring& path) {
  const std::wstring title = Localizer::Translate(L"Select Destination Folder{SELECTDESTFOLDER}");
  BROWSEINFOW browse = {};
  browse.hwndOwner = owner;
  browse.lpszTitle = title.c_str();
  browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_UAHINT;
  browse.lpfn = SelectStartFolder;
  browse.lParam = reinterpret_cast<LPARAM>(folder.c_str());
  PIDLIST_ABSOLUTE chosen = System().browseFolder(&browse);
  if (!chosen) return false;
  wchar_t buffer[MAX_PATH] = L"";
  const bool found = SHGetPathFromIDListW(chosen, buffer) && buffer[0];
  CoTaskMemFree(chosen);
  if (found) path = buffer;
  return found;
}

}  // namespace PictureDialogs

#include "wizard/pages/SystemDialogs.h"

#include "common/Localizer.h"

namespace SystemDialogs {

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

std::wstring ChooseFile(HWND owner, const FileDialog& request, bool save) {
  const std::wstring filter = Localizer::TranslateFilter(request.filter);
  const std::wstring extension =
      request.extension ? Localizer::TranslateFilter(request.extension) : L"";
  wchar_t name[MAX_PATH] = L"";
  request.file.copy(name, MAX_PATH - 1);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = name;
  dialog.nMaxFile = MAX_PATH;
  if (!request.folder.empty()) dialog.lpstrInitialDir = request.folder.c_str();
  if (request.extension) dialog.lpstrDefExt = extension.c_str();
  dialog.Flags = request.flags;
  if (!(save ? System().saveFile : System().openFile)(&dialog)) return L"";
  return name;
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

}  // namespace SystemDialogs

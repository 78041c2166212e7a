#include "wizard/pages/PageTools.h"

#include <commctrl.h>
#include <commdlg.h>

#include <exception>

#include "common/Localizer.h"
#include "common/MRUList.h"
#include "engine/backup/BackupFormat.h"
#include "engine/streams/ByteSourceSB.h"
#include "wizard/coverart/ImageUtils.h"

namespace PageTools {

std::vector<BackupDisc> ReadBackupDiscs(const std::wstring& path) {
  try {
    ByteSourceSB source(path, std::ios_base::in | std::ios_base::binary);
    std::basic_istream<unsigned char> is(&source);
    return BackupFile::ReadDiscs(is);
  } catch (const std::exception&) {
    return {};
  }
}

bool ShowPictureIcon(HWND control, const std::vector<unsigned char>& picture, HICON& icon) {
  RECT client;
  if (!control || !GetClientRect(control, &client)) return false;
  HBITMAP color = nullptr;
  HBITMAP mask = nullptr;
  if (!MakeDisplayBitmaps(picture, client.right, client.bottom, color, mask)) return false;
  ICONINFO info = {TRUE, 0, 0, mask, color};
  HICON made = CreateIconIndirect(&info);
  DeleteObject(color);
  DeleteObject(mask);
  if (!made) return false;
  SendMessageW(control, STM_SETICON, reinterpret_cast<WPARAM>(made), 0);
  if (icon) DestroyIcon(icon);
  icon = made;
  return true;
}

std::wstring AskForBackupFile(HWND owner, const std::wstring& start, bool save) {
  wchar_t file[MAX_PATH] = L"";
  start.copy(file, MAX_PATH - 1);
  const std::wstring filter =
      Localizer::TranslateFilter(L"MP3 files|*.mp3|all files|*.*|{MP3_FILTER}");
  const std::wstring extension = Localizer::TranslateFilter(L"mp3|{FTYPE_MP3}");
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  if (save) {
    dialog.lpstrDefExt = extension.c_str();
    dialog.Flags = OFN_PATHMUSTEXIST;
    return GetSaveFileNameW(&dialog) ? file : L"";
  }
  dialog.Flags = OFN_FILEMUSTEXIST;
  return GetOpenFileNameW(&dialog) ? file : L"";
}

namespace Combo {

int Add(HWND combo, const std::wstring& text) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT;
  item.iItem = -1;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  return static_cast<int>(
      SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

std::wstring ItemText(HWND combo, int index) {
  wchar_t text[MAX_PATH * 4] = L"";
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT;
  item.iItem = index;
  item.pszText = text;
  item.cchTextMax = MAX_PATH * 4;
  if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return {};
  return text;
}

int Find(HWND combo, const std::wstring& text, bool ignoreCase) {
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    const std::wstring item = ItemText(combo, i);
    if (ignoreCase ? Settings::EqualNoCase(item, text) : item == text) return i;
  }
  return -1;
}

void SelectOrAdd(HWND combo, const std::wstring& text) {
  int index = Find(combo, text);
  if (index < 0) index = Add(combo, text);
  SendMessageW(combo, CB_SETCURSEL, index, 0);
}

std::wstring EditText(HWND combo, int limit) {
  std::wstring text(limit + 1, L'\0');
  HWND edit = reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
  const int n = GetWindowTextW(edit ? edit : combo, &text[0], limit + 1);
  text.resize(n > 0 ? n : 0);
  return text;
}

}  // namespace Combo

}  // namespace PageTools

#include "wizard/pages/ComboBoxEx.h"

#include <vector>

#include "common/MRUList.h"

namespace ComboBoxEx {

void Clear(HWND combo) { SendMessageW(combo, CB_RESETCONTENT, 0, 0); }

int Add(HWND combo, const std::wstring& text, int image, LPARAM data) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE | CBEIF_LPARAM;
  item.iItem = -1;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  item.iImage = item.iSelectedImage = image;
  item.lParam = data;
  return static_cast<int>(
      SendMessageW(combo, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

int Count(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); }

std::wstring ItemText(HWND combo, int index) {
  // The control copies at most the buffer's size less one and says nothing of
  // the rest: a text that fills the buffer is asked for again with a larger one.
  for (std::size_t size = MAX_PATH + 1;; size *= 2) {
    std::vector<wchar_t> text(size, 0);
    COMBOBOXEXITEMW item = {};
    item.mask = CBEIF_TEXT;
    item.iItem = index;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(size);
    if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return L"";
    // The control may answer with its own copy instead of filling the buffer.
    if (item.pszText != text.data()) return item.pszText ? item.pszText : L"";
    const std::wstring result = text.data();
    if (result.size() + 1 < size) return result;
  }
}

LPARAM ItemData(HWND combo, int index) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_LPARAM;
  item.iItem = index;
  if (!SendMessageW(combo, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return -1;
  return item.lParam;
}

void Update(HWND combo, int index, const std::wstring& text, int image) {
  COMBOBOXEXITEMW item = {};
  item.mask = CBEIF_TEXT | CBEIF_IMAGE | CBEIF_SELECTEDIMAGE;
  item.iItem = index;
  item.pszText = const_cast<wchar_t*>(text.c_str());
  item.iImage = item.iSelectedImage = image;
  SendMessageW(combo, CBEM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

int Find(HWND combo, const std::wstring& text, bool ignoreCase, int first) {
  for (int i = first; i < Count(combo); ++i) {
    const std::wstring item = ItemText(combo, i);
    if (ignoreCase ? Settings::EqualNoCase(item, text) : item == text) return i;
  }
  return -1;
}

int FindData(HWND combo, LPARAM data) {
  for (int i = 0; i < Count(combo); ++i)
    if (ItemData(combo, i) == data) return i;
  return -1;
}

int Selection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }

void Select(HWND combo, int index) { SendMessageW(combo, CB_SETCURSEL, index, 0); }

void SelectOrAdd(HWND combo, const std::wstring& text, bool ignoreCase, int first) {
  int index = Find(combo, text, ignoreCase, first);
  if (index < 0) index = Add(combo, text);
  Select(combo, index);
}

std::wstring Text(HWND combo, int limit) {
  HWND edit = reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0));
  if (!edit) return ItemText(combo, Selection(combo)).substr(0, limit);
  std::vector<wchar_t> text(limit + 1, 0);
  GetWindowTextW(edit, text.data(), limit + 1);
  return text.data();
}

}  // namespace ComboBoxEx

#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

// The report-view list operations the pages share.
namespace ListViewCells {

// The pages' lists of rows to check (discs or tracks), with their title and
// artist columns.
constexpr DWORD kCheckListStyles = LVS_EX_CHECKBOXES | LVS_EX_HEADERDRAGDROP | LVS_EX_FULLROWSELECT;
constexpr int kTitleWidth = 180;
constexpr int kArtistWidth = 150;

// A left-aligned column of the given width.
inline void InsertColumn(HWND list, int index, const std::wstring& header, int width) {
  LVCOLUMNW column = {};
  column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.fmt = LVCFMT_LEFT;
  column.pszText = const_cast<wchar_t*>(header.c_str());
  column.cx = width;
  column.iSubItem = index;
  ListView_InsertColumn(list, index, &column);
}

inline void SetCell(HWND list, int row, int column, const std::wstring& text) {
  ListView_SetItemText(list, row, column, const_cast<wchar_t*>(text.c_str()));
}

inline int CountChecked(HWND list) {
  int checked = 0;
  for (int row = 0; row < ListView_GetItemCount(list); ++row)
    if (ListView_GetCheckState(list, row)) ++checked;
  return checked;
}

// Ctrl+A on a list of rows to check: checks every row, or unchecks them all
// when all are checked. False for any other key.
inline bool ToggleAllOnCtrlA(HWND list, WORD key) {
  if (key != 'A' || GetKeyState(VK_CONTROL) >= 0) return false;
  const int rows = ListView_GetItemCount(list);
  const bool check = CountChecked(list) != rows;
  for (int row = 0; row < rows; ++row) ListView_SetCheckState(list, row, check);
  return true;
}

}  // namespace ListViewCells

#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

// The report-view list operations the pages share.
namespace ListViewCells {

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

}  // namespace ListViewCells

#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

// The few ComboBoxEx operations the pages need, on the control's handle.
namespace ComboBoxEx {

void Clear(HWND combo);
// Appends an item; returns its index (-1 on failure).
int Add(HWND combo, const std::wstring& text, int image = 0, LPARAM data = 0);
int Count(HWND combo);
// The whole text of an item, however long; empty for no item.
std::wstring ItemText(HWND combo, int index);
LPARAM ItemData(HWND combo, int index);
// Sets an item's text and image again.
void Update(HWND combo, int index, const std::wstring& text, int image);
// The first item from `first` on with this text (exactly, or ignoring case); -1 when none.
int Find(HWND combo, const std::wstring& text, bool ignoreCase = false, int first = 0);
// The first item with this data; -1 when none.
int FindData(HWND combo, LPARAM data);
int Selection(HWND combo);
void Select(HWND combo, int index);
// Selects the first item from `first` on with this text (exactly, or ignoring
// case), added at the end when missing.
void SelectOrAdd(HWND combo, const std::wstring& text, bool ignoreCase = false, int first = 0);
// What the control shows: its edit field's text (at most `limit` characters),
// or the selected item's text when it has no edit field.
std::wstring Text(HWND combo, int limit);

}  // namespace ComboBoxEx

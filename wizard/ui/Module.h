#pragma once
#include <windows.h>

// The window layer of the wizard: the smallest set of classes that its sheet,
// pages and dialogs are built from.
namespace ui {

// The module whose resources the dialogs and pictures come from.
inline HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

// The layer's private messages.
const UINT WM_LAYER_FIRST = WM_APP + 0x300;

// Writes a handled message's result the way a dialog procedure must: most
// results go into DWLP_MSGRESULT, those of the few messages that return a
// value themselves (brushes of WM_CTLCOLOR*, WM_INITDIALOG ...) are returned.
INT_PTR DialogResult(HWND dialog, UINT message, LRESULT result);

}  // namespace ui

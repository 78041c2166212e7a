#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

// The system's dialogs and key state as the picture pages reach them: one
// table, which tests may point at their own functions.
namespace PictureDialogs {

struct Functions {
  BOOL(WINAPI* openFile)(OPENFILENAMEW*) = GetOpenFileNameW;
  BOOL(WINAPI* saveFile)(OPENFILENAMEW*) = GetSaveFileNameW;
  PIDLIST_ABSOLUTE(WINAPI* browseFolder)(BROWSEINFOW*) = SHBrowseForFolderW;
  SHORT(WINAPI* keyState)(int key) = GetAsyncKeyState;
};
Functions& System();

// Whether Shift is held down now.
bool ShiftHeld();

// The open dialog over image files or the save dialog for a JPEG file,
// starting in `folder` with an empty name; false when the user cancelled.
bool ChoosePictureFile(HWND owner, const std::wstring& folder, bool save, std::wstring& path);

// The shell's folder browser with `folder` selected; false when cancelled or
// when the choice is no file-system folder.
bool BrowseFolder(HWND owner, const std::wstring& folder, std::wstring& path);

}  // namespace PictureDialogs

#pragma once
#include <windows.h>
#include <commdlg.h>
#include <shlobj.h>

#include <string>

// The system's file and folder dialogs and the key state as the pages reach
// them: one table, which tests may point at their own functions.
namespace SystemDialogs {

struct Functions {
  BOOL(WINAPI* openFile)(OPENFILENAMEW*) = GetOpenFileNameW;
  BOOL(WINAPI* saveFile)(OPENFILENAMEW*) = GetSaveFileNameW;
  PIDLIST_ABSOLUTE(WINAPI* browseFolder)(BROWSEINFOW*) = SHBrowseForFolderW;
  SHORT(WINAPI* keyState)(int key) = GetAsyncKeyState;
};
Functions& System();

// Whether Shift is held down now.
bool ShiftHeld();

// An open or save dialog. The filter and the default extension are
// user-visible literals, translated as filters; `file` is the name the
// dialog starts with (at most 259 characters are kept).
struct FileDialog {
  const wchar_t* filter = L"";
  const wchar_t* extension = nullptr;  // none when null
  std::wstring folder;                 // the dialog's own start when empty
  std::wstring file;
  DWORD flags = 0;
};

// The path chosen in the dialog (filter index 1, a 260-character name
// buffer); empty when the user cancels.
std::wstring ChooseFile(HWND owner, const FileDialog& dialog, bool save);

// The shell's folder browser with `folder` selected; false when cancelled or
// when the choice is no file-system folder.
bool BrowseFolder(HWND owner, const std::wstring& folder, std::wstring& path);

}  // namespace SystemDialogs

#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "engine/backup/DiscRecords.h"

// Small pieces that several pages share.
namespace PageTools {

// The discs of a backup file; empty when the file is missing, unreadable or
// no backup file.
std::vector<BackupDisc> ReadBackupDiscs(const std::wstring& path);

// Shows the picture (the bytes of a picture file) fitted into the icon-style
// static control, replacing the icon kept in `icon`; false (the control
// unchanged) when the picture cannot be shown.
bool ShowPictureIcon(HWND control, const std::vector<unsigned char>& picture, HICON& icon);

// The system's dialog for a backup file (MP3 files, else all files), owned by
// the window and starting at `file`: the file to write (a missing ".mp3" is
// added) or an existing one to read. Empty when the user cancels.
std::wstring AskForBackupFile(HWND owner, const std::wstring& file, bool save);

}  // namespace PageTools

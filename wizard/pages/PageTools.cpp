#include "wizard/pages/PageTools.h"

#include <exception>

#include "engine/backup/BackupFormat.h"
#include "engine/streams/ByteSourceSB.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/pages/SystemDialogs.h"

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
  SystemDialogs::FileDialog dialog;
  dialog.filter = L"MP3 files|*.mp3|all files|*.*|{MP3_FILTER}";
  if (save) dialog.extension = L"mp3|{FTYPE_MP3}";
  dialog.file = start;
  dialog.flags = save ? OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST;
  return SystemDialogs::ChooseFile(owner, dialog, save);
}

}  // namespace PageTools

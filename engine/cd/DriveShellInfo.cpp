#include <cwchar>

#include "common/ShellUtils.h"
#include "engine/cd/CdDevice.h"

namespace CdDevice {
namespace {

void CopyCut(wchar_t (&to)[64], const std::wstring& from) {
  std::wcsncpy(to, from.c_str(), 63);
  to[63] = 0;
}

}  // namespace

void FillShellInfo(DriveEntry& entry) {
  const wchar_t root[] = {entry.letter, L':', L'\\', 0};
  HICON icon = ShellUtils::GetSmallIcon(root);
  if (!icon) icon = ShellUtils::GetLargeIcon(root);
  if (icon) entry.icon.reset(icon, [](HICON owned) { DestroyIcon(owned); });
  ICONINFO info = {};
  if (icon && GetIconInfo(icon, &info)) {
    entry.iconHeight = 2 * static_cast<int>(info.yHotspot);
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
  }
  CopyCut(entry.displayName, ShellUtils::GetDisplayName(root));
  CopyCut(entry.typeName, ShellUtils::GetTypeName(root));
}

}  // namespace CdDevice

#include <windows.h>

#include <cctype>

#include "engine/backup/BackupFormat.h"

namespace BackupFile {
namespace {

// The user's interface language, else the system's.
LANGID UserUILanguage() {
  const LANGID user = GetUserDefaultUILanguage();
  return PRIMARYLANGID(user) != 0 ? user : GetSystemDefaultUILanguage();
}

}  // namespace

std::string CommentLanguage() {
  char code[20] = {};
  if (GetLocaleInfoA(LOCALE_CUSTOM_UI_DEFAULT, LOCALE_SISO639LANGNAME2, code, sizeof code) >= 4 &&
      std::isalpha(static_cast<unsigned char>(code[0])) &&
      std::isalpha(static_cast<unsigned char>(code[1])) &&
      std::isalpha(static_cast<unsigned char>(code[2])))
    return std::string(code, 3);
  switch (UserUILanguage() & 0x3FF) {
    case LANG_ENGLISH:
      return "eng";
    case LANG_GERMAN:
      return "deu";
    default:
      return "zxx";
  }
}

}  // namespace BackupFile

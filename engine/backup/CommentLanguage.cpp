#include <windows.h>

#include <cctype>

#include "common/Localizer.h"
#include "engine/backup/CueSheet.h"

namespace BackupFile {

std::string CommentLanguage() {
  char code[20] = {};
  if (GetLocaleInfoA(LOCALE_CUSTOM_UI_DEFAULT, LOCALE_SISO639LANGNAME2, code, sizeof code) >= 4 &&
      std::isalpha(static_cast<unsigned char>(code[0])) &&
      std::isalpha(static_cast<unsigned char>(code[1])) &&
      std::isalpha(static_cast<unsigned char>(code[2])))
    return std::string(code, 3);
  switch (Localizer::GetUserUILanguage() & 0x3FF) {
    case LANG_ENGLISH:
      return "eng";
    case LANG_GERMAN:
      return "deu";
    default:
      return "zxx";
  }
}

}  // namespace BackupFile

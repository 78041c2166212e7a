#pragma once
#include <windows.h>

#include <string>

// User-visible texts are written as their English wording followed by a key in
// braces, "Cancel{CANCEL}". The localizer shows the key's entry of the language
// file <program folder>\<LANGID>\<application>.xml (or the file a shortcut
// <application>.xml.lnk there points to), else the English wording.
namespace Localizer {

// Chooses the language (the registry value "Language", else the user's
// interface language; then the user's interface language; then its primary
// language) and loads the first of their files that exists; false when none
// loads, and every text stays English.
bool Init(const std::wstring& appName);

// Loads <program folder>\<langId>\<appName>.xml; the language's folder is kept
// for the help file even when this fails.
bool LoadLanguageFile(const std::wstring& langId, const std::wstring& appName);

// The translation of a user-visible literal; text without a key is returned
// unchanged.
std::wstring Translate(const std::wstring& text);

// A file-dialog filter literal ("MP3 files|*.mp3|{MP3_FILTER}") translated,
// with every '|' replaced by NUL. The result always ends in a NUL, so that its
// c_str() ends in the two NULs the file dialogs need.
std::wstring TranslateFilter(const std::wstring& text);

// Translates the caption of a dialog or property page and the texts of all
// its descendant windows in place.
void TranslateDialog(HWND window);

// The help file of the last language tried (<folder>\<appName>.chm, or the
// target of <appName>.chm.lnk); empty when there is none.
std::wstring GetHelpFilePath();

// The user's interface language, or the system's when the user's has no
// primary language.
LANGID GetUserUILanguage();

// Resolves the escapes of a translation: \n \r \t \0 (the text ends there),
// \x (a space), and \ before any other character gives that character.
std::wstring Unescape(const std::wstring& text);

}  // namespace Localizer

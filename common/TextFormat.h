#pragma once
#include <initializer_list>
#include <string>

// Fills the placeholders of a translated text. A language file may hold any
// text, so the placeholders are never handed to printf: %s, %ls and %d each
// take the next argument (a number given as its decimal text), %% is one
// percent sign, and every other '%' (or a placeholder with no argument left)
// is copied as it stands.
namespace TextFormat {

std::wstring Fill(const std::wstring& format, std::initializer_list<std::wstring> args);

}  // namespace TextFormat

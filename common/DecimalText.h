#pragma once
#include <string>

// Whole numbers written in decimal inside a text.
namespace DecimalText {

// The number at the very start of the text: an optional sign, then decimal
// digits up to the first other character. 0 when no digit follows; values
// beyond the range of int are clamped to it. Nothing is skipped before the sign.
int ParseInt(const std::wstring& text);
int ParseInt(const std::string& text);

}  // namespace DecimalText

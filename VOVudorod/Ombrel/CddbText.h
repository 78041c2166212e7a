#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Text helpers of the CDDB protocol and the xmcd entry format.
namespace Cddb {

// The lines of a reply: characters below U+0020 before a line are skipped, a
// line ends at a line feed or carriage return, and a line "." ends the list.
std::vector<std::wstring> SplitReplyLines(const std::wstring& text);

// Without leading and trailing blanks (U+0020 only).
std::wstring TrimBlanks(const std::wstring& text);

// The text after the first '=' of an xmcd line, trimmed; empty without '='.
std::wstring XmcdValue(const std::wstring& line);

// Blanks and the characters + & : / < > % * | \ " as '%' and their code in
// lower-case hexadecimal.
std::wstring UrlEscape(const std::wstring& text);

// UTF-8 as it goes over the wire: a surrogate pair is one four-byte sequence,
// a lone surrogate becomes U+FFFD. The settings and language files use
// Utf8::Encode (common/Utf8.h) instead, which writes every surrogate by itself.
std::string ToUtf8(const std::wstring& text);

// Eight lower-case hexadecimal digits.
std::wstring HexId(uint32_t discId);

// The preference of a category among duplicate entries; lower wins.
int CategoryScore(const std::wstring& category);

// The xmcd keywords that a line can begin with, in the order they are tried.
enum XmcdKeywordId {
  kNoKeyword = 0,
  kDiscId,
  kDiscTitle,
  kDiscYear,
  kDiscGenre,
  kTrackTitle,
  kDiscExtended,
  kTrackExtended,
  kPlayOrder
};
XmcdKeywordId XmcdKeyword(const std::wstring& line);
// The keyword's text, for the keyword ids above.
const wchar_t* XmcdKeywordText(XmcdKeywordId keyword);

}  // namespace Cddb

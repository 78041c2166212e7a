#pragma once
#include <cwchar>
#include <cwctype>
#include <string>

// Reading the words of a statement: keywords in any case, names plain or in
// brackets.
namespace JetStandin {

inline std::wstring Upper(std::wstring text) {
  for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
  return text;
}

inline void SkipBlanks(const std::wstring& text, std::size_t& pos) {
  while (pos < text.size() && std::iswspace(text[pos])) ++pos;
}

inline bool Keyword(const std::wstring& text, std::size_t& pos, const wchar_t* word) {
  SkipBlanks(text, pos);
  const std::size_t n = std::wcslen(word);
  if (Upper(text.substr(pos, n)) != word) return false;
  pos += n;
  return true;
}

inline bool Name(const std::wstring& text, std::size_t& pos, std::wstring& name) {
  SkipBlanks(text, pos);
  if (pos < text.size() && text[pos] == L'[') {
    const std::size_t close = text.find(L']', pos);
    if (close == std::wstring::npos || close == pos + 1) return false;
    name = text.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    return true;
  }
  const std::size_t start = pos;
  while (pos < text.size() && (std::iswalnum(text[pos]) || text[pos] == L'_')) ++pos;
  name = text.substr(start, pos - start);
  return !name.empty();
}

}  // namespace JetStandin

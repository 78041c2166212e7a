#include "VOVudorod/Ombrel/CddbText.h"

#include <cwchar>
#include <iterator>

#include "common/CodePage.h"

namespace Cddb {
namespace {

const wchar_t kEscaped[] = L" +&:/<>%*|\\\"";

const wchar_t* const kKeywords[] = {L"DISCID", L"DTITLE", L"DYEAR", L"DGENRE",
                                    L"TTITLE", L"EXTD",   L"EXTT",  L"PLAYORDER"};

struct Score {
  const wchar_t* category;
  int score;
};
const Score kScores[] = {{L"rock", 0},  {L"misc", 5},     {L"blues", 10},  {L"soundtrack", 10},
                         {L"folk", 20}, {L"country", 30}, {L"newage", 40}, {L"reggae", 50},
                         {L"jazz", 70}, {L"data", 900}};
const int kOtherScore = 1000;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

}  // namespace

std::vector<std::wstring> SplitReplyLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t pos = 0;
  while (true) {
    while (pos < text.size() && text[pos] < L' ') ++pos;
    if (pos >= text.size()) break;
    std::size_t end = text.find_first_of(L"\r\n", pos);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(pos, end - pos);
    if (line == L".") break;
    lines.push_back(std::move(line));
    pos = end;
  }
  return lines;
}

std::wstring TrimBlanks(const std::wstring& text) {
  const std::size_t first = text.find_first_not_of(L' ');
  if (first == std::wstring::npos) return std::wstring();
  return text.substr(first, text.find_last_not_of(L' ') - first + 1);
}

std::wstring XmcdValue(const std::wstring& line) {
  const std::size_t eq = line.find(L'=');
  return eq == std::wstring::npos ? std::wstring() : TrimBlanks(line.substr(eq + 1));
}

std::wstring UrlEscape(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c != L'\0' && std::wcschr(kEscaped, c)) {
      wchar_t code[8];
      std::swprintf(code, 8, L"%%%x", static_cast<unsigned>(c));
      escaped += code;
    } else {
      escaped += c;
    }
  }
  return escaped;
}

std::string ToUtf8(const std::wstring& text) { return CodePage::FromWide(text, CP_UTF8); }

std::wstring HexId(uint32_t discId) {
  wchar_t text[9];
  std::swprintf(text, 9, L"%08x", static_cast<unsigned>(discId));
  return text;
}

int CategoryScore(const std::wstring& category) {
  std::wstring lower = category;
  for (wchar_t& c : lower)
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
  for (const Score& s : kScores)
    if (lower == s.category) return s.score;
  return kOtherScore;
}

XmcdKeywordId XmcdKeyword(const std::wstring& line) {
  for (int i = 0; i < static_cast<int>(std::size(kKeywords)); ++i)
    if (StartsWith(line, kKeywords[i])) return static_cast<XmcdKeywordId>(i + 1);
  return kNoKeyword;
}

const wchar_t* XmcdKeywordText(XmcdKeywordId keyword) {
  return keyword == kNoKeyword ? L"" : kKeywords[keyword - 1];
}

}  // namespace Cddb

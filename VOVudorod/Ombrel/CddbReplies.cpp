#include "VOVudorod/Ombrel/CddbReplies.h"

#include <cwchar>
#include <map>

#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbSession.h"
#include "VOVudorod/Ombrel/CddbText.h"
#include "common/DecimalText.h"

namespace Cddb {
namespace {

const int kExactMatch = 200;
const int kSeveralMatches = 210;
const int kInexactMatches = 211;
const int kEntryFollows = 210;

const wchar_t kTitleSeparator[] = L" / ";
const std::size_t kSeparatorLength = 3;
const wchar_t kRevisionComment[] = L"# Revision:";
const uint32_t kTrackCountBits = 0xFF;

bool IsBlank(wchar_t c) { return c == L' '; }

bool IsHexDigit(wchar_t c) {
  return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
}

// "<category> <hex disc id><text>" from pos on; the text keeps its leading blank.
bool ParseMatchLine(const std::wstring& line, std::size_t pos, int32_t marker,
                    DbCore::MatchRecord& match) {
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::size_t category = pos;
  while (pos < line.size() && !IsBlank(line[pos])) ++pos;
  if (pos == category) return false;
  match.category = line.substr(category, pos - category);
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::size_t id = pos;
  while (pos < line.size() && pos - id < 8 && IsHexDigit(line[pos])) ++pos;
  if (pos == id) return false;
  match.discId =
      static_cast<uint32_t>(std::wcstoul(line.substr(id, pos - id).c_str(), nullptr, 16));
  const std::wstring text = line.substr(pos);
  const std::size_t separator = text.find(kTitleSeparator);
  if (separator == std::wstring::npos) {
    match.artist = kDefaultArtist;
    match.title = text;
  } else {
    match.artist = text.substr(0, separator);
    match.title = text.substr(separator + kSeparatorLength);
  }
  match.marker = marker;
  return true;
}

// Letters a-z as A-Z; A-Z and everything from U+0100 kept, the rest dropped.
std::wstring TitleKey(const std::wstring& title) {
  std::wstring key;
  for (wchar_t c : title) {
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if ((c >= L'A' && c <= L'Z') || c >= 0x100) key += c;
  }
  return key;
}

struct Candidate {
  DbCore::MatchRecord match;
  std::wstring key;
  int count = 0;
};

// Entries of one title are merged into the first of them, which takes the
// texts of the most preferred category (of equal ones, the earliest); only the
// titles listed most often stay. Each entry costs one look-up by its key.
std::vector<DbCore::MatchRecord> MergeDuplicates(std::vector<Candidate> candidates) {
  std::vector<Candidate> merged;
  std::map<std::wstring, std::size_t> byKey;
  for (Candidate& c : candidates) {
    const auto found = byKey.emplace(c.key, merged.size());
    if (found.second) {
      merged.push_back(std::move(c));
      continue;
    }
    Candidate& first = merged[found.first->second];
    ++first.count;
    if (CategoryScore(first.match.category) > CategoryScore(c.match.category))
      first.match = c.match;
  }
  int largest = 0;
  for (const Candidate& c : merged)
    if (c.count > largest) largest = c.count;
  std::vector<DbCore::MatchRecord> matches;
  for (const Candidate& c : merged)
    if (c.count >= largest) matches.push_back(c.match);
  return matches;
}

// The decimal number of a status code at the start of a line.
std::size_t SkipDigits(const std::wstring& line) {
  std::size_t pos = 0;
  while (pos < line.size() && line[pos] >= L'0' && line[pos] <= L'9') ++pos;
  return pos;
}

// "artist / title", or the title alone with the default artist.
void TakeTitle(const std::wstring& value, const std::wstring& defaultArtist,
               DbCore::TrackRecord& entry) {
  const std::size_t separator = value.find(kTitleSeparator);
  if (separator == std::wstring::npos) {
    entry.artist = defaultArtist;
    entry.title = TrimBlanks(value);
  } else {
    entry.artist = TrimBlanks(value.substr(0, separator));
    entry.title = TrimBlanks(value.substr(separator + kSeparatorLength));
  }
}

void TakeRevision(const std::wstring& line, int32_t& revision) {
  const std::size_t digit = line.find_first_of(L"0123456789", std::wcslen(kRevisionComment));
  if (digit != std::wstring::npos) revision = DecimalText::ParseInt(line.substr(digit));
}

}  // namespace

std::vector<DbCore::MatchRecord> ParseQueryReply(const std::wstring& reply, int32_t marker) {
  const std::vector<std::wstring> lines = SplitReplyLines(reply);
  if (lines.empty()) return {};
  const std::size_t codeEnd = SkipDigits(lines[0]);
  const int code = DecimalText::ParseInt(lines[0].substr(0, codeEnd));
  DbCore::MatchRecord match;
  if (code == kExactMatch) {
    if (!ParseMatchLine(lines[0], codeEnd, marker, match)) return {};
    return {match};
  }
  if (code != kSeveralMatches && code != kInexactMatches) return {};
  std::vector<Candidate> candidates;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (!ParseMatchLine(lines[i], 0, marker, match)) continue;
    candidates.push_back({match, TitleKey(match.title), 0});
  }
  return MergeDuplicates(std::move(candidates));
}

void ParseReadReply(const std::wstring& reply, DbCore::DiscRecord& disc) {
  disc.entries.clear();
  const std::vector<std::wstring> lines = SplitReplyLines(reply);
  if (lines.empty()) return;
  if (DecimalText::ParseInt(lines[0].substr(0, lines[0].find(L' '))) != kEntryFollows) return;

  const std::size_t count = (disc.discId & kTrackCountBits) + 1;
  std::vector<std::wstring> titles(count);
  std::wstring genre = disc.category;  // without a DGENRE line
  int32_t year = 0;
  disc.revision = -1;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::wstring& line = lines[i];
    if (line[0] == L'.') break;
    if (line.compare(0, std::wcslen(kRevisionComment), kRevisionComment) == 0)
      TakeRevision(line, disc.revision);
    const XmcdKeywordId keyword = XmcdKeyword(line);
    switch (keyword) {
      case kDiscTitle:
      case kTrackTitle:
        CddbSession::ParseTitleLine(line, keyword, titles);
        break;
      case kDiscYear:
        year = DecimalText::ParseInt(XmcdValue(line));
        break;
      case kDiscGenre:
        genre = XmcdValue(line);
        break;
      default:
        break;
    }
  }

  disc.entries.assign(count, DbCore::TrackRecord());
  disc.entries[0].artist = kDefaultArtist;
  if (!titles[0].empty()) TakeTitle(titles[0], kDefaultArtist, disc.entries[0]);
  for (std::size_t e = 1; e < count; ++e)
    if (!titles[e].empty()) TakeTitle(titles[e], disc.entries[0].artist, disc.entries[e]);
  for (DbCore::TrackRecord& e : disc.entries) {
    e.genre = genre;
    e.year = year;
  }
}

}  // namespace Cddb

void CddbSession::ParseTitleLine(const std::wstring& line, Cddb::XmcdKeywordId keyword,
                                 std::vector<std::wstring>& titles) {
  const std::size_t eq = line.find(L'=');
  if (eq == std::wstring::npos || eq + 1 >= line.size()) return;
  std::size_t entry = 0;
  if (keyword != Cddb::kDiscTitle) {
    const std::size_t start = std::wcslen(Cddb::XmcdKeywordText(keyword));
    if (eq <= start) return;
    std::size_t n = 0;
    for (std::size_t pos = start; pos < eq; ++pos) {
      if (line[pos] < L'0' || line[pos] > L'9') return;
      n = n * 10 + (line[pos] - L'0');
      if (n >= titles.size()) return;  // beyond every entry
    }
    entry = n + 1;
  }
  if (entry < titles.size()) titles[entry] += line.substr(eq + 1);
}

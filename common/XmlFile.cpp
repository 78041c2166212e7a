#include "common/XmlFile.h"

#include <windows.h>

#include <io.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

#include "tinyxml.h"

namespace XmlFile {
namespace {

// A strict, non-recursive well-formedness check. It accepts a subset of XML in
// which TinyXML, in either of its encoding modes, sees exactly the structure
// seen here: valid UTF-8 throughout, quoted attributes, well-formed references,
// matching end tags, declarations only between top-level nodes, no DOCTYPE or
// other processing instructions, and no characters that TinyXML would skip as
// white space where XML does not.
class Checker {
 public:
  explicit Checker(const std::string& text) : s_(text) {}

  bool Run() {
    if (Starts("\xEF\xBB\xBF")) i_ = 3;
    bool sawElement = false;
    while (i_ < s_.size()) {
      if (Peek() != '<') {
        if (open_.empty()) {
          if (!IsSpace(Peek())) return false;
          ++i_;
        } else if (!ContentChar()) {
          return false;
        }
        continue;
      }
      bool ok;
      if (Starts("<!--")) {
        ok = SkipPast(4, "-->");
      } else if (Starts("<![CDATA[")) {
        ok = !open_.empty() && SkipPast(9, "]]>");
      } else if (Starts("<?")) {
        ok = open_.empty() && Declaration();
      } else if (Starts("</")) {
        ok = EndTag();
      } else if (Starts("<!")) {
        ok = false;
      } else {
        ok = StartTag();
        sawElement = true;
      }
      if (!ok) return false;
    }
    return sawElement && open_.empty();
  }

 private:
  static bool IsSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
  static bool IsAsciiLetter(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
  static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
  static bool IsHexDigit(unsigned char c) {
    return IsDigit(c) || ((c | 0x20) >= 'a' && (c | 0x20) <= 'f');
  }

  unsigned char Peek(std::size_t k = 0) const {
    return i_ + k < s_.size() ? static_cast<unsigned char>(s_[i_ + k]) : 0;
  }
  bool Starts(const char* lit) const { return s_.compare(i_, std::strlen(lit), lit) == 0; }
  bool SkipSpace() {
    const std::size_t from = i_;
    while (IsSpace(Peek())) ++i_;
    return i_ != from;
  }

  // One character of valid UTF-8, not NUL and none of the three sequences that
  // TinyXML takes for byte-order marks.
  bool Char() {
    const unsigned char b = Peek();
    int extra;
    if (b == 0) return false;
    if (b < 0x80) {
      extra = 0;
    } else if (b >= 0xC2 && b <= 0xDF) {
      extra = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      extra = 2;
    } else if (b >= 0xF0 && b <= 0xF4) {
      extra = 3;
    } else {
      return false;
    }
    for (int k = 1; k <= extra; ++k) {
      if ((Peek(k) & 0xC0) != 0x80) return false;
    }
    if (b == 0xEF && (Starts("\xEF\xBB\xBF") || Starts("\xEF\xBF\xBE") || Starts("\xEF\xBF\xBF")))
      return false;
    i_ += 1 + extra;
    return true;
  }

  bool NameChar(bool first) {
    const unsigned char c = Peek();
    if (c >= 0x80) return Char();
    if (!(IsAsciiLetter(c) || c == '_' ||
          (!first && (IsDigit(c) || c == '-' || c == '.' || c == ':')))) {
      return false;
    }
    ++i_;
    return true;
  }
  bool Name() {
    if (!NameChar(true)) return false;
    while (i_ < s_.size() && NameChar(false)) {
    }
    return true;
  }

  bool Reference() {
    ++i_;  // '&'
    if (Peek() == '#') {
      ++i_;
      const bool hex = Peek() == 'x';
      if (hex) ++i_;
      const std::size_t from = i_;
      while (hex ? IsHexDigit(Peek()) : IsDigit(Peek())) ++i_;
      if (i_ == from || i_ - from > 8) return false;
    } else {
      static const char* const kNames[] = {"amp", "lt", "gt", "quot", "apos"};
      bool known = false;
      for (const char* name : kNames) {
        if (Starts(name)) {
          i_ += std::strlen(name);
          known = true;
          break;
        }
      }
      if (!known) return false;
    }
    if (Peek() != ';') return false;
    ++i_;
    return true;
  }

  bool ContentChar() { return Peek() == '&' ? Reference() : Char(); }

  bool SkipPast(std::size_t prefix, const char* end) {
    i_ += prefix;
    while (i_ < s_.size()) {
      if (Starts(end)) {
        i_ += std::strlen(end);
        return true;
      }
      if (!Char()) return false;
    }
    return false;
  }

  bool Attribute() {
    if (!Name()) return false;
    SkipSpace();
    if (Peek() != '=') return false;
    ++i_;
    SkipSpace();
    const unsigned char quote = Peek();
    if (quote != '"' && quote != '\'') return false;
    ++i_;
    while (Peek() != quote) {
      if (Peek() == '<' || !ContentChar()) return false;
    }
    ++i_;
    return true;
  }

  bool StartTag() {
    ++i_;  // '<'
    const std::size_t nameStart = i_;
    if (!Name()) return false;
    const std::size_t nameEnd = i_;
    for (;;) {
      const bool spaced = SkipSpace();
      if (Starts("/>")) {
        i_ += 2;
        return true;
      }
      if (Peek() == '>') {
        ++i_;
        if (open_.size() >= static_cast<std::size_t>(kMaxDepth)) return false;
        open_.push_back({nameStart, nameEnd - nameStart});
        return true;
      }
      if (!spaced || !Attribute()) return false;
    }
  }

  bool EndTag() {
    if (open_.empty()) return false;
    i_ += 2;
    const auto [start, length] = open_.back();
    if (s_.compare(i_, length, s_, start, length) != 0) return false;
    i_ += length;
    SkipSpace();
    if (Peek() != '>') return false;
    ++i_;
    open_.pop_back();
    return true;
  }

  // "<?xml" with only version, encoding and standalone attributes.
  bool Declaration() {
    i_ += 2;
    static const char kXml[] = "xml";
    for (int k = 0; k < 3; ++k) {
      if ((Peek(k) | 0x20) != static_cast<unsigned char>(kXml[k])) return false;
    }
    i_ += 3;
    for (;;) {
      const bool spaced = SkipSpace();
      if (Starts("?>")) {
        i_ += 2;
        return true;
      }
      if (!spaced || !KnownDeclarationAttribute() || !Attribute()) return false;
    }
  }
  bool KnownDeclarationAttribute() const {
    static const char* const kNames[] = {"version", "encoding", "standalone"};
    for (const char* name : kNames) {
      const std::size_t n = std::strlen(name);
      if (i_ + n > s_.size()) continue;
      bool same = true;
      for (std::size_t k = 0; k < n && same; ++k) same = (Peek(k) | 0x20) == name[k];
      if (same) return true;
    }
    return false;
  }

  const std::string& s_;
  std::size_t i_ = 0;
  std::vector<std::pair<std::size_t, std::size_t>> open_;  // names of the open elements
};

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

bool ReadAll(const std::wstring& path, std::string& out) {
  FILE* raw = nullptr;
  if (_wfopen_s(&raw, path.c_str(), L"rb") != 0 || !raw) return false;
  FilePtr f(raw);
  char chunk[65536];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f.get())) > 0) {
    if (out.size() + n > kMaxBytes) return false;
    out.append(chunk, n);
  }
  return !std::ferror(f.get());
}

// CR LF and lone CR become LF, as the XML rules for line ends require.
void NormaliseLineEnds(std::string& s) {
  std::size_t w = 0;
  for (std::size_t r = 0; r < s.size(); ++r) {
    if (s[r] == '\r') {
      s[w++] = '\n';
      if (r + 1 < s.size() && s[r + 1] == '\n') ++r;
    } else {
      s[w++] = s[r];
    }
  }
  s.resize(w);
}

bool WriteAtomically(const std::wstring& path, const std::function<bool(FILE*)>& write) {
  const std::wstring temp = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(GetCurrentThreadId()) + L".tmp";
  FILE* raw = nullptr;
  if (_wfopen_s(&raw, temp.c_str(), L"w") != 0 || !raw) return false;
  bool ok = write(raw) && std::fflush(raw) == 0 && !std::ferror(raw);
  if (ok) ok = FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(raw)))) != 0;
  ok = (std::fclose(raw) == 0) && ok;
  if (ok) {
    // Another reader may hold the file open for a moment; give it a few tries.
    for (int attempt = 0; attempt < 5; ++attempt) {
      ok = MoveFileExW(temp.c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
      if (ok) break;
      Sleep(10);
    }
  }
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

bool IsNameChar(wchar_t c, bool first) {
  const unsigned u = static_cast<unsigned>(c) & 0xFFFF;
  if (u < 0x80) {
    const bool letter = ((u | 0x20) >= 'a' && (u | 0x20) <= 'z') || u == '_';
    return letter || (!first && ((u >= '0' && u <= '9') || u == '-' || u == '.'));
  }
  struct Range {
    unsigned lo, hi;
  };
  static const Range kStart[] = {{0xC0, 0xD6},     {0xD8, 0xF6},     {0xF8, 0x2FF},
                                 {0x370, 0x37D},   {0x37F, 0x1FFF},  {0x200C, 0x200D},
                                 {0x2070, 0x218F}, {0x2C00, 0x2FEF}, {0x3001, 0xD7FF},
                                 {0xF900, 0xFDCF}, {0xFDF0, 0xFEFE}, {0xFF00, 0xFFFD}};
  static const Range kMore[] = {{0xB7, 0xB7}, {0x300, 0x36F}, {0x203F, 0x2040}};
  for (const Range& r : kStart) {
    if (u >= r.lo && u <= r.hi) return true;
  }
  if (!first) {
    for (const Range& r : kMore) {
      if (u >= r.lo && u <= r.hi) return true;
    }
  }
  return false;
}

}  // namespace

bool IsXmlName(const std::wstring& name) {
  if (name.empty()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (!IsNameChar(name[i], i == 0)) return false;
  }
  return true;
}

std::wstring MakeXmlName(const std::wstring& name) {
  std::wstring out;
  for (wchar_t c : name) out += IsNameChar(c, false) ? c : L'_';
  if (out.empty() || !IsNameChar(out[0], true)) out.insert(out.begin(), L'_');
  return out;
}

bool IsWellFormed(const std::string& text) { return Checker(text).Run(); }

bool Load(const std::wstring& path, TiXmlDocument& doc) {
  std::string text;
  return ReadAll(path, text) && Parse(std::move(text), doc);
}

bool Parse(std::string text, TiXmlDocument& doc) {
  if (text.size() > kMaxBytes) return false;
  NormaliseLineEnds(text);
  if (!IsWellFormed(text)) return false;
  // TinyXML may step up to four bytes past a character's first byte.
  text.append(8, '\0');
  doc.Parse(text.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
  return !doc.Error();
}

bool Save(const std::wstring& path, const TiXmlDocument& doc) {
  return WriteAtomically(path, [&doc](FILE* f) { return doc.SaveFile(f); });
}

bool SaveText(const std::wstring& path, const std::string& text) {
  return WriteAtomically(path, [&text](FILE* f) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
  });
}

}  // namespace XmlFile

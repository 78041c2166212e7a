#include "common/XmlFile.h"

#include <windows.h>

#include <io.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>

#include "common/CodePage.h"
#include "common/Utf8.h"
#include "common/XmlParseProbe.h"
#include "tinyxml.h"

namespace XmlFile {
namespace {

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

// The code page of a declared encoding: ISO-8859-n, windows-125n or cp125n and
// US-ASCII by name; any other name byte for byte as ISO-8859-1, which is how
// the parser itself reads it.
UINT CodePageOf(const std::string& declared) {
  std::string name;
  for (char c : declared) {
    if (c != '-' && c != '_' && c != ' ')
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  const auto numberAfter = [&name](const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    if (name.compare(0, n, prefix) != 0 || name.size() == n || name.size() > n + 4) return 0;
    int value = 0;
    for (std::size_t i = n; i < name.size(); ++i) {
      if (name[i] < '0' || name[i] > '9') return 0;
      value = value * 10 + (name[i] - '0');
    }
    return value;
  };
  const int iso = numberAfter("iso8859");
  if (iso >= 1 && iso <= 15) return 28590 + iso;
  for (const char* prefix : {"windows", "cp"}) {
    const int windows = numberAfter(prefix);
    if (windows >= 1250 && windows <= 1258) return windows;
  }
  if (name == "usascii" || name == "ascii") return 20127;
  return 28591;
}

// Whether the bytes are UTF-8 as this layer writes it: sequences of up to four
// bytes, the three-byte forms of surrogates included, nothing overlong.
bool IsUtf8(const std::string& bytes) {
  const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned lead = byte(i);
    std::size_t length = 1;
    unsigned low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead < 0x80) {
      ++i;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (bytes.size() - i < length || byte(i + 1) < low || byte(i + 1) > high) return false;
    for (std::size_t k = 2; k < length; ++k)
      if ((byte(i + k) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

// A text declared in a single-byte code as UTF-8: unchanged when its bytes are
// UTF-8 already (a file saved as UTF-8 under an old declaration), else
// converted from that code page.
std::string AsUtf8(const std::string& bytes, UINT codePage) {
  if (IsUtf8(bytes)) return bytes;
  std::wstring wide = CodePage::ToWide(bytes, codePage);
  if (wide.empty()) {
    for (char c : bytes) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  }
  return Utf8::Encode(wide);
}

// The declaration of a document that was read as UTF-8 says so.
void DeclareUtf8(TiXmlDocument& doc) {
  for (TiXmlNode* node = doc.FirstChild(); node; node = node->NextSibling()) {
    if (const TiXmlDeclaration* declaration = node->ToDeclaration()) {
      doc.ReplaceChild(
          node, TiXmlDeclaration(declaration->Version(), "utf-8", declaration->Standalone()));
      break;
    }
  }
}

// TinyXML may step up to four bytes past a character's first byte.
std::string Padded(const std::string& text) { return text + std::string(8, '\0'); }

Read ParseAs(std::string text, TiXmlDocument& doc, bool utf8) {
  if (text.size() > kMaxBytes) return Read::kFailed;
  NormaliseLineEnds(text);
  const ParseLimits limits = {kMaxDepth, kMaxNodes, kMaxAttributeCompares};
  std::string padded = Padded(text);
  ParseShape shape = ProbeParse(padded.c_str(), limits, utf8);
  // The parser's single-byte mode would keep one byte of each character
  // reference, so a text declared in a single-byte code reaches it as UTF-8.
  const bool recoded = shape.legacy;
  if (recoded) {
    padded = Padded(AsUtf8(text, CodePageOf(shape.encoding)));
    shape = ProbeParse(padded.c_str(), limits, true);
  }
  if (shape.exceeded) return Read::kFailed;
  doc.Parse(padded.c_str(), nullptr,
            utf8 || recoded ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
  if (doc.Error()) return Read::kFailed;
  if (recoded) DeclareUtf8(doc);
  return shape.unread ? Read::kPartly : Read::kWhole;
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

Read Load(const std::wstring& path, TiXmlDocument& doc) {
  std::string text;
  return ReadAll(path, text) ? Parse(std::move(text), doc) : Read::kFailed;
}

Read Parse(std::string text, TiXmlDocument& doc) { return ParseAs(std::move(text), doc, false); }

Read ParseUtf8(std::string text, TiXmlDocument& doc) { return ParseAs(std::move(text), doc, true); }

bool Save(const std::wstring& path, const TiXmlDocument& doc) {
  return WriteAtomically(path, [&doc](FILE* f) { return doc.SaveFile(f); });
}

bool SaveText(const std::wstring& path, const std::string& text) {
  return WriteAtomically(path, [&text](FILE* f) {
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
  });
}

}  // namespace XmlFile

#pragma once
#include <string>

class TiXmlDocument;

// Settings and language files are untrusted input. Load hands a file to
// TinyXML unless the parser would come to harm on it: a file larger than
// kMaxBytes, or one on which the parser would nest deeper than kMaxDepth
// elements, keep more than kMaxNodes nodes or spend too long on repeated
// attributes. Save replaces a file only once the new content is completely on
// disk.
namespace XmlFile {

constexpr std::size_t kMaxBytes = 32u << 20;
constexpr int kMaxDepth = 100;
constexpr std::size_t kMaxNodes = 1u << 20;
constexpr std::size_t kMaxAttributeCompares = 1u << 24;

enum class Read {
  kFailed,  // unreadable, refused, or not parsed
  kPartly,  // parsed, but the parser left part of the text unread
  kWhole,
};

// Parses the file into doc (which should be empty). A document declared in a
// single-byte encoding is read as UTF-8: its bytes as they are when they are
// UTF-8, else converted from that code; its declaration then says UTF-8.
Read Load(const std::wstring& path, TiXmlDocument& doc);
// The same for bytes already in memory.
Read Parse(std::string text, TiXmlDocument& doc);
// The same for text known to be UTF-8, whatever it declares.
Read ParseUtf8(std::string text, TiXmlDocument& doc);

// Writes the document, or the given text, to a temporary file beside path and
// moves it over path. The file is written in text mode (CR LF line ends).
bool Save(const std::wstring& path, const TiXmlDocument& doc);
bool SaveText(const std::wstring& path, const std::string& text);

// True when name is an XML name that this layer reads back (no surrogates, no
// byte-order mark, no colon).
bool IsXmlName(const std::wstring& name);

// name with every character that may not stand in an XML name replaced by '_',
// and '_' put in front when it does not start with a letter or '_'.
std::wstring MakeXmlName(const std::wstring& name);

}  // namespace XmlFile

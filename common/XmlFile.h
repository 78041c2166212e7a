#pragma once
#include <string>

class TiXmlDocument;

// Settings and language files are untrusted input. Load reads a file only when
// it is plainly well-formed UTF-8 XML of modest size and nesting, so that the
// recursive parser never meets input that could exhaust the stack or lead it
// past the end of its buffer; Save replaces a file only once the new content
// is completely on disk.
namespace XmlFile {

constexpr std::size_t kMaxBytes = 32u << 20;
constexpr int kMaxDepth = 100;

// Parses the file into doc (which should be empty); false when the file cannot
// be read, is too large, is not well-formed or TinyXML rejects it.
bool Load(const std::wstring& path, TiXmlDocument& doc);
// The same for bytes already in memory.
bool Parse(std::string text, TiXmlDocument& doc);

// True when text (line ends already normalised to LF) is well-formed XML in
// UTF-8 nested at most kMaxDepth elements deep.
bool IsWellFormed(const std::string& text);

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

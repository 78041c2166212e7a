#pragma once
#include <cstddef>
#include <string>

namespace XmlFile {

struct ParseLimits {
  int depth;                      // element nesting
  std::size_t nodes;              // nodes and attributes
  std::size_t attributeCompares;  // name comparisons made to refuse repeated attributes
};

// What TinyXML's parser goes through on a text, found without building the
// tree and without recursion.
struct ParseShape {
  int depth = 0;
  std::size_t nodes = 0;
  std::size_t attributeCompares = 0;
  bool exceeded = false;  // the walk stopped at one of the limits
  bool unread = false;    // the parser ends the document before the end of the text
  bool legacy = false;    // read in the parser's single-byte mode, chosen by
  std::string encoding;   // this declared encoding
};

// text ends in at least eight NULs: the parser steps over the bytes of a
// multi-byte character without looking at them. utf8: the parser is told that
// the text is UTF-8, and no declaration changes that.
ParseShape ProbeParse(const char* text, const ParseLimits& limits, bool utf8);

}  // namespace XmlFile

#include "common/XmlParseProbe.h"

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "tinyxml.h"

namespace XmlFile {
namespace {

// TinyXML's parser recurses once per element level, compares every attribute
// with the ones before it, and keeps every node. This walk takes the steps of
// TiXmlDocument::Parse, TiXmlElement::Parse and TiXmlElement::ReadValue in
// their order, with the parser's own routines, but keeps the open elements in
// a list; every other kind of node is read by its own Parse, which does not
// recurse. So it meets exactly the elements, attributes and nodes that the
// parser would meet, and stops at a limit before the parser could get there.
class Probe : private TiXmlDocument {
 public:
  Probe(const ParseLimits& limits, TiXmlEncoding encoding) : limits_(limits), encoding_(encoding) {}

  ParseShape Walk(const char* p) {
    if (!p || !*p) return shape_;
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    if (encoding_ == TIXML_ENCODING_UNKNOWN && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
      encoding_ = TIXML_ENCODING_UTF8;
    p = SkipWhiteSpace(p, encoding_);
    while (p && *p) {
      std::unique_ptr<TiXmlNode> node(Identify(p, encoding_));
      if (!node) break;
      p = node->ToElement() ? Element(p) : Leaf(*node, p);
      if (shape_.exceeded) break;
      if (encoding_ == TIXML_ENCODING_UNKNOWN && node->ToDeclaration())
        TakeEncoding(node->ToDeclaration()->Encoding());
      // A node that the parser gives up on without an error ends the document.
      shape_.unread = !p;
      p = SkipWhiteSpace(p, encoding_);
    }
    if (p && *p) shape_.unread = true;
    shape_.legacy = encoding_ == TIXML_ENCODING_LEGACY;
    return shape_;
  }

 private:
  // The encoding that the document's first declaration chooses.
  void TakeEncoding(const char* name) {
    if (*name == 0 || StringEqual(name, "UTF-8", true, TIXML_ENCODING_UNKNOWN) ||
        StringEqual(name, "UTF8", true, TIXML_ENCODING_UNKNOWN)) {
      encoding_ = TIXML_ENCODING_UTF8;
    } else {
      encoding_ = TIXML_ENCODING_LEGACY;
      shape_.encoding = name;
    }
  }

  bool Count() {
    if (++shape_.nodes > limits_.nodes) shape_.exceeded = true;
    return !shape_.exceeded;
  }

  const char* Leaf(TiXmlNode& node, const char* p) {
    return Count() ? node.Parse(p, nullptr, encoding_) : nullptr;
  }

  // An element and everything in it; null where the parser fails.
  const char* Element(const char* p) {
    std::vector<std::string> open;  // end tags of the elements whose content is read
    bool atChild = true;
    for (;;) {
      if (atChild) {
        const int depth = static_cast<int>(open.size()) + 1;
        shape_.depth = std::max(shape_.depth, depth);
        if (depth > limits_.depth) shape_.exceeded = true;
        if (!Count()) return nullptr;
        std::string endTag;
        bool content = false;
        p = StartTag(p, endTag, content);
        if (!p) return nullptr;
        if (content) {
          open.push_back(std::move(endTag));
        } else if (open.empty()) {
          return p;
        }
      } else {
        if (!p || !*p || !StringEqual(p, open.back().c_str(), false, encoding_)) return nullptr;
        p = SkipWhiteSpace(p + open.back().size(), encoding_);
        if (!p || *p != '>') return nullptr;
        ++p;
        open.pop_back();
        if (open.empty()) return p;
      }
      atChild = false;
      p = Content(p, atChild);
    }
  }

  // The start tag up to '>' (content follows) or "/>".
  const char* StartTag(const char* p, std::string& endTag, bool& content) {
    p = SkipWhiteSpace(p, encoding_);
    if (!p || *p != '<') return nullptr;
    std::string name;
    p = ReadName(SkipWhiteSpace(p + 1, encoding_), &name, encoding_);
    if (!p || !*p) return nullptr;
    endTag = "</" + name;
    std::set<std::string> names;
    for (;;) {
      p = SkipWhiteSpace(p, encoding_);
      if (!p || !*p) return nullptr;
      if (*p == '/') {
        ++p;
        if (*p != '>') return nullptr;
        content = false;
        return p + 1;
      }
      if (*p == '>') {
        content = true;
        return p + 1;
      }
      TiXmlAttribute attribute;
      p = attribute.Parse(p, nullptr, encoding_);
      if (!p || !*p) return nullptr;
      shape_.attributeCompares += names.size();
      if (shape_.attributeCompares > limits_.attributeCompares) shape_.exceeded = true;
      if (!Count() || !names.insert(attribute.NameTStr()).second) return nullptr;
    }
  }

  // The loop of ReadValue from p, up to the start of a child element (child
  // set) or the end of the content: an end tag, the end of the text, or null.
  const char* Content(const char* p, bool& child) {
    const char* withWhiteSpace = p;
    p = SkipWhiteSpace(p, encoding_);
    while (p && *p) {
      if (*p != '<') {
        TiXmlText text("");
        p = Leaf(text, IsWhiteSpaceCondensed() ? p : withWhiteSpace);
      } else if (StringEqual(p, "</", false, encoding_)) {
        return p;
      } else {
        std::unique_ptr<TiXmlNode> node(Identify(p, encoding_));
        if (!node) return nullptr;
        if (node->ToElement()) {
          child = true;
          return p;
        }
        p = Leaf(*node, p);
      }
      withWhiteSpace = p;
      p = SkipWhiteSpace(p, encoding_);
    }
    return p;
  }

  const ParseLimits limits_;
  TiXmlEncoding encoding_;
  ParseShape shape_;
};

}  // namespace

ParseShape ProbeParse(const char* text, const ParseLimits& limits, bool utf8) {
  return Probe(limits, utf8 ? TIXML_ENCODING_UTF8 : TIXML_ENCODING_UNKNOWN).Walk(text);
}

}  // namespace XmlFile

#include "common/XmlFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Nested(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<a>";
  for (int i = 0; i < depth; ++i) s += "</a>";
  return s;
}

// What the settings and language files may hold, and forms in which the
// parser would see a structure other than the check's, or none at all.
TEST(XmlFileCheck, AcceptsPlainXmlOnly) {
  const char* const accepted[] = {
      "<a/>",
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a b='1' "
      "c=\"&amp;&lt;&#x41;&#65;\"/>",
      "<!-- note --><a><![CDATA[<b>]]>text &gt; <!-- <c> --></a>\n",
      "<a>Caf\xC3\xA9 \xE6\x97\xA5 \xED\xA0\xBD\xED\xB8\x80</a>",
      "<a/>\n<?xml version=\"1.0\" ?>\n<metaset />\n",
      "<a:b x.y-z=\"1\" >  </a:b  >",
  };
  for (const char* text : accepted) EXPECT_TRUE(XmlFile::IsWellFormed(text)) << text;
  EXPECT_TRUE(XmlFile::IsWellFormed(Nested(XmlFile::kMaxDepth)));

  const std::string rejected[] = {
      "",
      "   ",
      "plain text",
      "<a>",
      "<a></b>",
      "<a></ab>",
      "</a>",
      "<a b=1/>",
      "<a b=\"<\"/>",
      "<a b=\"1\"c=\"2\"/>",
      "<a>&unknown;</a>",
      "<a>&#xZZ;</a>",
      "<a>\xE0</a><a>",  // a lead byte that would swallow the end tag
      "<a>\xC3</a>",     // a sequence cut short
      "<a>\xFF</a>",
      "<a \xEF\xBB\xBF b=\"1\"/>",  // taken for white space in UTF-8 mode only
      "<a>\xEF\xBB\xBF</a>",
      "<a><?xml version=\"1.0\"?></a>",
      "<?php echo ?><a/>",
      "<?xml version=\"1.0\" other=\"x\"?><a/>",
      "<!DOCTYPE a [<!ENTITY e \"x\">]><a/>",
      "<![CDATA[x]]><a/>",
      "<a/>junk",
      "<a/>\v",
      std::string("<a>\0</a>", 8),
      "< a/>",
      "<a\f/>",
  };
  for (const std::string& text : rejected) EXPECT_FALSE(XmlFile::IsWellFormed(text)) << text;
  EXPECT_FALSE(XmlFile::IsWellFormed(Nested(XmlFile::kMaxDepth + 1)));
}

}  // namespace

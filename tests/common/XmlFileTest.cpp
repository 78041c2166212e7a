#include "common/XmlFile.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tinyxml.h"

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

// Damaged copies of a real settings file: cut, bytes changed, inserted or
// dropped. The parser is never reached with anything it could crash on.
TEST(XmlFileCheck, DamagedFilesNeverCrashTheParser) {
  const std::string good =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<metaset>\n    <global />\n"
      "    <users>\n        <S_1_5_21_0_0_0_1000>\n            <mruBackup>\n"
      "                <file type=\"int\" value=\"2\" />\n"
      "                <file0 type=\"string\" value=\"C:\\Caf\xC3\xA9 &amp; &lt;x&gt;.mp3\" />\n"
      "                <file1 type='string' value=\"&#x41;\xE6\x97\xA5\" />\n"
      "            </mruBackup>\n            <!-- note -->\n"
      "            <Quality type=\"int\" value=\"160\" />\n        </S_1_5_21_0_0_0_1000>\n"
      "    </users>\n</metaset>\n";
  TiXmlDocument whole;
  ASSERT_TRUE(XmlFile::Parse(good, whole));

  std::mt19937 random(20261210);
  const char interesting[] = "<>/&;'\"=?!-[]\xE0\xEF\xBB\xBF\xC3\x80\0 \t\n\r";
  int parsed = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string damaged = good;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits && !damaged.empty(); ++e) {
      const std::size_t at = random() % damaged.size();
      const char c = random() % 2 ? interesting[random() % (sizeof interesting - 1)]
                                  : static_cast<char>(random());
      switch (random() % 4) {
        case 0:
          damaged.resize(at);
          break;
        case 1:
          damaged[at] = c;
          break;
        case 2:
          damaged.insert(damaged.begin() + at, c);
          break;
        default:
          damaged.erase(at, 1 + random() % 8);
      }
    }
    TiXmlDocument doc;
    if (XmlFile::Parse(damaged, doc)) ++parsed;
  }
  EXPECT_GT(parsed, 0);  // some damage leaves a readable file
}

}  // namespace

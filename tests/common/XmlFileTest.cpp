#include "common/XmlFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "common/XmlParseProbe.h"
#include "tinyxml.h"

namespace {

using XmlFile::Read;

std::string Nested(int depth) {
  std::string s;
  for (int i = 0; i < depth; ++i) s += "<a>";
  for (int i = 0; i < depth; ++i) s += "</a>";
  return s;
}

// Element levels of what the parser built; it keeps every element it began,
// the one it failed in included.
int TreeDepth(const TiXmlNode& node) {
  int depth = 0;
  for (const TiXmlElement* e = node.FirstChildElement(); e; e = e->NextSiblingElement())
    depth = std::max(depth, 1 + TreeDepth(*e));
  return depth;
}

// Whatever TinyXML parses is loaded; refused are only the texts that would
// harm the parser, and the ones it cannot parse.
TEST(XmlFileRead, LoadsWhatTheParserReadsAndRefusesWhatWouldHarmIt) {
  std::string manyNodes = "<a>";
  for (std::size_t i = 0; i < XmlFile::kMaxNodes; ++i) manyNodes += "<b/>";
  manyNodes += "</a>";
  std::string manyAttributes = "<a";
  for (int i = 0; i < 20000; ++i) manyAttributes += " a" + std::to_string(i) + "=''";
  manyAttributes += "/>";
  std::string unclosed;
  for (int i = 0; i < 200000; ++i) unclosed += "<a>";

  const struct {
    std::string text;
    Read read;
  } cases[] = {
      {"<a/>", Read::kWhole},
      {"\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<a b='1' c=\"&amp;&#x41;\"/>",
       Read::kWhole},
      {"<a>Caf\xC3\xA9 \xE6\x97\xA5 \xED\xA0\xBD\xED\xB8\x80</a>", Read::kWhole},
      {"<a v=\"\xEF\xBB\xBF \xEF\xBF\xBE \xEF\xBF\xBF\">\xEF\xBB\xBF</a>", Read::kWhole},
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a v=\"Caf\xE9\"/>", Read::kWhole},
      {"<!DOCTYPE a SYSTEM \"a.dtd\"><a/>", Read::kWhole},
      {"<?php echo ?><a><?pi x?></a>", Read::kWhole},
      {"<a/>\n<?xml version=\"1.0\" ?>\n<metaset />\n", Read::kWhole},
      {Nested(XmlFile::kMaxDepth), Read::kWhole},
      {"<a/>junk<b/>", Read::kPartly},
      {"<!DOCTYPE a [<!ENTITY e \"x\">]><a/>", Read::kPartly},  // up to the first '>' only
      {"", Read::kFailed},
      {"   ", Read::kFailed},
      {"plain text", Read::kFailed},
      {"<a>", Read::kFailed},
      {"<a></b>", Read::kFailed},
      {"<a b='1' b='2'/>", Read::kFailed},
      {"<?xml version=\"1.0\"?><a>\xE0</a>", Read::kFailed},  // the lead byte takes "</"
      {std::string("<a>\0</a>", 8), Read::kFailed},
      {Nested(XmlFile::kMaxDepth + 1), Read::kFailed},
      {unclosed, Read::kFailed},
      {manyNodes, Read::kFailed},
      {manyAttributes, Read::kFailed},
  };
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    TiXmlDocument doc;
    EXPECT_EQ(cases[i].read, XmlFile::Parse(cases[i].text, doc)) << i;
  }
}

// A document declared in a single-byte code is read as UTF-8: bytes that are
// UTF-8 already stay as they are, other bytes come from that code, and
// character references keep their value either way.
TEST(XmlFileRead, ADocumentInAnotherEncodingIsReadAsUtf8) {
  const char* const latin = "r\xE9";     // the root's name é in ISO-8859-1
  const char* const utf8 = "r\xC3\xA9";  // and in UTF-8, as it is read
  const struct {
    const char* encoding;
    const char* name;
    const char* bytes;
    const char* utf8;
  } cases[] = {
      {"ISO-8859-1", latin, "Caf\xE9", "Caf\xC3\xA9"},
      {"latin1", latin, "\xFC", "\xC3\xBC"},
      {"windows-1252", latin, "\x80", "\xE2\x82\xAC"},
      {"iso-8859-15", latin, "\xA4", "\xE2\x82\xAC"},
      {"x-unknown", latin, "\xE9", "\xC3\xA9"},
      {"ISO-8859-1", utf8, "Caf\xC3\xA9", "Caf\xC3\xA9"},
      {"windows-1252", utf8, "\xE2\x82\xAC \xE6\x9D\xB1", "\xE2\x82\xAC \xE6\x9D\xB1"},
      {"ISO-8859-1", utf8, "\xED\xA0\xBD\xED\xB8\x80", "\xED\xA0\xBD\xED\xB8\x80"},
      {"ISO-8859-1", utf8, "\xF0\x9F\x8E\xB5", "\xF0\x9F\x8E\xB5"},
      {"ISO-8859-1", latin, "\xC3", "\xC3\x83"},                          // cut short
      {"ISO-8859-1", latin, "\xC0\xA9", "\xC3\x80\xC2\xA9"},              // overlong
      {"ISO-8859-1", latin, "\xC3\xA9\xE9", "\xC3\x83\xC2\xA9\xC3\xA9"},  // one stray byte
      {"windows-1252", utf8, "&#x20AC;&#x6771;&#xE9;", "\xE2\x82\xAC\xE6\x9D\xB1\xC3\xA9"},
      {"windows-1252", latin, "\x80&#x6771;", "\xE2\x82\xAC\xE6\x9D\xB1"},
      {"US-ASCII", utf8, "&#x1F3B5;", "\xF0\x9F\x8E\xB5"},
  };
  for (const auto& c : cases) {
    const std::string text = std::string("<?xml version=\"1.0\" encoding=\"") + c.encoding +
                             "\"?>\n<" + c.name + " v=\"" + c.bytes + "\">" + c.bytes + "</" +
                             c.name + ">";
    TiXmlDocument doc;
    ASSERT_EQ(Read::kWhole, XmlFile::Parse(text, doc)) << c.bytes;
    const TiXmlElement* root = doc.RootElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(utf8, root->ValueStr()) << c.bytes;
    EXPECT_STREQ(c.utf8, root->Attribute("v")) << c.bytes;
    EXPECT_STREQ(c.utf8, root->GetText()) << c.bytes;
    ASSERT_TRUE(doc.FirstChild()->ToDeclaration());
    EXPECT_STREQ("utf-8", doc.FirstChild()->ToDeclaration()->Encoding());
    EXPECT_STREQ("1.0", doc.FirstChild()->ToDeclaration()->Version());
  }
}

// The probe meets the elements that the parser meets, in either of the
// parser's ways to choose the encoding.
void ExpectTheProbesDepth(const std::string& text, bool utf8) {
  const std::string padded = text + std::string(8, '\0');
  const XmlFile::ParseShape shape =
      XmlFile::ProbeParse(padded.c_str(), {1000, 1u << 20, 1u << 20}, utf8);
  TiXmlDocument direct;
  direct.Parse(padded.c_str(), nullptr, utf8 ? TIXML_ENCODING_UTF8 : TIXML_DEFAULT_ENCODING);
  ASSERT_EQ(TreeDepth(direct), shape.depth) << text;
}

// Where the parser stops early, or reads other elements than XML would.
TEST(XmlFileRead, TheProbeFollowsTheParsersQuirks) {
  const char* const texts[] = {
      "<a><b x='1' x='2'><c/></b></a>",
      "<a><b/ ><c/></a>",
      "<a><b>\xE0</b><c><d/></c></a>",
      "<a><b x=\"\xF0\"/><c><d/></c></a>",
      "\xEF\xBB\xBF<a><\xEF\xBB\xBF b/><c><d/></c></a>",
      "<a x=y><b/></a>",
      "<a x=y'><b/></a>",
      "<a><![CDATA[<b>]]><c><d/></c></a>",
      "<a><!-- <b> --><c/></a>",
      "<a><!DOCTYPE <b>x</b>><c><d/></c></a>",
      "<a></ab><b/></a>",
      "<a></a ><b><c/></b>",
      "<?xml version='1.0' encoding='latin1'?><a>\xE0<b><c/></b></a>",
      "<?xml version=><a><b/></a>",
  };
  for (const char* text : texts) {
    ExpectTheProbesDepth(text, false);
    ExpectTheProbesDepth(text, true);
  }
}

// Damaged copies of real settings and language files: cut, bytes changed,
// inserted or dropped. The parser is never reached with anything it could
// crash on, and the probe meets exactly the elements that the parser meets.
TEST(XmlFileRead, DamagedFilesNeverCrashTheParser) {
  const std::string settings =
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<metaset>\n    <global />\n"
      "    <users>\n        <S_1_5_21_0_0_0_1000>\n            <mruBackup>\n"
      "                <file type=\"int\" value=\"2\" />\n"
      "                <file0 type=\"string\" value=\"C:\\Caf\xC3\xA9 &amp; &lt;x&gt;.mp3\" />\n"
      "                <file1 type='string' value=\"&#x41;\xE6\x97\xA5\xEF\xBF\xBE\" />\n"
      "            </mruBackup>\n            <!-- note -->\n"
      "            <Quality type=\"int\" value=\"160\" />\n        </S_1_5_21_0_0_0_1000>\n"
      "    </users>\n</metaset>\n";
  const std::string language =
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<!DOCTYPE T SYSTEM \"t.dtd\">\n"
      "<T lang=\"it\">\n  <STRINGS>\n    <CANCEL name=\"Annull\xE9\"/>\n"
      "    <X name=\"a\\nb\"><![CDATA[<b>]]><?pi x?></X>\n  </STRINGS>\n"
      "  <IDD_A name=\"Titolo\"><IDC_B name=\"&#233;\">t <i>u</i></IDC_B></IDD_A>\n</T>\n";

  std::mt19937 random(20261210);
  const char interesting[] = "<>/&;'\"=?!-[]\xE0\xEF\xBB\xBF\xF0\xC3\x80\0 \t\n\r";
  for (const std::string& good : {settings, language}) {
    TiXmlDocument whole;
    ASSERT_EQ(Read::kWhole, XmlFile::Parse(good, whole));
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
      if (XmlFile::Parse(damaged, doc) != Read::kFailed) ++parsed;

      // The damage leaves the nesting shallow, so the parser may see it raw.
      ExpectTheProbesDepth(damaged, round % 2 == 1);
    }
    EXPECT_GT(parsed, 0);  // some damage leaves a readable file
  }
}

}  // namespace

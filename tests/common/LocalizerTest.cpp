// The localizer is one object per process; ctest runs every test in a process
// of its own, so each test starts without a language.
#include "common/Localizer.h"

#include <gtest/gtest.h>

#include "tests/common/LanguageFolders.h"
#include "tests/common/language-fixture/Literals.h"
#include "tests/support/TempDir.h"

namespace {

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The text as a window would show it: up to the first NUL.
std::wstring Shown(const std::wstring& text) { return text.c_str(); }

class LocalizerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  }
  void TearDown() override { CoUninitialize(); }

  LanguageFolders lang_;
};

TEST_F(LocalizerTest, WithoutALanguageFileTheEnglishTextIsShown) {
  EXPECT_FALSE(Localizer::LoadLanguageFile(L"1031", lang_.app()));
  struct {
    const wchar_t* literal;
    const wchar_t* shown;
  } const cases[] = {
      {L"Cancel{CANCEL}", L"Cancel"},
      {L"{IDD_WIZ97_PROGRESS}", L""},
      {L"no braces at all", L"no braces at all"},
      {L"Hello{KEY} world", L"Hello"},
      {L"a}b{c", L"a}b{c"},
      {L"open{ only", L"open{ only"},
      {L"{}", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Localizer::Translate(c.literal)) << c.literal;
  EXPECT_EQ(std::wstring(L"MP3 files\0*.mp3\0all files\0*.*\0", 30),
            Localizer::TranslateFilter(L"MP3 files|*.mp3|all files|*.*|{MP3_FILTER}"));
  EXPECT_EQ(std::wstring(L"mp3\0", 4), Localizer::TranslateFilter(L"mp3|{FTYPE_MP3}"));
  EXPECT_EQ(L"", Localizer::GetHelpFilePath());
}

TEST(LocalizerUnescape, ResolvesTheEscapesOfTranslations) {
  struct {
    const wchar_t* in;
    std::wstring out;
  } const cases[] = {
      {L"Line\\none", L"Line\none"},
      {L"C:\\\\temp", L"C:\\temp"},
      {L"a\\qb", L"aqb"},
      {L"a\\0b", std::wstring(L"a\0b", 3)},
      {L"\\r\\t\\x", L"\r\t "},
      {L"end\\", L"end"},
      {L"\\\\n", L"\\n"},
      {L"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, Localizer::Unescape(c.in)) << c.in;
}

TEST_F(LocalizerTest, LiteralsAreTranslatedFromTheLanguageFile) {
  lang_.PutLanguage(1031,
                    {{"CANCEL", "Abbrechen"},
                     {"KEY", "Hallo"},
                     {"EMPTY", ""},
                     {"LINES", "Zeile\\neins"},
                     {"PATH", "C:\\\\temp"},
                     {"ODD", "a\\qb"},
                     {"CUT", "a\\0b"},
                     {"UMLAUT",
                      "Schlie\xc3\x9f"
                      "en &amp; &#x41;"},
                     {"MP3_FILTER", "MP3-Dateien|*.mp3"}},
                    "<NAME name=\"not a string\"/>\n");
  ASSERT_TRUE(Localizer::LoadLanguageFile(L"1031", lang_.app()));
  struct {
    const wchar_t* literal;
    const wchar_t* shown;
  } const cases[] = {
      {L"Cancel{CANCEL}", L"Abbrechen"},
      {L"Hello{KEY} world", L"Hallo"},
      {L"Empty{EMPTY}", L"Empty"},
      {L"Missing{NOPE}", L"Missing"},
      {L"x{LINES}", L"Zeile\neins"},
      {L"x{PATH}", L"C:\\temp"},
      {L"x{ODD}", L"aqb"},
      {L"x{CUT}", L"a"},
      {L"x{UMLAUT}",
       L"Schlie\x00df"
       L"en & A"},
      {L"a}b{c", L"a}b{c"},
      {L"Name{NAME}", L"Name"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.shown, Shown(Localizer::Translate(c.literal))) << c.literal;
  // A translated filter without the final '|' still ends in two NULs.
  const std::wstring filter = Localizer::TranslateFilter(L"MP3 files|*.mp3|{MP3_FILTER}");
  EXPECT_EQ(std::wstring(L"MP3-Dateien\0*.mp3\0", 18), filter);
  EXPECT_EQ(L'\0', filter.c_str()[filter.size()]);
}

TEST_F(LocalizerTest, AShortcutLeadsToTheLanguageFileWhileTheHelpFileStaysBesideIt) {
  TempDir elsewhere;
  const std::wstring target = elsewhere / L"deutsch.xml";
  WriteBytes(target,
             LanguageFolders::LanguageFile(Utf8::Encode(lang_.app()), {{"CANCEL", "Abbrechen"}}));
  lang_.PutShortcut(lang_.PathOf(1031, L".xml.lnk"), target);
  const std::wstring help = lang_.Put(1031, L".chm", "ITSF");

  ASSERT_TRUE(Localizer::LoadLanguageFile(L"1031", lang_.app()));
  EXPECT_EQ(L"Abbrechen", Localizer::Translate(L"Cancel{CANCEL}"));
  EXPECT_TRUE(SamePath(help, Localizer::GetHelpFilePath())) << Localizer::GetHelpFilePath();

  // The help file may be a shortcut too.
  ASSERT_TRUE(DeleteFileW(help.c_str()));
  const std::wstring helpTarget = elsewhere / L"hilfe.chm";
  WriteBytes(helpTarget, "ITSF");
  lang_.PutShortcut(lang_.PathOf(1031, L".chm.lnk"), helpTarget);
  EXPECT_TRUE(SamePath(helpTarget, Localizer::GetHelpFilePath())) << Localizer::GetHelpFilePath();
  ASSERT_TRUE(DeleteFileW(helpTarget.c_str()));
  EXPECT_EQ(L"", Localizer::GetHelpFilePath());

  // A shortcut whose target is gone loads nothing.
  ASSERT_TRUE(DeleteFileW(target.c_str()));
  EXPECT_FALSE(Localizer::LoadLanguageFile(L"1031", lang_.app()));
}

// A bad file fails its own attempt only; the language already loaded stays.
TEST_F(LocalizerTest, BrokenOrForeignFilesAreNoLanguageFiles) {
  lang_.PutLanguage(1031, {{"CANCEL", "Abbrechen"}});
  ASSERT_TRUE(Localizer::LoadLanguageFile(L"1031", lang_.app()));

  const std::string good =
      LanguageFolders::LanguageFile(Utf8::Encode(lang_.app()), {{"CANCEL", "Annulla"}});
  std::string deep = good.substr(0, good.rfind("</"));
  for (int i = 0; i < 100000; ++i) deep += "<a>";
  std::string binary;
  for (int i = 0; i < 2048; ++i) binary += static_cast<char>((i * 37 + 11) & 0xFF);
  const std::string cases[] = {
      good.substr(0, good.size() - 10),
      deep,
      binary,
      LanguageFolders::LanguageFile("OTHERAPP", {{"CANCEL", "Annulla"}}),
      std::string("\xFF\xFE<\0T\0/\0>\0", 10),
  };
  for (const std::string& bytes : cases) {
    lang_.Put(1040, L".xml", bytes);
    EXPECT_FALSE(Localizer::LoadLanguageFile(L"1040", lang_.app()));
    EXPECT_EQ(L"Abbrechen", Localizer::Translate(L"Cancel{CANCEL}"));
  }

  // A huge translation is no reason to refuse a file.
  const std::string huge(4u << 20, 'h');
  lang_.PutLanguage(1040, {{"CANCEL", huge}});
  ASSERT_TRUE(Localizer::LoadLanguageFile(L"1040", lang_.app()));
  EXPECT_EQ(huge.size(), Localizer::Translate(L"Cancel{CANCEL}").size());
}

// A file the parser reads is a language file, whatever its encoding, DOCTYPE
// or processing instructions, and whatever characters its texts hold.
TEST_F(LocalizerTest, FilesTheParserReadsAreLoaded) {
  const std::string app = Utf8::Encode(lang_.app());
  const struct {
    std::string file;
    std::wstring shown;
  } cases[] = {
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><" + app +
           "><STRINGS><CANCEL name=\"Annull\xE9\"/></STRINGS></" + app + ">",
       L"Annull\x00e9"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><" + app +
           "><STRINGS><CANCEL name=\"\x80 5\"/></STRINGS></" + app + ">",
       L"\x20ac 5"},
      // saved as UTF-8 under an old declaration
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><" + app +
           "><STRINGS><CANCEL name=\"Annull\xC3\xA9 \xE6\x9D\xB1\"/></STRINGS></" + app + ">",
       L"Annull\x00e9 \x6771"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><" + app +
           "><STRINGS><CANCEL name=\"\x80 &#x20AC; &#x6771;\"/></STRINGS></" + app + ">",
       L"\x20ac \x20ac \x6771"},
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE " + app + " SYSTEM \"t.dtd\">\n<?translator Ann?>\n<" +
           app + "><?pi x?><STRINGS><CANCEL name=\"Annulla\"/></STRINGS></" + app + ">",
       L"Annulla"},
      {"<" + app +
           "><STRINGS><CANCEL name=\"\xEF\xBB\xBF\xEF\xBF\xBE\xEF\xBF\xBF!\"/></STRINGS></" + app +
           ">",
       L"\xfeff\xfffe\xffff!"},
  };
  for (const auto& c : cases) {
    lang_.Put(1040, L".xml", c.file);
    EXPECT_TRUE(Localizer::LoadLanguageFile(L"1040", lang_.app())) << c.file;
    EXPECT_EQ(c.shown, Localizer::Translate(L"Cancel{CANCEL}")) << c.file;
  }
}

TEST_F(LocalizerTest, TheRegistryValueChoosesTheLanguage) {
  const DWORD italian = 0x12340410;  // only the low 16 bits count
  lang_.SetRegistryLanguage(REG_DWORD, &italian, sizeof italian);
  lang_.PutLanguage(1040, {{"CANCEL", "Annulla"}});
  lang_.PutLanguage(GetUserDefaultUILanguage(), {{"CANCEL", "User's language"}});
  EXPECT_TRUE(Localizer::Init(lang_.app()));
  EXPECT_EQ(L"Annulla", Localizer::Translate(L"Cancel{CANCEL}"));
}

TEST_F(LocalizerTest, AValueOfAnotherTypeLeavesTheChoiceToTheUsersLanguage) {
  const wchar_t text[] = L"1040";
  lang_.SetRegistryLanguage(REG_SZ, text, sizeof text);
  lang_.PutLanguage(1040, {{"CANCEL", "Annulla"}});
  lang_.PutLanguage(GetUserDefaultUILanguage(), {{"CANCEL", "User's language"}});
  EXPECT_TRUE(Localizer::Init(lang_.app()));
  EXPECT_EQ(L"User's language", Localizer::Translate(L"Cancel{CANCEL}"));
}

TEST_F(LocalizerTest, ABrokenFileOfTheChosenLanguageFallsBackToTheUsersLanguage) {
  const DWORD italian = 1040;
  lang_.SetRegistryLanguage(REG_DWORD, &italian, sizeof italian);
  lang_.Put(1040, L".xml", "<?xml version=\"1.0\"?><broken");
  lang_.PutLanguage(Localizer::GetUserUILanguage(), {{"CANCEL", "User's language"}});
  EXPECT_TRUE(Localizer::Init(lang_.app()));
  EXPECT_EQ(L"User's language", Localizer::Translate(L"Cancel{CANCEL}"));
}

TEST_F(LocalizerTest, WhenNoLanguageLoadsTheHelpFileOfTheLastAttemptServes) {
  const DWORD italian = 1040;
  lang_.SetRegistryLanguage(REG_DWORD, &italian, sizeof italian);
  const LANGID primary = static_cast<LANGID>((Localizer::GetUserUILanguage() & 0x3FF) | 0x400);
  const std::wstring help = lang_.Put(primary, L".chm", "ITSF");
  EXPECT_FALSE(Localizer::Init(lang_.app()));
  EXPECT_EQ(L"Cancel", Localizer::Translate(L"Cancel{CANCEL}"));
  EXPECT_TRUE(SamePath(help, Localizer::GetHelpFilePath())) << Localizer::GetHelpFilePath();
}

// The online plug-in carries its own localizer, which reads the program's file.
TEST_F(LocalizerTest, APluginsOwnCopyReadsTheProgramsLanguageFile) {
  const DWORD german = 1031;
  lang_.SetRegistryLanguage(REG_DWORD, &german, sizeof german);
  lang_.PutLanguage(1031, {{"CANCEL", "Abbrechen"}});
  {
    PluginProbe plugin(L"..\\plugin_probe.dll");
    auto translate =
        plugin.Export<int (*)(const wchar_t*, const wchar_t*, const wchar_t*, wchar_t*, int)>(
            "Translate");
    ASSERT_TRUE(translate);
    wchar_t text[64] = {};
    EXPECT_EQ(
        1, translate(Settings::Root().c_str(), lang_.app().c_str(), L"Cancel{CANCEL}", text, 64));
    EXPECT_STREQ(L"Abbrechen", text);
  }
  EXPECT_EQ(L"Cancel", Localizer::Translate(L"Cancel{CANCEL}"));
}

TEST(LocalizerUiLanguage, IsTheUsersUnlessItHasNoPrimaryLanguage) {
  const LANGID user = GetUserDefaultUILanguage();
  EXPECT_EQ((user & 0x3FF) ? user : GetSystemDefaultUILanguage(), Localizer::GetUserUILanguage());
}

// The English file made from the fixture's sources gives back every literal's
// English text under its key, whatever escapes the text needed on the way.
TEST_F(LocalizerTest, TheGeneratedEnglishFileHoldsEveryLiteral) {
  ASSERT_TRUE(Localizer::LoadLanguageFile(L"1033", L"LOCFIXTURE"));
  for (int i = 0; i < kLiteralCaseCount; ++i) {
    const LiteralCase& c = kLiteralCases[i];
    EXPECT_EQ(c.english, Localizer::Translate(std::wstring(L"{") + c.key + L"}")) << c.key;
    EXPECT_EQ(c.english, Localizer::Translate(c.literal)) << c.key;
  }
}

}  // namespace

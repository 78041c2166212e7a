// Real dialogs from the fixture's templates, translated in place (needs a display).
#include <gtest/gtest.h>

#include "common/Localizer.h"
#include "tests/common/LanguageFolders.h"
#include "tests/common/language-fixture/DialogIds.h"

namespace {

INT_PTR CALLBACK NoHandler(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

std::wstring TextOf(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return text;
}

class LocalizerDialogTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (HWND dialog : dialogs_) DestroyWindow(dialog);
  }

  HWND Open(int id) {
    HWND dialog =
        CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), nullptr, NoHandler, 0);
    EXPECT_TRUE(dialog) << "dialog " << id << ", error " << GetLastError();
    dialogs_.push_back(dialog);
    return dialog;
  }
  static std::wstring Item(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

  // Translations for the fixture's dialogs, in the forms the file may take.
  void PutGerman() {
    lang_.PutLanguage(1031,
                      {{"DLG_FROM_STRINGS", "Aus den Strings"},
                       {"DLG_TRANSLATED", "not this one"},
                       {"DLG_EMPTY", "not this one either"},
                       {"LOOSE_CONTROL", "Lose"},
                       {"GREETING", "not in the nested page"}},
                      "<IDD_FIXTURE name=\"Testdialog \\n\">\n"
                      "<DLG_TRANSLATED name=\"Hier \xc3\xbc"
                      "bersetzt\\tzwei\"/>\n"
                      "<DLG_EMPTY name=\"\"/>\n"
                      "<OK name=\"Ja\"/>\n"
                      "</IDD_FIXTURE>\n"
                      "<PAGES><WELCOME name=\"Willkommen\">"
                      "<GREETING name=\"Gr\xc3\xbc\xc3\x9f"
                      " dich\"/></WELCOME></PAGES>\n");
    ASSERT_TRUE(Localizer::LoadLanguageFile(L"1031", lang_.app()));
  }

  LanguageFolders lang_;
  std::vector<HWND> dialogs_;
};

TEST_F(LocalizerDialogTest, CaptionAndControlsComeFromTheDialogsElement) {
  PutGerman();
  HWND dialog = Open(IDD_FIXTURE);
  ASSERT_TRUE(dialog);
  // A control text beyond 511 characters is read as its first 511.
  SetDlgItemTextW(dialog, IDC_LONG, std::wstring(600, L'x').c_str());
  Localizer::TranslateDialog(dialog);

  EXPECT_EQ(L"Testdialog \\n", TextOf(dialog));  // captions keep their backslashes
  struct {
    int id;
    const wchar_t* shown;
  } const cases[] = {
      {IDOK, L"Ja"},
      {IDCANCEL, L"Cancel"},
      {IDC_TRANSLATED,
       L"Hier \x00fc"
       L"bersetzt\tzwei"},
      {IDC_FROM_STRINGS, L"Aus den Strings"},
      {IDC_MISSING, L"Nowhere"},
      {IDC_NO_KEY, L"No key at all"},
      {IDC_BRACES, L"a}b"},
      {IDC_EMPTY_ENTRY, L"Empty entry"},
      {IDC_NO_KEY + 10, L"Say \"hi\""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.shown, Item(dialog, c.id)) << c.id;
  EXPECT_EQ(std::wstring(511, L'x'), Item(dialog, IDC_LONG));
}

TEST_F(LocalizerDialogTest, ACaptionKeyPathNamesNestedElements) {
  PutGerman();
  HWND dialog = Open(IDD_NESTED);
  ASSERT_TRUE(dialog);
  Localizer::TranslateDialog(dialog);
  EXPECT_EQ(L"Willkommen", TextOf(dialog));
  EXPECT_EQ(L"Gr\x00fc\x00df dich", Item(dialog, IDC_TRANSLATED));
}

// Without its own element a dialog stays English, even where STRINGS has a key.
TEST_F(LocalizerDialogTest, ADialogWithoutAnElementStaysEnglish) {
  PutGerman();
  HWND untranslated = Open(IDD_UNTRANSLATED);
  HWND plain = Open(IDD_NO_CAPTION_KEY);
  ASSERT_TRUE(untranslated && plain);
  Localizer::TranslateDialog(untranslated);
  Localizer::TranslateDialog(plain);
  EXPECT_EQ(L"Not in the file", TextOf(untranslated));
  EXPECT_EQ(L"From the strings", Item(untranslated, IDC_FROM_STRINGS));
  EXPECT_EQ(L"Plain caption", TextOf(plain));
  EXPECT_EQ(L"Loose control", Item(plain, IDC_TRANSLATED));
}

TEST_F(LocalizerDialogTest, WithoutALanguageFileTheKeysAreRemoved) {
  HWND dialog = Open(IDD_FIXTURE);
  ASSERT_TRUE(dialog);
  Localizer::TranslateDialog(dialog);
  EXPECT_EQ(L"Fixture dialog", TextOf(dialog));
  EXPECT_EQ(L"OK", Item(dialog, IDOK));
  EXPECT_EQ(L"Translated here", Item(dialog, IDC_TRANSLATED));
  EXPECT_EQ(L"a}b", Item(dialog, IDC_BRACES));
}

}  // namespace

// Runs with LC_ALL=de_CH.UTF-8, which makes Swiss German (2055) the user's
// interface language.
#include <gtest/gtest.h>

#include "common/Localizer.h"
#include "tests/common/LanguageFolders.h"

namespace {

TEST(SwissGermanUser, IsServedFromThePrimaryLanguagesFolder) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  ASSERT_EQ(2055, GetUserDefaultUILanguage());
  EXPECT_EQ(2055, Localizer::GetUserUILanguage());
  {
    LanguageFolders lang;
    const DWORD italian = 1040;  // a language without a folder
    lang.SetRegistryLanguage(REG_DWORD, &italian, sizeof italian);
    lang.PutLanguage(1031, {{"CANCEL", "Abbrechen"}});
    const std::wstring help = lang.Put(1031, L".chm", "ITSF");

    EXPECT_TRUE(Localizer::Init(lang.app()));
    EXPECT_EQ(L"Abbrechen", Localizer::Translate(L"Cancel{CANCEL}"));
    EXPECT_EQ(CSTR_EQUAL, CompareStringOrdinal(help.c_str(), -1,
                                               Localizer::GetHelpFilePath().c_str(), -1, TRUE));
  }
  CoUninitialize();
}

}  // namespace

#include "common/TextFormat.h"

#include <gtest/gtest.h>

namespace {

TEST(TextFormat, FillsOnlyThePlaceholdersItWasGiven) {
  const struct {
    const wchar_t* format;
    std::initializer_list<std::wstring> args;
    const wchar_t* result;
  } cases[] = {
      {L"The file %s has %d sectors",
       {L"C:\\a %d.mp3", L"3"},
       L"The file C:\\a %d.mp3 has 3 sectors"},
      {L"%ls and %s", {L"wide", L"narrow"}, L"wide and narrow"},
      {L"100%% of %s", {L"it"}, L"100% of it"},
      {L"%s %s %n %x %", {L"one"}, L"one %s %n %x %"},
      {L"%d%%", {}, L"%d%"},
      {L"", {L"unused"}, L""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.result, TextFormat::Fill(c.format, c.args)) << c.format;
}

}  // namespace

#include "common/DecimalText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(DecimalText, SignThenDigitsClampedToInt) {
  struct {
    const char* text;
    int value;
  } const cases[] = {
      {"1999", 1999},
      {"12abc", 12},
      {"abc", 0},
      {"", 0},
      {"-7", -7},
      {"+5", 5},
      {"-", 0},
      {"+-3", 0},
      {" 5", 0},  // nothing is skipped
      {"0x10", 0},
      {"007", 7},
      {"2147483647", INT_MAX},
      {"2147483648", INT_MAX},
      {"-2147483648", INT_MIN},
      {"-2147483649", INT_MIN},
      {"99999999999999999999999", INT_MAX},
      {"-99999999999", INT_MIN},
  };
  for (const auto& c : cases) {
    const std::string narrow = c.text;
    EXPECT_EQ(c.value, DecimalText::ParseInt(narrow)) << c.text;
    EXPECT_EQ(c.value, DecimalText::ParseInt(std::wstring(narrow.begin(), narrow.end()))) << c.text;
  }
  // Digits of other scripts are not decimal digits here.
  EXPECT_EQ(4, DecimalText::ParseInt(std::wstring(L"4\x0661")));
}

}  // namespace

#include "common/Utf8.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s += static_cast<char>(c);
  return s;
}

TEST(Utf8, EncodesAndDecodesTheTableOfForms) {
  struct {
    std::wstring text;
    std::string utf8;
  } const cases[] = {
      {L"", ""},
      {L"A", "A"},
      {std::wstring(1, L'\0'), std::string(1, '\0')},
      {L"\x00e9", Bytes({0xC3, 0xA9})},
      {L"\x20ac", Bytes({0xE2, 0x82, 0xAC})},
      {L"\xffff", Bytes({0xEF, 0xBF, 0xBF})},
      {L"\xd83d\xde00", Bytes({0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80})},
      {L"Caf\x00e9 \x65e5\x672c", Bytes({'C', 'a', 'f', 0xC3, 0xA9, ' ', 0xE6, 0x97, 0xA5, 0xE6,
                                         0x9C, 0xAC})},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.utf8, Utf8::Encode(c.text));
    EXPECT_EQ(c.text, Utf8::Decode(c.utf8));
  }
}

TEST(Utf8, EveryUnitRoundTrips) {
  std::wstring all;
  for (unsigned u = 0; u <= 0xFFFF; ++u) all += static_cast<wchar_t>(u);
  EXPECT_EQ(all, Utf8::Decode(Utf8::Encode(all)));
}

TEST(Utf8, DecodesInvalidInputAsSpecified) {
  EXPECT_EQ(L"\xf600", Utf8::Decode(Bytes({0xF0, 0x9F, 0x98, 0x80})));   // no surrogate pair
  EXPECT_EQ(L"AB", Utf8::Decode(Bytes({0x41, 0x80, 0x42})));             // stray continuation
  EXPECT_EQ(L"A", Utf8::Decode(Bytes({0x41, 0xE2, 0x82})));              // cut off at the end
  EXPECT_EQ(L"\x2042", Utf8::Decode(Bytes({0xE2, 0x41, 0x42})));         // any byte continues
  EXPECT_EQ(std::wstring(1, L'\0'), Utf8::Decode(Bytes({0xC0, 0x80})));  // overlong NUL
  EXPECT_EQ(L"AB", Utf8::Decode(Bytes({0x41, 0xF8, 0xFF, 0x42})));       // never a lead byte
}

TEST(Utf8, IntoFormsReplaceTheirOutput) {
  std::string narrow = "old";
  Utf8::EncodeInto(L"x", narrow);
  EXPECT_EQ("x", narrow);
  std::wstring wide = L"old";
  Utf8::DecodeInto("y", wide);
  EXPECT_EQ(L"y", wide);
}

}  // namespace

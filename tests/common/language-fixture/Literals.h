#pragma once

// Literals in every form the language-file generator meets, each with the key
// it carries and the English text it must yield.
struct LiteralCase {
  const wchar_t* literal;
  const wchar_t* key;
  const wchar_t* english;
};
extern const LiteralCase kLiteralCases[];
extern const int kLiteralCaseCount;

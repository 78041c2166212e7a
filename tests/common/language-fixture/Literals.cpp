#include "tests/common/language-fixture/Literals.h"

// "Commented out{COMMENTED_LINE}"
/* "Commented out{COMMENTED_BLOCK}" */
[[maybe_unused]] static const char kNarrow[] = "Narrow text{NARROW}";
[[maybe_unused]] static const int kBig = 1'000'000;  // digit separators are no character literals
[[maybe_unused]] static const char kQuote = '"';

const LiteralCase kLiteralCases[] = {
    {L"Plain text{PLAIN}", L"PLAIN", L"Plain text"},
    {L"C:\\temp\\new{BACKSLASH}", L"BACKSLASH", L"C:\\temp\\new"},
    {L"Line one\nLine two\tTabbed\r{CONTROL}", L"CONTROL", L"Line one\nLine two\tTabbed\r"},
    {L"Quotes \"q\" and 'a' & <b>{MARKUP}", L"MARKUP", L"Quotes \"q\" and 'a' & <b>"},
    {L"Caf\u00e9 \u65e5\u672c{ESCAPED_UNICODE}", L"ESCAPED_UNICODE", L"Caf\u00e9 \u65e5\u672c"},
    {L"Stra\u00dfe{SOURCE_UNICODE}", L"SOURCE_UNICODE", L"Straße"},
    {L"First part, "  // a comment between the parts
     L"second part{JOINED}",
     L"JOINED", L"First part, second part"},
    {L"Tab\x09here{HEX}", L"HEX", L"Tab\there"},
    {LR"(raw \n stays{RAW})", L"RAW", L"raw \\n stays"},
    {L"Hello{AFTER} world", L"AFTER", L"Hello"},
    {L"MP3 files|*.mp3|all files|*.*|{FILTER}", L"FILTER", L"MP3 files|*.mp3|all files|*.*|"},
    {L"txt|{DEFAULT_EXTENSION}", L"DEFAULT_EXTENSION", L"txt"},
    {L"txt{DEFAULT_EXTENSION}", L"DEFAULT_EXTENSION", L"txt"},
    {L"{ONLY_KEY}", L"ONLY_KEY", L""},
    {L"  spaced  {SPACED}", L"SPACED", L"  spaced  "},
    {L"Narrow text{NARROW}", L"NARROW", L"Narrow text"},
};
const int kLiteralCaseCount = sizeof kLiteralCases / sizeof kLiteralCases[0];

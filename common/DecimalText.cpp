#include "common/DecimalText.h"

#include <climits>

namespace DecimalText {
namespace {

template <typename Text>
int ParseClamped(const Text& text) {
  std::size_t pos = 0;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
  long long value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = value * 10 + (text[pos] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

}  // namespace

int ParseInt(const std::wstring& text) { return ParseClamped(text); }

int ParseInt(const std::string& text) { return ParseClamped(text); }

}  // namespace DecimalText

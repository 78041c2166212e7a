#include "common/TextFormat.h"

namespace TextFormat {

std::wstring Fill(const std::wstring& format, std::initializer_list<std::wstring> args) {
  std::wstring out;
  auto next = args.begin();
  for (std::size_t i = 0; i < format.size(); ++i) {
    if (format[i] != L'%') {
      out += format[i];
      continue;
    }
    const std::wstring rest = format.substr(i + 1, 2);
    std::size_t length = 0;
    if (rest.compare(0, 1, L"%") == 0) {
      out += L'%';
      ++i;
      continue;
    }
    if (rest.compare(0, 1, L"s") == 0 || rest.compare(0, 1, L"d") == 0) length = 1;
    if (rest == L"ls") length = 2;
    if (length == 0 || next == args.end()) {
      out += L'%';
      continue;
    }
    out += *next++;
    i += length;
  }
  return out;
}

}  // namespace TextFormat

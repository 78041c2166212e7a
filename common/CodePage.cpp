#include "common/CodePage.h"

namespace CodePage {

std::string FromWide(const std::wstring& text, UINT codePage) {
  if (text.empty()) return std::string();
  const int length = static_cast<int>(text.size());
  const int size =
      WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(codePage, 0, text.data(), length, &out[0], size, nullptr, nullptr) !=
      size)
    return std::string();
  return out;
}

std::wstring ToWide(const std::string& bytes, UINT codePage) {
  if (bytes.empty()) return std::wstring();
  const int length = static_cast<int>(bytes.size());
  const int size = MultiByteToWideChar(codePage, 0, bytes.data(), length, nullptr, 0);
  if (size <= 0) return std::wstring();
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(codePage, 0, bytes.data(), length, &out[0], size) != size)
    return std::wstring();
  return out;
}

}  // namespace CodePage

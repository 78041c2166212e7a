#include "common/Utf8.h"

namespace Utf8 {

void EncodeInto(const std::wstring& text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (wchar_t wc : text) {
    const unsigned u = static_cast<unsigned>(wc) & 0xFFFF;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
}

void DecodeInto(const std::string& bytes, std::wstring& out) {
  out.clear();
  out.reserve(bytes.size());
  unsigned pending = 0;
  unsigned value = 0;
  for (char c : bytes) {
    const unsigned b = static_cast<unsigned char>(c);
    if (pending != 0) {
      value = (value << 6) | (b & 0x3F);
      if (--pending == 0) out += static_cast<wchar_t>(value & 0xFFFF);
    } else if (b < 0x80) {
      out += static_cast<wchar_t>(b);
    } else if (b < 0xC0 || b >= 0xF8) {
      continue;  // stray continuation byte, or no lead byte at all
    } else if (b >= 0xF0) {
      pending = 3;
      value = b & 0x0F;
    } else if (b >= 0xE0) {
      pending = 2;
      value = b & 0x1F;
    } else {
      pending = 1;
      value = b & 0x3F;
    }
  }
}

std::string Encode(const std::wstring& text) {
  std::string out;
  EncodeInto(text, out);
  return out;
}

std::wstring Decode(const std::string& bytes) {
  std::wstring out;
  DecodeInto(bytes, out);
  return out;
}

}  // namespace Utf8

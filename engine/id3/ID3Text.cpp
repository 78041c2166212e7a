#include "engine/id3/ID3TagLibImpl.h"

namespace ID3 {
namespace {

const unsigned char kLatin1 = 0x00;
const unsigned char kUtf16 = 0x01;

}  // namespace

bool FitsLatin1(const std::wstring& text) {
  for (wchar_t c : text)
    if (static_cast<unsigned long>(c) > 0xFF) return false;
  return true;
}

// ISO-8859-1, or UTF-16 with a big-endian byte-order mark; no terminator.
Bytes ID3TagLibImpl::EncodeText(const std::wstring& text) const {
  Bytes out;
  if (FitsLatin1(text)) {
    out.reserve(text.size() + 1);
    out.push_back(kLatin1);
    for (wchar_t c : text) out.push_back(static_cast<unsigned char>(c));
    return out;
  }
  out.reserve(2 * text.size() + 3);
  out.push_back(kUtf16);
  out.push_back(0xFE);
  out.push_back(0xFF);
  for (wchar_t c : text) {
    out.push_back(static_cast<unsigned char>((c >> 8) & 0xFF));
    out.push_back(static_cast<unsigned char>(c & 0xFF));
  }
  return out;
}

std::wstring ID3TagLibImpl::DecodeText(const Bytes& data) const {
  std::wstring text;
  if (data.empty()) return text;
  if (data[0] == kLatin1) {
    for (std::size_t i = 1; i < data.size() && data[i] != 0; ++i) text.push_back(data[i]);
    return text;
  }
  if (data[0] != kUtf16 || data.size() <= 2) return text;
  std::size_t i = 1;
  bool bigEndian = false;
  if (data[1] == 0xFF && data[2] == 0xFE) {
    i = 3;
  } else if (data[1] == 0xFE && data[2] == 0xFF) {
    i = 3;
    bigEndian = true;
  }
  for (; i + 1 < data.size(); i += 2) {
    const unsigned unit = bigEndian ? data[i] << 8 | data[i + 1] : data[i] | data[i + 1] << 8;
    if (unit == 0) break;
    text.push_back(static_cast<wchar_t>(unit));
  }
  return text;
}

}  // namespace ID3

#pragma once
#include <string>

// UTF-16 <-> UTF-8, unit by unit: surrogates are never paired, so whatever the
// encoder writes decodes back unchanged. Invalid input is skipped, never reported.
// For the settings and language files; what the online plug-in sends is standard
// UTF-8, written by Cddb::ToUtf8 (VOVudorod/Ombrel/CddbText.h).
namespace Utf8 {
void EncodeInto(const std::wstring& text, std::string& out);
void DecodeInto(const std::string& bytes, std::wstring& out);
std::string Encode(const std::wstring& text);
std::wstring Decode(const std::string& bytes);
}  // namespace Utf8

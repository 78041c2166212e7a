#pragma once
#include <windows.h>

#include <string>

// Text in the bytes of a system code page (CP_UTF8, CP_THREAD_ACP, 28591 ...)
// and back.
namespace CodePage {

// Empty when the text cannot be converted.
std::string FromWide(const std::wstring& text, UINT codePage);
std::wstring ToWide(const std::string& bytes, UINT codePage);

}  // namespace CodePage

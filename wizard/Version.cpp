#include "wizard/Version.h"

std::wstring Version::Text() {
  return std::to_wstring(kMajor) + L"." + std::to_wstring(kMinor) + L"." + std::to_wstring(kBuild) +
         L"." + std::to_wstring(kRevision);
}

const wchar_t* GetProductName() { return L"TAVRIN"; }

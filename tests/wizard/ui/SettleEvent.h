#pragma once
#include <string>

// The event by which sheet_settle.dll tells a waiting test that a sheet's
// thread took its marker: a WM_NULL posted with the test's process ID and a
// number of the test's own.
inline std::wstring SettleEventName(unsigned long long process, unsigned long long marker) {
  return L"SheetSettle-" + std::to_wstring(process) + L"-" + std::to_wstring(marker);
}

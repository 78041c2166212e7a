#pragma once
#include <windows.h>

#include <chrono>

// Wall-clock limits of the tests were set on machines that run the programs
// natively. Where they run slower (an emulated PC), the harness sets
// TAVRIN_TIME_SCALE to a whole factor that every limit is multiplied by; unset,
// it is 1, so that no limit is ever looser natively.
inline unsigned TimeScale() {
  static const unsigned scale = [] {
    wchar_t text[16] = L"";
    const DWORD length = GetEnvironmentVariableW(L"TAVRIN_TIME_SCALE", text, 16);
    if (length == 0 || length >= 16) return 1u;
    const unsigned long value = wcstoul(text, nullptr, 10);
    return value >= 1 && value <= 1000 ? static_cast<unsigned>(value) : 1u;
  }();
  return scale;
}

// A limit in milliseconds, as the system's waits take it.
inline DWORD ScaledMs(DWORD milliseconds) { return milliseconds * TimeScale(); }

// A limit as a duration.
template <class Rep, class Period>
std::chrono::duration<Rep, Period> Scaled(std::chrono::duration<Rep, Period> limit) {
  return limit * TimeScale();
}

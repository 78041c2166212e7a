#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Collects what the process writes to the debugger output while it lives.
class DebugOutput {
 public:
  DebugOutput() {
    lines().clear();
    handler_ = AddVectoredExceptionHandler(1, &Handler);
  }
  ~DebugOutput() { RemoveVectoredExceptionHandler(handler_); }
  DebugOutput(const DebugOutput&) = delete;
  DebugOutput& operator=(const DebugOutput&) = delete;

  const std::vector<std::string>& Lines() const { return lines(); }

 private:
  static std::vector<std::string>& lines() {
    static std::vector<std::string> collected;
    return collected;
  }
  static LONG CALLBACK Handler(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* r = info->ExceptionRecord;
    // The narrow form, which OutputDebugStringW raises as well.
    if (r->ExceptionCode == DBG_PRINTEXCEPTION_C && r->NumberParameters >= 2)
      lines().emplace_back(reinterpret_cast<const char*>(r->ExceptionInformation[1]),
                           r->ExceptionInformation[0] ? r->ExceptionInformation[0] - 1 : 0);
    return EXCEPTION_CONTINUE_SEARCH;
  }
  void* handler_;
};

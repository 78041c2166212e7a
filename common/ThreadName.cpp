#include "common/SysUtil.h"

namespace SysUtil {

namespace {

// The exception by which debuggers learn a thread's name, and its record.
constexpr DWORD kNameThreadException = 0x406D1388;
struct ThreadNameRecord {
  DWORD type;  // always 0x1000
  LPCSTR name;
  DWORD threadId;
  DWORD flags;
};

LONG CALLBACK EndNameException(EXCEPTION_POINTERS* info) {
  return info->ExceptionRecord->ExceptionCode == kNameThreadException ? EXCEPTION_CONTINUE_EXECUTION
                                                                      : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void SetThreadName(DWORD threadId, const std::string& name) {
  if (!IsDebuggerPresent()) return;
  Sleep(10);
  const ThreadNameRecord record = {0x1000, name.c_str(), threadId, 0};
  // The program goes on whether or not the debugger took note: the handler ends the
  // exception at once. Without the handler the exception is not raised at all.
  PVOID handler = AddVectoredExceptionHandler(1, EndNameException);
  if (handler == nullptr) return;
  RaiseException(kNameThreadException, 0, sizeof(record) / sizeof(ULONG_PTR),
                 reinterpret_cast<const ULONG_PTR*>(&record));
  RemoveVectoredExceptionHandler(handler);
}

void SetCurrentThreadName(const std::string& name) { SetThreadName(static_cast<DWORD>(-1), name); }

}  // namespace SysUtil

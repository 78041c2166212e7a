#include "common/SysUtil.h"

#include <cstddef>

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
// Debuggers read four 32-bit words on 32-bit Windows; the 64-bit record is
// three pointer-sized words, the name aligned to its pointer.
#if defined(_WIN64)
static_assert(sizeof(ThreadNameRecord) == 3 * sizeof(ULONG_PTR) &&
                  offsetof(ThreadNameRecord, name) == 8 &&
                  offsetof(ThreadNameRecord, threadId) == 16,
              "the 64-bit thread-name record");
#else
static_assert(sizeof(ThreadNameRecord) == 4 * sizeof(ULONG_PTR) && sizeof(ThreadNameRecord) == 16 &&
                  offsetof(ThreadNameRecord, name) == 4 &&
                  offsetof(ThreadNameRecord, threadId) == 8,
              "the 32-bit thread-name record: four 32-bit words");
#endif

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

// Names its threads the way the program's workers do, for a test that debugs it.
// Exits 0 once all of them have been named, whatever the debugger did.
#include <thread>

#include "common/SysUtil.h"

int main() {
  SysUtil::SetCurrentThreadName("Ripper Thread");
  DWORD workerId = 0;
  std::thread worker([&workerId] {
    workerId = GetCurrentThreadId();
    SysUtil::SetCurrentThreadName("Ombrel Lookup Thread");
  });
  worker.join();
  SysUtil::SetThreadName(workerId, "Extracter Thread");
  return 0;
}

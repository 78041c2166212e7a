#include "common/SysUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "tests/support/ProgramFolder.h"
#include "tests/support/TimeScale.h"

namespace {

int g_systemAsked = 0;
std::wstring CountingLookup(LANGID) {
  ++g_systemAsked;
  return L"";
}

std::wstring WineLocaleName(LANGID langId) {
  wchar_t buffer[LOCALE_NAME_MAX_LENGTH] = {};
  return LCIDToLocaleName(langId, buffer, LOCALE_NAME_MAX_LENGTH, 0) != 0 ? buffer : L"";
}

TEST(LocaleNamesTest, TableAgreesWithTheSystemWhereTheSystemKnowsTheName) {
  // The table's rows are the identifiers answered without asking the system.
  std::map<LANGID, std::wstring> table;
  for (unsigned id = 1; id <= 0xFFFF; ++id) {
    g_systemAsked = 0;
    const std::wstring name = SysUtil::LcidToLocaleName(static_cast<LANGID>(id), CountingLookup);
    if (g_systemAsked == 0) table[static_cast<LANGID>(id)] = name;
  }
  ASSERT_EQ(81u, table.size());

  std::map<LANGID, std::wstring> unknownToSystem;
  for (const auto& [id, name] : table) {
    const std::wstring system = WineLocaleName(id);
    if (system.empty()) {
      unknownToSystem[id] = name;
    } else {
      EXPECT_EQ(system, name) << id;
    }
  }
  const std::map<LANGID, std::wstring> serbian = {{2074, L"sr-Latn-CS"}, {3098, L"sr-Cyrl-CS"}};
  EXPECT_EQ(serbian, unknownToSystem);
}

TEST(LocaleNamesTest, FallsBackToTheSystemThenToThePrimaryLanguage) {
  struct Case {
    LANGID id;
    SysUtil::SystemLocaleLookup system;
    const wchar_t* name;
  };
  const Case cases[] = {
      {1031, CountingLookup, L"de-DE"},  // table row
      {5132, WineLocaleName, L"fr-LU"},  // not in the table, known to the system
      {2064, WineLocaleName, L"it-CH"},  // the system's own sublanguage wins
      {2064, nullptr, L"it-IT"},         // no system lookup: Italian's default row
      {2064, CountingLookup, L"it-IT"},  // system knows none: likewise
      {0x0C7F, nullptr, L""},            // primary language without a row
      {0x1FFF, WineLocaleName, L""},     // unknown everywhere
  };
  for (const Case& c : cases) EXPECT_EQ(c.name, SysUtil::LcidToLocaleName(c.id, c.system)) << c.id;

  g_systemAsked = 0;
  SysUtil::LcidToLocaleName(1031, CountingLookup);
  EXPECT_EQ(0, g_systemAsked);
  EXPECT_EQ(L"fr-LU", SysUtil::LcidToLocaleName(5132));
  EXPECT_EQ(L"de-DE", SysUtil::LcidToLocaleName(1031));
}

int g_nameExceptions = 0;
LONG CALLBACK CountNameException(EXCEPTION_POINTERS* info) {
  if (info->ExceptionRecord->ExceptionCode != 0x406D1388) return EXCEPTION_CONTINUE_SEARCH;
  ++g_nameExceptions;
  return EXCEPTION_CONTINUE_EXECUTION;
}

TEST(ThreadNameTest, WithoutADebuggerNamingNeitherWaitsNorRaises) {
  ASSERT_FALSE(IsDebuggerPresent());
  PVOID handler = AddVectoredExceptionHandler(1, CountNameException);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 50; ++i) SysUtil::SetCurrentThreadName("Ripper Thread");
  SysUtil::SetThreadName(GetCurrentThreadId(), "Recorder Thread");
  const auto elapsed = std::chrono::steady_clock::now() - start;
  RemoveVectoredExceptionHandler(handler);
  EXPECT_EQ(0, g_nameExceptions);
  EXPECT_LT(elapsed, std::chrono::milliseconds(100));  // 51 waits of 10 ms would be 510
}

// One thread name as a debugger received it.
struct SeenName {
  std::string name;
  DWORD threadId;
  bool operator==(const SeenName& o) const { return name == o.name && threadId == o.threadId; }
};

// Runs the child under a minimal debugger that answers every naming exception with
// the given status; gives the names seen and the child's exit code.
DWORD DebugChild(DWORD nameAnswer, std::vector<SeenName>& seen, std::vector<std::string>& faults) {
  std::wstring child = ProgramFolder() + L"thread_name_child.exe";
  STARTUPINFOW si = {};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(child.c_str(), nullptr, nullptr, nullptr, FALSE, DEBUG_ONLY_THIS_PROCESS,
                      nullptr, nullptr, &si, &pi)) {
    faults.push_back("cannot start the child");
    return 0xFFFFFFFF;
  }
  DWORD exitCode = 0xFFFFFFFF;
  for (;;) {
    DEBUG_EVENT ev = {};
    if (!WaitForDebugEvent(&ev, ScaledMs(20000))) {
      faults.push_back("no debug event for 20 s");
      TerminateProcess(pi.hProcess, 99);
      break;
    }
    DWORD answer = DBG_CONTINUE;
    if (ev.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
      if (ev.u.CreateProcessInfo.hFile) CloseHandle(ev.u.CreateProcessInfo.hFile);
    } else if (ev.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT) {
      if (ev.u.LoadDll.hFile) CloseHandle(ev.u.LoadDll.hFile);
    } else if (ev.dwDebugEventCode == EXCEPTION_DEBUG_EVENT) {
      const EXCEPTION_RECORD& rec = ev.u.Exception.ExceptionRecord;
      if (rec.ExceptionCode == 0x406D1388) {
        answer = nameAnswer;
        // The words of the exception hold the naming record as debuggers read it:
        // type, name, thread id and flags, laid out as in memory (four words on
        // 32-bit Windows, three on 64-bit).
        struct {
          DWORD type;
          LPCSTR name;
          DWORD threadId;
          DWORD flags;
        } record = {};
        if (rec.NumberParameters * sizeof(ULONG_PTR) != sizeof(record)) {
          faults.push_back("malformed thread-name record");
        } else {
          std::memcpy(&record, rec.ExceptionInformation, sizeof(record));
          if (record.type != 0x1000 || record.flags != 0 || rec.ExceptionFlags != 0)
            faults.push_back("malformed thread-name record");
        }
        char name[64] = {};
        SIZE_T got = 0;
        ReadProcessMemory(pi.hProcess, record.name, name, sizeof(name) - 1, &got);
        seen.push_back({name, record.threadId});
      } else if (rec.ExceptionCode != EXCEPTION_BREAKPOINT) {
        answer = DBG_EXCEPTION_NOT_HANDLED;
      }
    } else if (ev.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT) {
      exitCode = ev.u.ExitProcess.dwExitCode;
      ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, DBG_CONTINUE);
      break;
    }
    ContinueDebugEvent(ev.dwProcessId, ev.dwThreadId, answer);
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return exitCode;
}

TEST(ThreadNameTest, AnAttachedDebuggerReceivesEveryNameAndTheProgramGoesOn) {
  // Whether the debugger takes the exception or passes it back to the program.
  for (DWORD answer :
       {static_cast<DWORD>(DBG_CONTINUE), static_cast<DWORD>(DBG_EXCEPTION_NOT_HANDLED)}) {
    std::vector<SeenName> seen;
    std::vector<std::string> faults;
    EXPECT_EQ(0u, DebugChild(answer, seen, faults)) << answer;
    EXPECT_TRUE(faults.empty()) << faults.front();
    ASSERT_EQ(3u, seen.size()) << answer;
    EXPECT_EQ((SeenName{"Ripper Thread", 0xFFFFFFFF}), seen[0]);
    EXPECT_EQ((SeenName{"Ombrel Lookup Thread", 0xFFFFFFFF}), seen[1]);
    EXPECT_EQ("Extracter Thread", seen[2].name);
    EXPECT_NE(0xFFFFFFFFu, seen[2].threadId);
  }
}

}  // namespace

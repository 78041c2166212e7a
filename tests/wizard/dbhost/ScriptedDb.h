#pragma once
// Points the scripted plug-in at a script and a call log in a temporary
// folder, for this process and the sessions it opens.
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"

class ScriptedDb {
 public:
  struct Call {
    DWORD thread = 0;
    std::string text;  // "<call> <arguments>"
  };

  ScriptedDb() {
    SetEnvironmentVariableW(L"TAVRIN_SCRIPTED_DB", (dir_ / L"script.txt").c_str());
    SetEnvironmentVariableW(L"TAVRIN_SCRIPTED_DB_LOG", (dir_ / L"calls.log").c_str());
  }
  ~ScriptedDb() {
    SetEnvironmentVariableW(L"TAVRIN_SCRIPTED_DB", nullptr);
    SetEnvironmentVariableW(L"TAVRIN_SCRIPTED_DB_LOG", nullptr);
  }
  ScriptedDb(const ScriptedDb&) = delete;
  ScriptedDb& operator=(const ScriptedDb&) = delete;

  void Script(const std::string& text) { VirtualDriveSetup::Write(dir_ / L"script.txt", text); }

  std::vector<Call> Calls() const {
    std::vector<Call> calls;
    const std::vector<unsigned char> bytes = ReadFileBytes(dir_ / L"calls.log");
    const std::string text(bytes.begin(), bytes.end());
    for (size_t at = 0; at < text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(at, end - at);
      const size_t space = line.find(' ');
      calls.push_back(
          {static_cast<DWORD>(std::stoul(line.substr(0, space))), line.substr(space + 1)});
      at = end + 1;
    }
    return calls;
  }

  // The calls' texts alone, or those that start with the given name.
  std::vector<std::string> Texts(const std::string& name = "") const {
    std::vector<std::string> texts;
    for (const Call& call : Calls())
      if (call.text.compare(0, name.size(), name) == 0) texts.push_back(call.text);
    return texts;
  }

  void ClearLog() { VirtualDriveSetup::Write(dir_ / L"calls.log", ""); }

 private:
  TempDir dir_;
};

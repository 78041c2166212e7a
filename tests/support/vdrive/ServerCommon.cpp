#include "tests/support/vdrive/ServerCommon.h"

#include <cstdio>
#include <cstring>

#include "tests/support/TimeScale.h"

namespace VirtualServer {

HMODULE g_module = nullptr;
std::atomic<long> g_objects{0};

// ---- the description, reloaded when its file changes -------------------------

std::mutex g_lock;
Loaded g_loaded;

std::wstring Env(const wchar_t* name) {
  wchar_t buf[1024];
  const DWORD n = GetEnvironmentVariableW(name, buf, 1024);
  return n && n < 1024 ? std::wstring(buf, n) : std::wstring();
}

const VirtualDisc::Description& Current() {
  const std::wstring path = Env(L"TAVRIN_VDRIVE_DISCS");
  WIN32_FILE_ATTRIBUTE_DATA attr{};
  const bool exists =
      !path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attr);
  if (!exists) {
    g_loaded = Loaded();
    return g_loaded.description;
  }
  if (path != g_loaded.path || CompareFileTime(&attr.ftLastWriteTime, &g_loaded.written) != 0) {
    g_loaded = Loaded();
    std::string error;
    if (VirtualDisc::Load(path, g_loaded.description, error)) {
      g_loaded.path = path;
      g_loaded.written = attr.ftLastWriteTime;
    } else {
      g_loaded.description = VirtualDisc::Description();
      OutputDebugStringA(error.c_str());
    }
  }
  return g_loaded.description;
}

namespace {

// The log stays open (appending) while its name stays the same.
struct OpenLog {
  std::mutex lock;
  std::wstring path;
  HANDLE h = INVALID_HANDLE_VALUE;
  void Close() {
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
    path.clear();
  }
};
OpenLog g_log;

void AppendLog(const std::wstring& path, const std::string& line) {
  std::lock_guard<std::mutex> lock(g_log.lock);
  if (path != g_log.path) {
    g_log.Close();
    g_log.path = path;
    g_log.h = CreateFileW(path.c_str(), FILE_APPEND_DATA,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  DWORD put = 0;
  if (g_log.h != INVALID_HANDLE_VALUE)
    WriteFile(g_log.h, line.data(), static_cast<DWORD>(line.size()), &put, nullptr);
}

}  // namespace

void CloseLog() {
  std::lock_guard<std::mutex> lock(g_log.lock);
  g_log.Close();
}

void Log(const std::wstring& id, const BYTE* cdb, ULONG cdbSize, ULONG timeout, ULONG bufSize,
         HRESULT hr, ULONG fetched) {
  const std::wstring path = Env(L"TAVRIN_VDRIVE_LOG");
  if (path.empty()) return;
  std::string line;
  for (wchar_t c : id) line += static_cast<char>(c);
  line += " cdb=";
  char hex[4];
  for (ULONG i = 0; i < cdbSize; ++i) {
    std::snprintf(hex, sizeof hex, "%02X", cdb[i]);
    line += hex;
  }
  char tail[96];
  std::snprintf(tail, sizeof tail, " timeout=%lu buf=%lu hr=%08lX fetched=%lu\n", timeout, bufSize,
                static_cast<unsigned long>(hr), fetched);
  line += tail;
  AppendLog(path, line);
}

// ---- MMC command execution -----------------------------------------------------

HRESULT Sense(BYTE* sense, BYTE key, BYTE asc, BYTE ascq) {
  if (sense) {
    std::memset(sense, 0, Imapi2::kSenseSize);
    sense[0] = 0x70;  // current error, fixed format
    sense[2] = key;
    sense[7] = 10;
    sense[12] = asc;
    sense[13] = ascq;
  }
  return Imapi2::S_IMAPI_COMMAND_HAS_SENSE_DATA;
}

const VirtualDisc::Drive* FindDrive(const std::wstring& id) {
  for (const auto& d : Current().drives)
    if (d.id == id) return &d;
  return nullptr;
}

DriveState& StateOf(const VirtualDisc::Drive& drive) {
  auto found = g_loaded.states.find(drive.id);
  if (found == g_loaded.states.end()) {
    DriveState state;
    state.status = drive.writer.status;
    // Track-at-once, track mode 4, data block type 8, as drives come up;
    // byte 10 marks the bytes a writer must leave as they are.
    state.writeParameters.assign(52, 0);
    const unsigned char head[] = {0x05, 0x32, 0x01, 0x04, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x96};
    std::memcpy(state.writeParameters.data(), head, sizeof head);
    found = g_loaded.states.emplace(drive.id, state).first;
  }
  return found->second;
}

HRESULT ScriptedFailure(const VirtualDisc::Drive& drive, const char* call) {
  const auto found = drive.writer.failCalls.find(call);
  if (found == drive.writer.failCalls.end()) return S_OK;
  uint32_t& given = StateOf(drive).failedCalls[call];
  if (found->second.times != 0 && given >= found->second.times) return S_OK;
  ++given;
  return static_cast<HRESULT>(found->second.result);
}

std::wstring ScriptedHold(const VirtualDisc::Drive& drive, const char* call) {
  const auto found = drive.writer.holdCalls.find(call);
  return found == drive.writer.holdCalls.end()
             ? std::wstring()
             : std::wstring(found->second.begin(), found->second.end());
}

void WaitForRelease(const std::wstring& event) {
  if (event.empty()) return;
  const HANDLE h = OpenEventW(SYNCHRONIZE, FALSE, event.c_str());
  if (!h) return;
  WaitForSingleObject(h, ScaledMs(60000));
  CloseHandle(h);
}

void LogCall(const std::wstring& id, const std::string& text, HRESULT hr) {
  const std::wstring path = Env(L"TAVRIN_VDRIVE_LOG");
  if (path.empty()) return;
  std::string line;
  for (wchar_t c : id) line += static_cast<char>(c);
  char tail[32];
  std::snprintf(tail, sizeof tail, " hr=%08lX\n", static_cast<unsigned long>(hr));
  line += " call=" + text + tail;
  AppendLog(path, line);
}

std::wstring RecorderId(IUnknown* recorder) {
  IDiscRecorder2* r = nullptr;
  if (!recorder ||
      recorder->QueryInterface(__uuidof(IDiscRecorder2), reinterpret_cast<void**>(&r)) != S_OK)
    return L"";
  BSTR id = nullptr;
  std::wstring result;
  if (r->get_ActiveDiscRecorder(&id) == S_OK && id) result = id;
  SysFreeString(id);
  r->Release();
  return result;
}

}  // namespace VirtualServer

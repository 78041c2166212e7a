// A CD-database plug-in that plays a script and logs every call, for the
// program's side of the plug-in interface. The script (TAVRIN_SCRIPTED_DB)
// holds one section per disc, chosen by the TOC's last track number:
//   disc <last track>
//   match <title>|<artist>|<category>|<disc id>|<marker>
//   entry <artist>|<title>|<genre>|<extended>|<year>     (the first is the disc)
//   source <text>, revision <n>, delay <ms per query>
// and, for every disc, configure <result> and submit <result>. Each call
// appends a line to TAVRIN_SCRIPTED_DB_LOG: "<thread id> <call> <arguments>".
// Built once with all nine exports and once without SetGenre.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "VOVudorod/api/DbInterface.h"
#include "common/Utf8.h"

#define SCRIPTED_EXPORT extern "C" __declspec(dllexport)

namespace {

struct Session {
  std::vector<std::vector<std::wstring>> matches;
  std::vector<std::vector<std::wstring>> entries;
  std::wstring source;
  int32_t revision = 0;
  int32_t configure = 0;
  int32_t submit = 0;
  DWORD delay = 0;
};

std::wstring Env(const wchar_t* name) {
  wchar_t value[MAX_PATH] = L"";
  GetEnvironmentVariableW(name, value, MAX_PATH);
  return value;
}

void Log(const std::wstring& line) {
  const std::wstring path = Env(L"TAVRIN_SCRIPTED_DB_LOG");
  if (path.empty()) return;
  HANDLE f = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::string text = std::to_string(GetCurrentThreadId()) + " " + Utf8::Encode(line) + "\n";
  DWORD put = 0;
  WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &put, nullptr);
  CloseHandle(f);
}

std::vector<std::wstring> Split(const std::wstring& text) {
  std::vector<std::wstring> fields;
  size_t at = 0;
  for (;;) {
    const size_t bar = text.find(L'|', at);
    fields.push_back(text.substr(at, bar - at));
    if (bar == std::wstring::npos) return fields;
    at = bar + 1;
  }
}

Session ReadScript(int lastTrack) {
  Session session;
  FILE* f = _wfopen(Env(L"TAVRIN_SCRIPTED_DB").c_str(), L"rb");
  if (!f) return session;
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, f)) > 0;) bytes.append(buffer, n);
  fclose(f);
  const std::wstring text = Utf8::Decode(bytes);
  bool mine = false;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    const size_t space = line.find(L' ');
    const std::wstring key = line.substr(0, space);
    const std::wstring value = space == std::wstring::npos ? L"" : line.substr(space + 1);
    if (key == L"disc") mine = _wtoi(value.c_str()) == lastTrack;
    if (key == L"configure") session.configure = _wtoi(value.c_str());
    if (key == L"submit") session.submit = _wtoi(value.c_str());
    if (!mine) continue;
    if (key == L"match") session.matches.push_back(Split(value));
    if (key == L"entry") session.entries.push_back(Split(value));
    if (key == L"source") session.source = value;
    if (key == L"revision") session.revision = _wtoi(value.c_str());
    if (key == L"delay") session.delay = _wtoi(value.c_str());
  }
  return session;
}

// The interface's string-out convention.
void Out(DbString& pair, const std::wstring& text) {
  const uint32_t needed = static_cast<uint32_t>(text.size() + 1);
  if (pair.capacity == 0) {
    pair.buffer = nullptr;
    pair.capacity = needed;
  } else if (pair.buffer) {
    if (pair.capacity < needed)
      pair.buffer[0] = L'\0';
    else
      text.copy(pair.buffer, text.size()), pair.buffer[text.size()] = L'\0';
  }
}

std::wstring Field(const std::vector<std::wstring>& fields, size_t i) {
  return i < fields.size() ? fields[i] : L"";
}

std::wstring In(const DbString& pair) { return pair.buffer ? pair.buffer : L"(null)"; }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) Log(L"attach");
  if (reason == DLL_PROCESS_DETACH) Log(L"detach");
  return TRUE;
}

SCRIPTED_EXPORT DbSessionHandle CreateSession(const wchar_t* application,
                                              const unsigned char* toc) {
  // What the plug-in may read: last track × 8 + 12 bytes.
  const size_t readable = toc[3] * 8u + 12u;
  std::wstring bytes;
  for (size_t i = 0; i < readable; ++i) {
    wchar_t hex[4];
    swprintf(hex, 4, L"%02x", toc[i]);
    bytes += hex;
  }
  Log(L"CreateSession " + std::wstring(application) + L" " + bytes);
  return new Session(ReadScript(toc[3]));
}

SCRIPTED_EXPORT void CloseSession(DbSessionHandle handle) {
  Log(L"CloseSession");
  delete static_cast<Session*>(handle);
}

SCRIPTED_EXPORT uint32_t Query(DbSessionHandle handle, uint32_t index, DbMatch* out) {
  Session& s = *static_cast<Session*>(handle);
  Log(L"Query " + std::to_wstring(index) + L" " + std::to_wstring(out->title.capacity));
  if (s.delay) Sleep(s.delay);
  if (index < s.matches.size()) {
    const std::vector<std::wstring>& m = s.matches[index];
    Out(out->title, Field(m, 0));
    Out(out->artist, Field(m, 1));
    Out(out->category, Field(m, 2));
    out->discId = wcstoul(Field(m, 3).c_str(), nullptr, 16);
    out->marker = _wtoi(Field(m, 4).c_str());
  }
  return static_cast<uint32_t>(s.matches.size());
}

SCRIPTED_EXPORT uint32_t Lookup(DbSessionHandle handle, uint32_t, const wchar_t* category,
                                uint32_t discId, int32_t marker, uint32_t index, DbDiscInfo* out) {
  Session& s = *static_cast<Session*>(handle);
  wchar_t id[16];
  swprintf(id, 16, L"%08x", discId);
  Log(L"Lookup " + std::wstring(category) + L" " + id + L" " + std::to_wstring(marker) + L" " +
      std::to_wstring(index));
  if (index < s.entries.size()) {
    if (index == 0) {
      Out(out->source, s.source);
      out->discId = discId ^ 0xFFFFFFFFu;
      out->revision = s.revision;
      for (int i = 0; i < 20; ++i) out->tocHash[i] = static_cast<unsigned char>(i + 1);
    }
    const std::vector<std::wstring>& e = s.entries[index];
    Out(out->artist, Field(e, 0));
    Out(out->title, Field(e, 1));
    Out(out->genre, Field(e, 2));
    Out(out->extended, Field(e, 3));
    out->year = _wtoi(Field(e, 4).c_str());
  }
  return static_cast<uint32_t>(s.entries.size());
}

SCRIPTED_EXPORT int32_t Submit(DbSessionHandle handle, int32_t revision) {
  Log(L"Submit " + std::to_wstring(revision));
  return static_cast<Session*>(handle)->submit;
}

#ifndef SCRIPTED_WITHOUT_SET_GENRE
SCRIPTED_EXPORT void SetGenre(DbSessionHandle, const DbString*) { Log(L"SetGenre"); }
#endif

SCRIPTED_EXPORT void SetTrackInfo(DbSessionHandle, int32_t index, const DbTrackInfo* info) {
  Log(L"SetTrackInfo " + std::to_wstring(index) + L" " + In(info->artist) + L"|" + In(info->title) +
      L"|" + In(info->genre) + L"|" + In(info->extended) + L"|" + std::to_wstring(info->year));
}

SCRIPTED_EXPORT uint32_t GetConfiguration() { return 0; }

SCRIPTED_EXPORT int32_t Configure(void* parent, int32_t a, int32_t b) {
  Log(L"Configure " + std::to_wstring(a) + L" " + std::to_wstring(b) + L" " +
      (parent ? L"window" : L"none"));
  return ReadScript(-1).configure;
}

#include "common/Settings.h"

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <memory>

#include "common/SettingsXmlStore.h"
#include "common/XmlFile.h"

namespace Settings {
namespace {

int& SelectedBackend() {
  static int backend = 0;
  return backend;
}

std::wstring& RootStorage() {
  static std::wstring root = L"Velmora";
  return root;
}

XmlStore* Store() { return SelectedBackend() == BackendXmlFile ? &XmlStore::Instance() : nullptr; }

std::wstring SidKeyName() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return std::wstring();
  std::wstring name;
  DWORD size = 0;
  if (!GetTokenInformation(token, TokenUser, nullptr, 0, &size) &&
      GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
    std::unique_ptr<BYTE[]> buffer(new BYTE[size]);
    wchar_t* text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer.get(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.get())->User.Sid, &text)) {
      name = text;
      LocalFree(text);
      for (wchar_t& c : name) {
        if (c == L'-') c = L'_';
      }
    }
  }
  CloseHandle(token);
  return name;
}

std::wstring ProfileKeyName() {
  wchar_t profile[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_DEFAULT, profile)))
    return std::wstring();
  const std::wstring path = profile;
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring AccountKeyName() {
  wchar_t account[MAX_PATH];
  DWORD size = MAX_PATH;
  return GetUserNameW(account, &size) ? std::wstring(account) : std::wstring();
}

}  // namespace

void SetBackend(int backend) { SelectedBackend() = backend; }

const std::wstring& SetRoot(const std::wstring& root) { return RootStorage() = root; }

const std::wstring& Root(const wchar_t* newRoot) {
  if (newRoot) RootStorage() = newRoot;
  return RootStorage();
}

bool GetString(const std::wstring& path, std::wstring& value) {
  XmlStore* store = Store();
  return store && store->GetString(path, value);
}

bool GetInt(const std::wstring& path, int& value) {
  XmlStore* store = Store();
  return store && store->GetInt(path, value);
}

bool SetString(const std::wstring& path, const std::wstring& value, bool machine) {
  XmlStore* store = Store();
  return store && store->SetString(path, value, machine);
}

bool SetInt(const std::wstring& path, int value, bool machine) {
  XmlStore* store = Store();
  return store && store->SetInt(path, value, machine);
}

std::wstring GetUserKeyName() {
  std::wstring name = SidKeyName();
  if (name.empty()) name = ProfileKeyName();
  if (name.empty()) name = AccountKeyName();
  return XmlFile::MakeXmlName(name);
}

}  // namespace Settings

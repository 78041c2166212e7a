#include "engine/cd/CdDevice.h"

namespace CdDevice {
namespace {

// Frees a FormatMessage buffer.
struct LocalText {
  wchar_t* text = nullptr;
  ~LocalText() { LocalFree(text); }
};

std::wstring Format(DWORD source, HMODULE module, HRESULT hr) {
  LocalText buf;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS | source, module,
      static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buf.text), 0, nullptr);
  return n && buf.text ? std::wstring(buf.text, n) : std::wstring();
}

}  // namespace

std::wstring GetImapiErrorText(HRESULT hr) {
  // The service's message tables, when it is loaded; a null module would make
  // FormatMessage search the program's own image.
  for (const wchar_t* name : {L"imapi2.dll", L"imapi2fs.dll"}) {
    if (HMODULE module = GetModuleHandleW(name)) {
      std::wstring text = Format(FORMAT_MESSAGE_FROM_HMODULE, module, hr);
      if (!text.empty()) return text;
    }
  }
  return Format(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, hr);
}

}  // namespace CdDevice

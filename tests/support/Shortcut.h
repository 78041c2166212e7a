#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "common/ComPtr.h"

// Writes a shortcut to target the way the shell writes one; the first failing call's result.
inline HRESULT WriteShortcut(const std::wstring& linkPath, const std::wstring& target) {
  ComPtr<IShellLinkW> link;
  HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.PutVoid());
  if (FAILED(hr)) return hr;
  hr = link->SetPath(target.c_str());
  if (FAILED(hr)) return hr;
  ComPtr<IPersistFile> file;
  hr = link.As(file);
  return FAILED(hr) ? hr : file->Save(linkPath.c_str(), TRUE);
}

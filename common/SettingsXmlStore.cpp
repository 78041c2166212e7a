#include "common/SettingsXmlStore.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "common/CallingConvention.h"
#include "common/DecimalText.h"
#include "common/Settings.h"
#include "common/Utf8.h"
#include "common/XmlFile.h"
#include "tinyxml.h"

namespace Settings {
namespace {

const char kTemplate[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<metaset>\n<global />\n<users />\n</metaset>\n";
const char kString[] = "string";
const char kInt[] = "int";

std::vector<std::string> SplitPath(const std::wstring& path) {
  std::vector<std::string> parts;
  std::wstring part;
  for (wchar_t c : path) {
    if (c == L'\\' || c == L'/') {
      parts.push_back(Utf8::Encode(part));
      part.clear();
    } else {
      part += c;
    }
  }
  parts.push_back(Utf8::Encode(part));
  return parts;
}

bool IsStorablePath(const std::wstring& path) {
  std::wstring part;
  for (std::size_t i = 0; i <= path.size(); ++i) {
    if (i == path.size() || path[i] == L'\\' || path[i] == L'/') {
      if (!XmlFile::IsXmlName(part)) return false;
      part.clear();
    } else {
      part += path[i];
    }
  }
  return true;
}

// White space before the number is skipped, as atoi does.
int ParseIntAfterSpace(const char* text) {
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) ++text;
  return DecimalText::ParseInt(std::string(text));
}

// The shell's create-directory function, exported by ordinal only.
void CreateFolder(const std::wstring& folder) {
  using CreateDirectoryFn = int(WINAPI*)(HWND, const wchar_t*);
  PIN_BINDING(CreateDirectoryFn, ::SHCreateDirectory);
  HMODULE shell = GetModuleHandleW(L"shell32.dll");
  if (!shell) shell = LoadLibraryW(L"shell32.dll");
  if (!shell) return;
  auto create = reinterpret_cast<CreateDirectoryFn>(
      reinterpret_cast<void*>(GetProcAddress(shell, MAKEINTRESOURCEA(165))));
  if (create) create(nullptr, folder.c_str());
}

}  // namespace

XmlStore& XmlStore::Instance() {
  static XmlStore store(FilePath(), GetUserKeyName());
  return store;
}

std::wstring XmlStore::FilePath() {
  wchar_t folder[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
    return std::wstring();
  const std::wstring path = std::wstring(folder) + L"\\" + Root() + L".xml";
  const std::size_t slash = path.find_last_of(L"\\/");
  CreateFolder(path.substr(0, slash));
  return path;
}

XmlStore::XmlStore(std::wstring filePath, std::wstring userKey)
    : filePath_(std::move(filePath)),
      doc_(std::make_shared<TiXmlDocument>()),
      userKey_(std::move(userKey)) {
  if (filePath_.empty()) return;
  if (!Load()) {
    // Whatever could not be read is kept beside the new file. Where no copy
    // can be made, the file stays as it is and this run keeps its values in
    // memory only.
    if (!KeepFileAside()) {
      kept_ = true;
      XmlFile::ParseUtf8(kTemplate, *doc_);
      TakeSections();
      CompleteTree();
      return;
    }
    if (!XmlFile::SaveText(filePath_, kTemplate) || !Load()) return;
  }
  if (CompleteTree()) Save();
}

XmlStore::~XmlStore() = default;

bool XmlStore::Load() {
  auto fresh = std::make_shared<TiXmlDocument>();
  const XmlFile::Read read =
      filePath_.empty() ? XmlFile::Read::kFailed : XmlFile::Load(filePath_, *fresh);
  if (read == XmlFile::Read::kFailed) return false;
  // The next save drops what the parser left unread: only once it has a copy.
  if (read == XmlFile::Read::kPartly && !KeepFileAside()) return false;
  doc_ = fresh;
  TakeSections();
  return true;
}

bool XmlStore::Save() { return !kept_ && !filePath_.empty() && XmlFile::Save(filePath_, *doc_); }

void XmlStore::TakeSections() {
  metaset_ = doc_->FirstChildElement("metaset");
  users_ = metaset_ ? metaset_->FirstChildElement("users") : nullptr;
  global_ = metaset_ ? metaset_->FirstChildElement("global") : nullptr;
  user_ = users_ ? users_->FirstChildElement(Utf8::Encode(userKey_)) : nullptr;
}

bool XmlStore::CompleteTree() {
  bool added = false;
  if (!metaset_) {
    doc_->LinkEndChild(new TiXmlDeclaration("1.0", "", ""));
    metaset_ = doc_->LinkEndChild(new TiXmlElement("metaset"))->ToElement();
    added = true;
  }
  if (!users_) {
    users_ = metaset_->LinkEndChild(new TiXmlElement("users"))->ToElement();
    added = true;
  }
  if (!user_) {
    user_ = users_->LinkEndChild(new TiXmlElement(Utf8::Encode(userKey_)))->ToElement();
    added = true;
  }
  if (!global_) {
    global_ = metaset_->LinkEndChild(new TiXmlElement("global"))->ToElement();
    added = true;
  }
  return added;
}

bool XmlStore::KeepFileAside() const {
  if (GetFileAttributesW(filePath_.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  return CopyFileW(filePath_.c_str(), (filePath_ + L".bad").c_str(), FALSE) != 0;
}

TiXmlElement* XmlStore::Section(bool machine) const { return machine ? global_ : user_; }

TiXmlElement* XmlStore::FindElement(TiXmlElement* element, const std::wstring& path) {
  for (const std::string& part : SplitPath(path)) {
    if (!element) break;
    element = element->FirstChildElement(part);
  }
  return element;
}

TiXmlElement* XmlStore::FindOrCreateElement(TiXmlElement* element, const std::wstring& path) {
  if (!element || !IsStorablePath(path)) return nullptr;
  for (const std::string& part : SplitPath(path)) {
    TiXmlElement* child = element->FirstChildElement(part);
    if (!child) child = element->LinkEndChild(new TiXmlElement(part))->ToElement();
    element = child;
  }
  return element;
}

const TiXmlElement* XmlStore::Find(const std::wstring& path, const char* type) const {
  const TiXmlElement* element = FindElement(user_, path);
  if (!element) element = FindElement(global_, path);
  if (!element) return nullptr;
  const char* actual = element->Attribute("type");
  if (!actual || std::strcmp(actual, type) != 0) return nullptr;
  return element;
}

bool XmlStore::GetString(const std::wstring& path, std::wstring& value) const {
  const TiXmlElement* element = Find(path, kString);
  const std::string* text = element ? element->Attribute(std::string("value")) : nullptr;
  if (!text) return false;
  value = Utf8::Decode(*text);
  return true;
}

bool XmlStore::GetInt(const std::wstring& path, int& value) const {
  const TiXmlElement* element = Find(path, kInt);
  const char* text = element ? element->Attribute("value") : nullptr;
  if (!text || !*text) return false;
  value = ParseIntAfterSpace(text);
  return true;
}

bool XmlStore::SetString(const std::wstring& path, const std::wstring& value, bool machine) {
  return Set(path, kString, Utf8::Encode(value), machine);
}

bool XmlStore::SetInt(const std::wstring& path, int value, bool machine) {
  return Set(path, kInt, std::to_string(value), machine);
}

bool XmlStore::Set(const std::wstring& path, const char* type, std::string value, bool machine) {
  if (!Section(machine) || !IsStorablePath(path)) return false;
  bool replaced = false;
  for (Unsaved& u : unsaved_) {
    if (u.machine == machine && u.path == path) {
      u.type = type;
      u.value = value;
      replaced = true;
    }
  }
  if (!replaced) unsaved_.push_back({machine, path, type, std::move(value)});

  // Take what other copies stored meanwhile; a file that cannot be read any
  // more is kept aside and rewritten from this copy, or, where no copy can be
  // made, left as it is.
  if (!kept_) {
    if (Load())
      CompleteTree();
    else if (!KeepFileAside())
      kept_ = true;
  }
  for (const Unsaved& u : unsaved_) {
    TiXmlElement* element = FindOrCreateElement(Section(u.machine), u.path);
    element->SetAttribute("type", u.type);
    element->SetAttribute("value", u.value);
  }
  if (Save()) unsaved_.clear();
  return true;
}

}  // namespace Settings

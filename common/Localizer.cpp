#include "common/Localizer.h"

#include <memory>

#include "common/Boundary.h"
#include "common/SettingsRegistry.h"
#include "common/ShellUtils.h"
#include "common/Utf8.h"
#include "common/XmlFile.h"
#include "tinyxml.h"

namespace Localizer {
namespace {

constexpr int kTextBuffer = 512;

class LocalizerImpl {
 public:
  static LocalizerImpl& Instance() {
    static LocalizerImpl instance;
    return instance;
  }
  virtual ~LocalizerImpl() = default;

  // The STRINGS entry of the key, unescaped; empty when there is none.
  std::wstring LookupString(const std::string& key) const {
    const TiXmlElement* strings = root_ ? root_->FirstChildElement("STRINGS") : nullptr;
    const TiXmlElement* entry = strings ? strings->FirstChildElement(key) : nullptr;
    return entry ? TextOf(entry, true) : std::wstring();
  }

  // The element that a caption key names, walked from the root part by part.
  const TiXmlElement* DialogElement(const std::wstring& key) const {
    if (key.empty()) return nullptr;
    const TiXmlElement* element = root_;
    std::size_t start = 0;
    while (element && start <= key.size()) {
      std::size_t end = key.find_first_of(L"\\/", start);
      if (end == std::wstring::npos) end = key.size();
      element = element->FirstChildElement(Utf8::Encode(key.substr(start, end - start)));
      start = end + 1;
    }
    return element;
  }

  static std::wstring TextOf(const TiXmlElement* element, bool unescape) {
    const std::string* name = element->Attribute(std::string("name"));
    if (!name) return std::wstring();
    const std::wstring text = Utf8::Decode(*name);
    return unescape ? Unescape(text) : text;
  }

  const std::wstring& BasePath() const { return basePath_; }
  void SetBasePath(std::wstring base) { basePath_ = std::move(base); }

  // A new document replaces the current one only once it is known to be a
  // language file, so that the root never points into a discarded document.
  void Take(std::shared_ptr<TiXmlDocument> document, TiXmlElement* root) {
    document_ = std::move(document);
    root_ = root;
  }

 private:
  LocalizerImpl() = default;

  std::wstring basePath_;
  std::shared_ptr<TiXmlDocument> document_;
  TiXmlElement* root_ = nullptr;
};

// The key of a literal: the text between the last '{' and the last '}'.
bool FindKey(const std::wstring& text, std::wstring& key) {
  const std::size_t open = text.rfind(L'{');
  const std::size_t close = text.rfind(L'}');
  if (open == std::wstring::npos || close == std::wstring::npos || close < open) return false;
  key = text.substr(open + 1, close - open - 1);
  return true;
}

// The English wording of a window text: everything before the last '{'.
std::wstring EnglishOf(const std::wstring& text) { return text.substr(0, text.rfind(L'{')); }

std::wstring WindowText(HWND window) {
  wchar_t text[kTextBuffer] = {};
  GetWindowTextW(window, text, kTextBuffer);
  return text;
}

std::wstring WindowKey(const std::wstring& text) {
  std::wstring key;
  return FindKey(text, key) ? key : std::wstring();
}

// The full path of a file that stands in its folder, or else the target of a
// shortcut there named after it with ".lnk" appended; empty when neither exists.
std::wstring ResolveFileOrShortcut(const std::wstring& path) {
  const std::wstring direct = ShellUtils::ResolveExistingPath(path);
  if (!direct.empty()) return direct;
  const std::wstring link = ShellUtils::ResolveExistingPath(path + L".lnk");
  return link.empty() ? std::wstring() : ShellUtils::ResolveShortcut(link);
}

void TranslateControl(HWND window, const TiXmlElement* dialog) {
  const std::wstring text = WindowText(window);
  const std::wstring key = WindowKey(text);
  std::wstring shown;
  if (!key.empty() && dialog) {
    const std::string name = Utf8::Encode(key);
    const TiXmlElement* control = dialog->FirstChildElement(name);
    shown = control ? LocalizerImpl::TextOf(control, true)
                    : LocalizerImpl::Instance().LookupString(name);
  }
  if (shown.empty()) shown = EnglishOf(text);
  SetWindowTextW(window, shown.c_str());
}

// A control whose text cannot be made keeps the template's; the others go on.
BOOL CALLBACK TranslateControlProc(HWND window, LPARAM context) {
  Boundary::Run("the dialog translation", [window, context] {
    TranslateControl(window, reinterpret_cast<const TiXmlElement*>(context));
  });
  return TRUE;
}

}  // namespace

bool Init(const std::wstring& appName) {
  int stored;
  const LANGID first = Settings::Registry::GetInt(L"Language", stored)
                           ? static_cast<LANGID>(stored & 0xFFFF)
                           : GetUserDefaultUILanguage();
  const LANGID second = GetUserUILanguage();
  const LANGID third = static_cast<LANGID>((second & 0x3FF) | 0x400);
  for (LANGID id : {first, second, third}) {
    if (LoadLanguageFile(std::to_wstring(id), appName)) return true;
  }
  return false;
}

bool LoadLanguageFile(const std::wstring& langId, const std::wstring& appName) {
  wchar_t module[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::wstring folder = module;
  folder = folder.substr(0, folder.rfind(L'\\') + 1);
  const std::wstring base = folder + langId + L"\\" + appName;
  LocalizerImpl& impl = LocalizerImpl::Instance();
  impl.SetBasePath(base);

  const std::wstring file = ResolveFileOrShortcut(base + L".xml");
  if (file.empty()) return false;
  auto document = std::make_shared<TiXmlDocument>();
  if (XmlFile::Load(file, *document) == XmlFile::Read::kFailed) return false;
  TiXmlElement* root = document->FirstChildElement(Utf8::Encode(appName));
  if (!root) return false;
  impl.Take(std::move(document), root);
  return true;
}

std::wstring Translate(const std::wstring& text) {
  std::wstring key;
  if (!FindKey(text, key)) return text;
  const std::wstring translated = LocalizerImpl::Instance().LookupString(Utf8::Encode(key));
  return translated.empty() ? EnglishOf(text) : translated;
}

std::wstring TranslateFilter(const std::wstring& text) {
  std::wstring filter = Translate(text);
  for (wchar_t& c : filter) {
    if (c == L'|') c = L'\0';
  }
  if (filter.empty() || filter.back() != L'\0') filter += L'\0';
  return filter;
}

void TranslateDialog(HWND window) {
  const std::wstring text = WindowText(window);
  const TiXmlElement* dialog = LocalizerImpl::Instance().DialogElement(WindowKey(text));
  std::wstring caption = dialog ? LocalizerImpl::TextOf(dialog, false) : std::wstring();
  if (caption.empty()) caption = EnglishOf(text);
  SetWindowTextW(window, caption.c_str());
  EnumChildWindows(window, TranslateControlProc, reinterpret_cast<LPARAM>(dialog));
}

std::wstring GetHelpFilePath() {
  const std::wstring& base = LocalizerImpl::Instance().BasePath();
  return base.empty() ? std::wstring() : ResolveFileOrShortcut(base + L".chm");
}

LANGID GetUserUILanguage() {
  const LANGID user = GetUserDefaultUILanguage();
  return (user & 0x3FF) != 0 ? user : GetSystemDefaultUILanguage();
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) break;
    switch (text[i]) {
      case L'n':
        out += L'\n';
        break;
      case L'r':
        out += L'\r';
        break;
      case L't':
        out += L'\t';
        break;
      case L'0':
        out += L'\0';
        break;
      case L'x':
        out += L' ';
        break;
      default:
        out += text[i];
    }
  }
  return out;
}

}  // namespace Localizer

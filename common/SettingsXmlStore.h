#pragma once
#include <memory>
#include <string>
#include <vector>

class TiXmlDocument;
class TiXmlElement;

namespace Settings {

// The settings file: <metaset> holding <global> (machine-wide values) and
// <users> with one element per user; every value is an element with the
// attributes "type" ("string" or "int") and "value".
//
// Several copies of the store may share the file (the program and a plug-in
// each hold one). Every write therefore reads the file again, applies the
// values this copy has not yet saved and replaces the file in one step, so
// that no copy overwrites what another one stored.
class XmlStore {
 public:
  // The process's store, built at the first settings access.
  static XmlStore& Instance();
  // <common application data>\<root>.xml, creating its folder; empty when the
  // system has no common application-data folder.
  static std::wstring FilePath();

  XmlStore(std::wstring filePath, std::wstring userKey);
  ~XmlStore();
  XmlStore(const XmlStore&) = delete;
  XmlStore& operator=(const XmlStore&) = delete;

  bool GetString(const std::wstring& path, std::wstring& value) const;
  bool GetInt(const std::wstring& path, int& value) const;
  bool SetString(const std::wstring& path, const std::wstring& value, bool machine);
  bool SetInt(const std::wstring& path, int value, bool machine);

  // The user's element (machine false) or <global>; null while the store has
  // no sections.
  TiXmlElement* Section(bool machine) const;
  static TiXmlElement* FindElement(TiXmlElement* element, const std::wstring& path);
  // Null when a part of the path is not an XML name.
  static TiXmlElement* FindOrCreateElement(TiXmlElement* element, const std::wstring& path);

  // Reads the file into a fresh document and takes it when it parses; a file
  // that the parser read only in part is first copied to <file>.bad, and is
  // not taken when that copy fails.
  bool Load();
  bool Save();

 private:
  struct Unsaved {
    bool machine;
    std::wstring path;
    const char* type;
    std::string value;
  };

  const TiXmlElement* Find(const std::wstring& path, const char* type) const;
  bool Set(const std::wstring& path, const char* type, std::string value, bool machine);
  void TakeSections();
  bool CompleteTree();
  // Copies the file to <file>.bad; false when there is a file and no copy.
  bool KeepFileAside() const;

  std::wstring filePath_;
  std::shared_ptr<TiXmlDocument> doc_;
  std::wstring userKey_;
  TiXmlElement* metaset_ = nullptr;
  TiXmlElement* users_ = nullptr;
  TiXmlElement* user_ = nullptr;
  TiXmlElement* global_ = nullptr;
  std::vector<Unsaved> unsaved_;
  // The file could not be read and could not be kept aside: it is never
  // written over while this store lives.
  bool kept_ = false;
};

}  // namespace Settings

#include "tests/VOVudorod/jet/JetStore.h"

#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <sstream>

#include "common/Utf8.h"

namespace JetStandin {
namespace {

const char kMagic[] = "TAVRIN-JET-STANDIN 1";

std::vector<std::string> Split(const std::string& line, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = line.find(separator, start);
    parts.push_back(line.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::string Escape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        out += c;
    }
  }
  return out;
}

bool Unescape(const std::string& text, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        out += '\\';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      default:
        return false;
    }
  }
  return true;
}

bool ParseColumn(const std::string& text, ColumnDef& column) {
  const std::size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0) return false;
  column.name = Utf8::Decode(text.substr(0, colon));
  const std::string type = text.substr(colon + 1);
  if (type == "I4") {
    column.type = ColumnType::I4;
  } else if (type == "DATE") {
    column.type = ColumnType::Date;
  } else if (type.rfind("WSTR", 0) == 0 || type.rfind("STR", 0) == 0) {
    const bool wide = type[0] == 'W';
    column.type = wide ? ColumnType::WStr : ColumnType::Str;
    const std::string digits = type.substr(wide ? 4 : 3);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos) return false;
    column.width = std::strtoul(digits.c_str(), nullptr, 10);
    if (column.width == 0 || column.width > 255) return false;
  } else {
    return false;
  }
  return true;
}

bool ParseValue(const std::string& text, const ColumnDef& column, Value& value) {
  value = Value();
  if (text == "\\N") return true;
  value.null = false;
  char* end = nullptr;
  switch (column.type) {
    case ColumnType::I4: {
      const long long v = std::strtoll(text.c_str(), &end, 10);
      if (text.empty() || *end || v < INT32_MIN || v > INT32_MAX) return false;
      value.i4 = static_cast<int32_t>(v);
      return true;
    }
    case ColumnType::Date:
      value.date = std::strtod(text.c_str(), &end);
      return !text.empty() && !*end;
    case ColumnType::Str:
      return Unescape(text, value.str) && value.str.size() <= column.width;
    case ColumnType::WStr: {
      std::string bytes;
      if (!Unescape(text, bytes)) return false;
      value.wstr = Utf8::Decode(bytes);
      return value.wstr.size() <= column.width;
    }
  }
  return false;
}

std::string FormatColumn(const ColumnDef& column) {
  std::string type;
  switch (column.type) {
    case ColumnType::I4:
      type = "I4";
      break;
    case ColumnType::Date:
      type = "DATE";
      break;
    case ColumnType::Str:
      type = "STR" + std::to_string(column.width);
      break;
    case ColumnType::WStr:
      type = "WSTR" + std::to_string(column.width);
      break;
  }
  return Utf8::Encode(column.name) + ":" + type;
}

std::string FormatValue(const Value& value, const ColumnDef& column) {
  if (value.null) return "\\N";
  char number[40];
  switch (column.type) {
    case ColumnType::I4:
      std::snprintf(number, sizeof number, "%ld", static_cast<long>(value.i4));
      return number;
    case ColumnType::Date:
      std::snprintf(number, sizeof number, "%.17g", value.date);
      return number;
    case ColumnType::Str:
      return Escape(value.str);
    case ColumnType::WStr:
      return Escape(Utf8::Encode(value.wstr));
  }
  return std::string();
}

bool Parse(const std::string& content, Database& db) {
  std::istringstream in(content);
  std::string line;
  if (!std::getline(in, line)) return false;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line != kMagic) return false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("table ", 0) == 0) {
      const std::vector<std::string> words = Split(line.substr(6), ' ');
      if (words.size() < 2 || db.Find(Utf8::Decode(words[0]))) return false;
      Table table;
      table.name = Utf8::Decode(words[0]);
      for (std::size_t i = 1; i < words.size(); ++i) {
        ColumnDef column;
        if (!ParseColumn(words[i], column)) return false;
        table.columns.push_back(column);
      }
      db.tables.push_back(table);
    } else if (line.rfind("index ", 0) == 0) {
      const std::vector<std::string> words = Split(line.substr(6), ' ');
      Table* table = words.size() == 3 ? db.Find(Utf8::Decode(words[0])) : nullptr;
      if (!table) return false;
      table->indexes.push_back({Utf8::Decode(words[1]), Utf8::Decode(words[2])});
    } else if (line.rfind("limit ", 0) == 0) {
      const std::vector<std::string> words = Split(line.substr(6), ' ');
      Table* table = words.size() == 2 ? db.Find(Utf8::Decode(words[0])) : nullptr;
      if (!table) return false;
      table->limit = std::strtoul(words[1].c_str(), nullptr, 10);
    } else if (line.rfind("row ", 0) == 0) {
      const std::vector<std::string> fields = Split(line.substr(4), '\t');
      Table* table = db.Find(Utf8::Decode(fields[0]));
      if (!table || fields.size() != table->columns.size() + 1) return false;
      Row row(table->columns.size());
      for (std::size_t i = 0; i < row.size(); ++i)
        if (!ParseValue(fields[i + 1], table->columns[i], row[i])) return false;
      table->rows.push_back(row);
    } else {
      return false;
    }
  }
  return true;
}

// The engine's own lock on the file: one reader or writer at a time, in every
// process of the session, so that no one reads half a line or is refused the
// file while another writes it.
class FileLock {
 public:
  FileLock() : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\TavrinJetStandinFile")) {
    if (mutex_) WaitForSingleObject(mutex_, INFINITE);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() {
    if (!mutex_) return;
    ReleaseMutex(mutex_);
    CloseHandle(mutex_);
  }

 private:
  HANDLE mutex_;
};

}  // namespace

Table* Database::Find(const std::wstring& name) {
  for (Table& t : tables)
    if (EqualNoCase(t.name, name)) return &t;
  return nullptr;
}

LoadResult Load(const std::wstring& path, Database& db) {
  const FileLock lock;
  db = Database();
  db.path = path;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? LoadResult::Missing
                                                                          : LoadResult::Locked;
  }
  BY_HANDLE_FILE_INFORMATION info;
  db.readOnly =
      GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY);
  std::string content;
  char buffer[65536];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &read, nullptr)) && read > 0)
    content.append(buffer, read);
  CloseHandle(file);
  if (!ok) return LoadResult::Locked;
  return Parse(content, db) ? LoadResult::Ok : LoadResult::Corrupt;
}

LoadResult Create(const std::wstring& path, Database& db) {
  const FileLock lock;  // until the file has its first line
  db = Database();
  db.path = path;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? LoadResult::Exists
           : error == ERROR_PATH_NOT_FOUND                             ? LoadResult::Missing
                                                                       : LoadResult::Locked;
  }
  CloseHandle(file);
  return AppendLine(db, kMagic) ? LoadResult::Ok : LoadResult::Locked;
}

std::string TableLine(const Table& table) {
  std::string line = "table " + Utf8::Encode(table.name);
  for (const ColumnDef& column : table.columns) line += " " + FormatColumn(column);
  return line;
}

std::string IndexLine(const Table& table, const IndexDef& index) {
  return "index " + Utf8::Encode(table.name) + " " + Utf8::Encode(index.name) + " " +
         Utf8::Encode(index.column);
}

bool AppendRow(const Database& db, const Table& table, const Row& row) {
  std::string line = "row " + Utf8::Encode(table.name);
  for (std::size_t i = 0; i < row.size(); ++i) line += "\t" + FormatValue(row[i], table.columns[i]);
  return AppendLine(db, line);
}

bool AppendLine(const Database& db, const std::string& text) {
  if (db.readOnly) return false;
  const std::string line = text + "\n";
  const FileLock lock;
  HANDLE file = CreateFileW(db.path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
      written == line.size();
  CloseHandle(file);
  return ok;
}

void Log(const std::wstring& line) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"TAVRIN_JET_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string bytes = Utf8::Encode(line) + "\n";
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

}  // namespace JetStandin

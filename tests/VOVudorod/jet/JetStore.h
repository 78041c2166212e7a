#pragma once
#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The database file of the stand-in provider: a text file (UTF-8) that declares
// its tables and holds their rows in insertion order.
//
//   TAVRIN-JET-STANDIN 1
//   table Discs DiscId:I4 TocHash:STR40 Category:WSTR30 ... Year:DATE Revision:I4
//   index Discs DiscsByDiscId DiscId
//   limit Tracks 3                  (inserts beyond three rows are refused)
//   row Discs<TAB>value<TAB>value...
//
// Texts escape backslash, tab and line breaks as \\, \t, \n, \r; dates are the
// OLE automation day number.
namespace JetStandin {

enum class ColumnType { I4, Str, WStr, Date };

struct ColumnDef {
  std::wstring name;
  ColumnType type = ColumnType::I4;
  std::size_t width = 0;  // characters of a text column
};

struct Value {
  bool null = true;
  int32_t i4 = 0;
  double date = 0;
  std::string str;    // Str
  std::wstring wstr;  // WStr
};

using Row = std::vector<Value>;

struct IndexDef {
  std::wstring name;
  std::wstring column;
};

struct Table {
  std::wstring name;
  std::vector<ColumnDef> columns;
  std::vector<IndexDef> indexes;
  std::vector<Row> rows;
  std::size_t limit = SIZE_MAX;
};

struct Database {
  std::wstring path;
  bool readOnly = false;     // a read-only file is opened for reading only
  std::deque<Table> tables;  // a table keeps its place while others are added
  Table* Find(const std::wstring& name);
};

enum class LoadResult { Ok, Missing, Exists, Locked, Corrupt };

LoadResult Load(const std::wstring& path, Database& db);
// Makes a new database file without tables; Exists when there is a file already.
LoadResult Create(const std::wstring& path, Database& db);

// The file's line that declares a table, or one of its indexes.
std::string TableLine(const Table& table);
std::string IndexLine(const Table& table, const IndexDef& index);
// Appends one row of the table to the file; false when the file cannot be written.
bool AppendRow(const Database& db, const Table& table, const Row& row);
// Appends a line (with its line feed) to the file; false when it cannot be written.
bool AppendLine(const Database& db, const std::string& line);

// One line of the provider's log (TAVRIN_JET_LOG), when logging is on.
void Log(const std::wstring& line);

}  // namespace JetStandin

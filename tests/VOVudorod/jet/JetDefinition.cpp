// Table definitions, as the disc cache runs them when it makes a new file:
//   CREATE TABLE <table> (<column> <type>, ...)   with LONG, INTEGER, TEXT(n), DATETIME
//   CREATE INDEX <index> ON <table> (<column>)
// Each one is written to the file at once. What the engine refuses, this refuses
// too: a table or an index that exists, a column named twice, an unknown type, a
// text column wider than 255 characters.
#include <cwchar>

#include "tests/VOVudorod/jet/JetObjects.h"
#include "tests/VOVudorod/jet/JetSyntax.h"

namespace JetStandin {
namespace {

const std::size_t kMaxTextWidth = 255;

bool EqualNoCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// A name the file can hold: no blanks, colons or tabs.
bool StorableName(const std::wstring& text, std::size_t& pos, std::wstring& name) {
  return Name(text, pos, name) && name.find_first_of(L" \t:") == std::wstring::npos;
}

bool AtEnd(const std::wstring& text, std::size_t& pos) {
  SkipBlanks(text, pos);
  return pos == text.size();
}

bool Type(const std::wstring& text, std::size_t& pos, ColumnDef& column) {
  std::wstring word;
  if (!Name(text, pos, word)) return false;
  word = Upper(word);
  if (word == L"LONG" || word == L"INTEGER") {
    column.type = ColumnType::I4;
    return true;
  }
  if (word == L"DATETIME") {
    column.type = ColumnType::Date;
    return true;
  }
  if (word != L"TEXT" || !Keyword(text, pos, L"(")) return false;
  SkipBlanks(text, pos);
  const wchar_t* start = text.c_str() + pos;
  wchar_t* end = nullptr;
  const unsigned long width = std::wcstoul(start, &end, 10);
  pos += end - start;
  column.type = ColumnType::WStr;
  column.width = width;
  return end != start && width >= 1 && width <= kMaxTextWidth && Keyword(text, pos, L")");
}

HRESULT CannotWrite() { return Fail(E_FAIL, L"Cannot update. Database or object is read-only."); }

HRESULT CreateTable(Database& db, const std::wstring& text, std::size_t pos) {
  const auto syntax = [] {
    return Fail(DB_E_ERRORSINCOMMAND, L"Syntax error in CREATE TABLE statement.");
  };
  Table table;
  if (!StorableName(text, pos, table.name) || !Keyword(text, pos, L"(")) return syntax();
  do {
    ColumnDef column;
    if (!StorableName(text, pos, column.name)) return syntax();
    if (!Type(text, pos, column))
      return Fail(DB_E_ERRORSINCOMMAND, L"Syntax error in field definition.");
    for (const ColumnDef& other : table.columns)
      if (EqualNoCase(other.name, column.name))
        return Fail(DB_E_ERRORSINCOMMAND, L"Field '" + table.name + L"." + column.name +
                                              L"' already exists in table '" + table.name + L"'.");
    table.columns.push_back(column);
  } while (Keyword(text, pos, L","));
  if (!Keyword(text, pos, L")") || !AtEnd(text, pos)) return syntax();
  if (db.Find(table.name))
    return Fail(DB_E_ERRORSINCOMMAND, L"Table '" + table.name + L"' already exists.");
  if (!AppendLine(db, TableLine(table))) return CannotWrite();
  db.tables.push_back(table);
  return S_OK;
}

HRESULT CreateIndex(Database& db, const std::wstring& text, std::size_t pos) {
  IndexDef index;
  std::wstring tableName;
  if (!StorableName(text, pos, index.name) || !Keyword(text, pos, L"ON") ||
      !Name(text, pos, tableName) || !Keyword(text, pos, L"(") || !Name(text, pos, index.column) ||
      !Keyword(text, pos, L")") || !AtEnd(text, pos))
    return Fail(DB_E_ERRORSINCOMMAND, L"Syntax error in CREATE INDEX statement.");
  Table* table = db.Find(tableName);
  if (!table)
    return Fail(DB_E_NOTABLE,
                L"The database engine cannot find the input table or query '" + tableName + L"'.");
  bool known = false;
  for (const ColumnDef& column : table->columns) known |= EqualNoCase(column.name, index.column);
  if (!known) return Fail(DB_E_ERRORSINCOMMAND, L"Field '" + index.column + L"' not found.");
  for (const IndexDef& other : table->indexes)
    if (EqualNoCase(other.name, index.name))
      return Fail(DB_E_ERRORSINCOMMAND, L"Index already exists.");
  if (!AppendLine(db, IndexLine(*table, index))) return CannotWrite();
  table->indexes.push_back(index);
  return S_OK;
}

}  // namespace

bool IsDefinition(const std::wstring& text) {
  std::size_t pos = 0;
  return Keyword(text, pos, L"CREATE");
}

HRESULT Define(Database& db, const std::wstring& text) {
  std::size_t pos = 0;
  Keyword(text, pos, L"CREATE");
  if (Keyword(text, pos, L"TABLE")) return CreateTable(db, text, pos);
  if (Keyword(text, pos, L"INDEX")) return CreateIndex(db, text, pos);
  return Fail(DB_E_ERRORSINCOMMAND, L"Syntax error in CREATE statement.");
}

}  // namespace JetStandin

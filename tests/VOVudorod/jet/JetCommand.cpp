// Sessions, commands and rowsets of the stand-in provider. Commands are the
// statements that the disc cache runs:
//   SELECT * FROM <table>  or  SELECT * FROM [<table>]
//   SELECT * FROM <table> WHERE <column>=<integer>
// and the table definitions of JetDefinition.cpp.
#include <algorithm>
#include <cwchar>
#include <utility>

#include "tests/VOVudorod/jet/JetObjects.h"
#include "tests/VOVudorod/jet/JetSyntax.h"

namespace JetStandin {
namespace {

struct Statement {
  std::wstring table;
  std::wstring column;  // empty: every row
  int32_t value = 0;
};

bool Parse(const std::wstring& text, Statement& statement) {
  std::size_t pos = 0;
  if (!Keyword(text, pos, L"SELECT") || !Keyword(text, pos, L"*") || !Keyword(text, pos, L"FROM") ||
      !Name(text, pos, statement.table))
    return false;
  SkipBlanks(text, pos);
  if (pos == text.size()) return true;
  if (!Keyword(text, pos, L"WHERE") || !Name(text, pos, statement.column) ||
      !Keyword(text, pos, L"="))
    return false;
  SkipBlanks(text, pos);
  const std::wstring rest = text.substr(pos);
  wchar_t* end = nullptr;
  const long long v = std::wcstoll(rest.c_str(), &end, 10);
  if (end == rest.c_str() || v < INT32_MIN || v > INT32_MAX) return false;
  pos += end - rest.c_str();
  SkipBlanks(text, pos);
  statement.value = static_cast<int32_t>(v);
  return pos == text.size();
}

struct Accessor {
  std::vector<DBBINDING> bindings;
  ULONG refs = 1;
};

// Texts convert both ways between narrow and wide, in the system's code page.
bool Convertible(DBTYPE type, ColumnType column) {
  switch (column) {
    case ColumnType::I4:
      return type == DBTYPE_I4;
    case ColumnType::Date:
      return type == DBTYPE_DATE;
    case ColumnType::Str:
      return type == DBTYPE_STR;
    case ColumnType::WStr:
      return type == DBTYPE_WSTR || type == DBTYPE_STR;
  }
  return false;
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string out(n, '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                      nullptr);
  return out;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(n, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
  return out;
}

class Rowset : public ComObject,
               public IRowset,
               public IAccessor,
               public IRowsetChange,
               public ISupportErrorInfo {
 public:
  Rowset(std::shared_ptr<Database> db, Table* table, std::vector<std::size_t> rows, bool changeable)
      : db_(std::move(db)), table_(table), rows_(std::move(rows)), changeable_(changeable) {}
  ~Rowset() override {
    for (Accessor* a : accessors_) delete a;
  }
  JET_UNKNOWN

  // IRowset
  STDMETHODIMP AddRefRows(DBCOUNTITEM count, const HROW[], DBREFCOUNT refs[],
                          DBROWSTATUS status[]) override {
    for (DBCOUNTITEM i = 0; i < count; ++i) {
      if (refs) refs[i] = 1;
      if (status) status[i] = DBROWSTATUS_S_OK;
    }
    return S_OK;
  }
  STDMETHODIMP GetData(HROW row, HACCESSOR handle, void* data) override {
    ClearError();
    Accessor* a = Lookup(handle);
    if (!a) return DB_E_BADACCESSORHANDLE;
    if (row == 0 || row > table_->rows.size()) return DB_E_BADROWHANDLE;
    const Row& values = table_->rows[row - 1];
    bool truncated = false;
    for (const DBBINDING& b : a->bindings) {
      const Value& v = values[b.iOrdinal - 1];
      const bool wideColumn = table_->columns[b.iOrdinal - 1].type == ColumnType::WStr;
      BYTE* base = static_cast<BYTE*>(data);
      DBLENGTH length = 0;
      if (b.dwPart & DBPART_VALUE) {
        BYTE* dest = base + b.obValue;
        switch (b.wType) {
          case DBTYPE_I4:
            *reinterpret_cast<LONG*>(dest) = v.i4;
            length = sizeof(LONG);
            break;
          case DBTYPE_DATE:
            *reinterpret_cast<DATE*>(dest) = v.date;
            length = sizeof(DATE);
            break;
          case DBTYPE_STR: {
            const std::string text = wideColumn ? Narrow(v.wstr) : v.str;
            const std::size_t room = b.cbMaxLen ? b.cbMaxLen - 1 : 0;
            const std::size_t n = text.size() < room ? text.size() : room;
            truncated |= n < text.size();
            if (b.cbMaxLen) {
              text.copy(reinterpret_cast<char*>(dest), n);
              dest[n] = 0;
            }
            length = text.size();
            break;
          }
          case DBTYPE_WSTR: {
            const std::size_t units = b.cbMaxLen / sizeof(wchar_t);
            const std::size_t room = units ? units - 1 : 0;
            const std::size_t n = v.wstr.size() < room ? v.wstr.size() : room;
            truncated |= n < v.wstr.size();
            if (units) {
              wchar_t* text = reinterpret_cast<wchar_t*>(dest);
              v.wstr.copy(text, n);
              text[n] = 0;
            }
            length = v.wstr.size() * sizeof(wchar_t);
            break;
          }
        }
      }
      if (b.dwPart & DBPART_LENGTH) *reinterpret_cast<DBLENGTH*>(base + b.obLength) = length;
      if (b.dwPart & DBPART_STATUS)
        *reinterpret_cast<DBSTATUS*>(base + b.obStatus) =
            v.null ? DBSTATUS_S_ISNULL : DBSTATUS_S_OK;
    }
    return truncated ? DB_S_ERRORSOCCURRED : S_OK;
  }
  STDMETHODIMP GetNextRows(HCHAPTER, DBROWOFFSET offset, DBROWCOUNT count, DBCOUNTITEM* obtained,
                           HROW** rows) override {
    ClearError();
    if (!obtained || !rows) return E_INVALIDARG;
    *obtained = 0;
    if (offset < 0 || count < 0) return DB_E_CANTSCROLLBACKWARDS;
    next_ += static_cast<std::size_t>(offset);
    std::size_t n = 0;
    while (n < static_cast<std::size_t>(count) && next_ + n < rows_.size()) ++n;
    if (n == 0) return DB_S_ENDOFROWSET;
    if (!*rows) {
      *rows = static_cast<HROW*>(CoTaskMemAlloc(n * sizeof(HROW)));
      if (!*rows) return E_OUTOFMEMORY;
    }
    for (std::size_t i = 0; i < n; ++i) (*rows)[i] = rows_[next_ + i] + 1;
    next_ += n;
    *obtained = n;
    return n < static_cast<std::size_t>(count) ? DB_S_ENDOFROWSET : S_OK;
  }
  STDMETHODIMP ReleaseRows(DBCOUNTITEM count, const HROW[], DBROWOPTIONS[], DBREFCOUNT refs[],
                           DBROWSTATUS status[]) override {
    for (DBCOUNTITEM i = 0; i < count; ++i) {
      if (refs) refs[i] = 0;
      if (status) status[i] = DBROWSTATUS_S_OK;
    }
    return S_OK;
  }
  STDMETHODIMP RestartPosition(HCHAPTER) override {
    next_ = 0;
    return S_OK;
  }

  // IAccessor
  STDMETHODIMP AddRefAccessor(HACCESSOR handle, DBREFCOUNT* refs) override {
    Accessor* a = Lookup(handle);
    if (!a) return DB_E_BADACCESSORHANDLE;
    ++a->refs;
    if (refs) *refs = a->refs;
    return S_OK;
  }
  STDMETHODIMP CreateAccessor(DBACCESSORFLAGS flags, DBCOUNTITEM count, const DBBINDING bindings[],
                              DBLENGTH, HACCESSOR* handle, DBBINDSTATUS status[]) override {
    ClearError();
    if (!handle) return E_INVALIDARG;
    *handle = 0;
    if (!(flags & DBACCESSOR_ROWDATA)) return DB_E_BADACCESSORFLAGS;
    bool failed = false;
    for (DBCOUNTITEM i = 0; i < count; ++i) {
      const DBBINDING& b = bindings[i];
      DBBINDSTATUS s = DBBINDSTATUS_OK;
      if (b.iOrdinal == 0 || b.iOrdinal > table_->columns.size())
        s = DBBINDSTATUS_BADORDINAL;
      else if (!Convertible(b.wType, table_->columns[b.iOrdinal - 1].type))
        s = DBBINDSTATUS_UNSUPPORTEDCONVERSION;
      if (status) status[i] = s;
      failed |= s != DBBINDSTATUS_OK;
    }
    if (failed) return Fail(DB_E_ERRORSOCCURRED, L"The accessor binds columns it cannot convert.");
    Accessor* a = new Accessor;
    a->bindings.assign(bindings, bindings + count);
    accessors_.push_back(a);
    *handle = reinterpret_cast<HACCESSOR>(a);
    return S_OK;
  }
  STDMETHODIMP GetBindings(HACCESSOR handle, DBACCESSORFLAGS* flags, DBCOUNTITEM* count,
                           DBBINDING** bindings) override {
    Accessor* a = Lookup(handle);
    if (!a) return DB_E_BADACCESSORHANDLE;
    *flags = DBACCESSOR_ROWDATA;
    *count = a->bindings.size();
    *bindings = static_cast<DBBINDING*>(CoTaskMemAlloc(a->bindings.size() * sizeof(DBBINDING)));
    std::copy(a->bindings.begin(), a->bindings.end(), *bindings);
    return S_OK;
  }
  STDMETHODIMP ReleaseAccessor(HACCESSOR handle, DBREFCOUNT* refs) override {
    Accessor* a = Lookup(handle);
    if (!a) return DB_E_BADACCESSORHANDLE;
    if (refs) *refs = a->refs - 1;
    if (--a->refs == 0) {
      accessors_.erase(std::find(accessors_.begin(), accessors_.end(), a));
      delete a;
    }
    return S_OK;
  }

  // IRowsetChange
  STDMETHODIMP DeleteRows(HCHAPTER, DBCOUNTITEM, const HROW[], DBROWSTATUS[]) override {
    return Fail(E_NOTIMPL, L"Deleting rows is not supported.");
  }
  STDMETHODIMP SetData(HROW, HACCESSOR, void*) override {
    return Fail(E_NOTIMPL, L"Changing rows is not supported.");
  }
  STDMETHODIMP InsertRow(HCHAPTER, HACCESSOR handle, void* data, HROW* newRow) override {
    ClearError();
    if (newRow) *newRow = 0;
    Accessor* a = Lookup(handle);
    if (!a) return DB_E_BADACCESSORHANDLE;
    if (!data) return E_INVALIDARG;
    Row row(table_->columns.size());
    std::wstring logged;
    for (const DBBINDING& b : a->bindings) {
      if (!(b.dwPart & DBPART_VALUE)) continue;
      const BYTE* base = static_cast<const BYTE*>(data);
      if ((b.dwPart & DBPART_STATUS) &&
          *reinterpret_cast<const DBSTATUS*>(base + b.obStatus) == DBSTATUS_S_ISNULL)
        continue;
      const ColumnDef& column = table_->columns[b.iOrdinal - 1];
      Value& v = row[b.iOrdinal - 1];
      v.null = false;
      const BYTE* src = base + b.obValue;
      switch (b.wType) {
        case DBTYPE_I4:
          v.i4 = *reinterpret_cast<const LONG*>(src);
          break;
        case DBTYPE_DATE:
          v.date = *reinterpret_cast<const DATE*>(src);
          break;
        case DBTYPE_STR: {
          const char* text = reinterpret_cast<const char*>(src);
          std::size_t n = 0;
          while (n < b.cbMaxLen && text[n]) ++n;
          v.str.assign(text, n);
          if (column.type == ColumnType::WStr) v.wstr = Widen(std::exchange(v.str, std::string()));
          break;
        }
        case DBTYPE_WSTR: {
          const wchar_t* text = reinterpret_cast<const wchar_t*>(src);
          std::size_t n = 0;
          while (n < b.cbMaxLen / sizeof(wchar_t) && text[n]) ++n;
          v.wstr.assign(text, n);
          break;
        }
      }
      const std::size_t length = column.type == ColumnType::Str    ? v.str.size()
                                 : column.type == ColumnType::WStr ? v.wstr.size()
                                                                   : 0;
      if (length > column.width)
        return Fail(DB_E_ERRORSOCCURRED,
                    L"The field is too small to accept the amount of data you attempted to add. "
                    L"Try inserting or pasting less data.");
    }
    if (table_->rows.size() >= table_->limit)
      return Fail(E_FAIL, L"The table '" + table_->name + L"' accepts no more rows.");
    if (!AppendRow(*db_, *table_, row))
      return Fail(E_FAIL, L"Cannot update. Database or object is read-only.");
    Log(L"insert " + table_->name + L" " + std::to_wstring(row[0].i4));
    table_->rows.push_back(row);
    if (newRow) *newRow = table_->rows.size();
    return S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IRowset) return static_cast<IRowset*>(this);
    if (iid == IID_IAccessor) return static_cast<IAccessor*>(this);
    if (iid == IID_IRowsetChange && changeable_) return static_cast<IRowsetChange*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

 private:
  Accessor* Lookup(HACCESSOR handle) {
    for (Accessor* a : accessors_)
      if (reinterpret_cast<HACCESSOR>(a) == handle) return a;
    return nullptr;
  }

  std::shared_ptr<Database> db_;
  Table* table_;
  std::vector<std::size_t> rows_;  // positions in the table, in table order
  std::size_t next_ = 0;
  bool changeable_;
  std::vector<Accessor*> accessors_;
};

class Command : public ComObject,
                public ICommandText,
                public ICommandProperties,
                public ISupportErrorInfo {
 public:
  explicit Command(std::shared_ptr<Database> db) : db_(std::move(db)) {}
  JET_UNKNOWN

  STDMETHODIMP Cancel() override { return S_OK; }
  STDMETHODIMP Execute(IUnknown* outer, REFIID iid, DBPARAMS*, DBROWCOUNT* affected,
                       IUnknown** rowset) override {
    ClearError();
    if (affected) *affected = -1;
    if (rowset) *rowset = nullptr;
    if (outer) return DB_E_NOAGGREGATION;
    if (text_.empty()) return DB_E_NOCOMMAND;
    Log(L"command " + text_ + (changeable_ ? L" (changeable)" : L""));
    if (IsDefinition(text_)) return Define(*db_, text_);
    Statement statement;
    if (!Parse(text_, statement))
      return Fail(DB_E_ERRORSINCOMMAND, L"Syntax error in query: '" + text_ + L"'.");
    Table* table = db_->Find(statement.table);
    if (!table)
      return Fail(DB_E_NOTABLE, L"The database engine cannot find the input table or query '" +
                                    statement.table + L"'.");
    std::size_t column = 0;
    if (!statement.column.empty()) {
      while (column < table->columns.size() &&
             CompareStringOrdinal(table->columns[column].name.c_str(), -1, statement.column.c_str(),
                                  -1, TRUE) != CSTR_EQUAL)
        ++column;
      if (column == table->columns.size() || table->columns[column].type != ColumnType::I4)
        return Fail(DB_E_ERRORSINCOMMAND, L"No value given for one or more required parameters ('" +
                                              statement.column + L"').");
    }
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < table->rows.size(); ++i) {
      const Value& v = table->rows[i][column];
      if (statement.column.empty() || (!v.null && v.i4 == statement.value)) rows.push_back(i);
    }
    if (!rowset) return S_OK;
    Rowset* r = new Rowset(db_, table, std::move(rows), changeable_);
    const HRESULT hr = r->QueryObject(iid, reinterpret_cast<void**>(rowset));
    r->ReleaseObject();
    return hr;
  }
  STDMETHODIMP GetDBSession(REFIID, IUnknown** session) override {
    *session = nullptr;
    return S_FALSE;
  }
  STDMETHODIMP GetCommandText(GUID* dialect, LPOLESTR* text) override {
    if (dialect) *dialect = DBGUID_DEFAULT;
    *text = static_cast<LPOLESTR>(CoTaskMemAlloc((text_.size() + 1) * sizeof(wchar_t)));
    std::wmemcpy(*text, text_.c_str(), text_.size() + 1);
    return S_OK;
  }
  STDMETHODIMP SetCommandText(REFGUID, LPCOLESTR text) override {
    text_ = text ? text : L"";
    return S_OK;
  }

  STDMETHODIMP GetProperties(const ULONG, const DBPROPIDSET[], ULONG* count,
                             DBPROPSET** sets) override {
    if (count) *count = 0;
    if (sets) *sets = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP SetProperties(ULONG count, DBPROPSET sets[]) override {
    ClearError();
    bool failed = false;
    for (ULONG s = 0; s < count; ++s) {
      for (ULONG p = 0; p < sets[s].cProperties; ++p) {
        DBPROP& prop = sets[s].rgProperties[p];
        prop.dwStatus = DBPROPSTATUS_OK;
        const bool rowset = sets[s].guidPropertySet == DBPROPSET_ROWSET;
        if (rowset && prop.dwPropertyID == DBPROP_IRowsetChange && prop.vValue.vt == VT_BOOL) {
          changeable_ = prop.vValue.boolVal == VARIANT_TRUE;
        } else if (rowset && (prop.dwPropertyID == DBPROP_IRowsetScroll ||
                              prop.dwPropertyID == DBPROP_UPDATABILITY)) {
        } else {
          prop.dwStatus = DBPROPSTATUS_NOTSUPPORTED;
          failed |= prop.dwOptions == DBPROPOPTIONS_REQUIRED;
        }
      }
    }
    return failed ? DB_E_ERRORSOCCURRED : S_OK;
  }

  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_ICommand || iid == IID_ICommandText)
      return static_cast<ICommandText*>(this);
    if (iid == IID_ICommandProperties) return static_cast<ICommandProperties*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

 private:
  std::shared_ptr<Database> db_;
  std::wstring text_;
  bool changeable_ = false;
};

class Session : public ComObject, public IDBCreateCommand, public ISupportErrorInfo {
 public:
  explicit Session(std::shared_ptr<Database> db) : db_(std::move(db)) {}
  JET_UNKNOWN

  STDMETHODIMP CreateCommand(IUnknown* outer, REFIID iid, IUnknown** command) override {
    if (!command) return E_INVALIDARG;
    *command = nullptr;
    if (outer) return DB_E_NOAGGREGATION;
    Command* c = new Command(db_);
    const HRESULT hr = c->QueryObject(iid, reinterpret_cast<void**>(command));
    c->ReleaseObject();
    return hr;
  }
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_OK; }

 protected:
  void* Find(REFIID iid) override {
    if (iid == IID_IUnknown || iid == IID_IDBCreateCommand)
      return static_cast<IDBCreateCommand*>(this);
    if (iid == IID_ISupportErrorInfo) return static_cast<ISupportErrorInfo*>(this);
    return nullptr;
  }

 private:
  std::shared_ptr<Database> db_;
};

}  // namespace

HRESULT CreateSession(std::shared_ptr<Database> db, REFIID iid, IUnknown** out) {
  Session* s = new Session(std::move(db));
  const HRESULT hr = s->QueryObject(iid, reinterpret_cast<void**>(out));
  s->ReleaseObject();
  return hr;
}

}  // namespace JetStandin

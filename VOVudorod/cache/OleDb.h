#pragma once
#include <windows.h>
#include <oledb.h>
#include <oledberr.h>

#include <cstddef>
#include <string>
#include <vector>

#include "common/ComPtr.h"

// A thin OLE DB consumer: a data source opened (or created) by the provider's
// program id and a file, a session on it, commands without results, and rowsets
// of commands read or filled through one accessor over a fixed row record. Every
// step reports the provider's HRESULT.
// The records handed to the provider, in the platform's layout: the 32-bit
// platform packs them to two bytes, the 64-bit one lays them out naturally.
#if defined(_WIN64)
static_assert(sizeof(DBID) == 32 && sizeof(DBPROP) == 72 && offsetof(DBPROP, vValue) == 48 &&
                  sizeof(DBPROPSET) == 32 && sizeof(DBBINDING) == 88 &&
                  offsetof(DBBINDING, cbMaxLen) == 72 && offsetof(DBBINDING, wType) == 84,
              "OLE DB records of the 64-bit platform");
#else
static_assert(sizeof(DBID) == 24 && sizeof(DBPROP) == 52 && offsetof(DBPROP, vValue) == 36 &&
                  sizeof(DBPROPSET) == 24 && sizeof(DBBINDING) == 52 &&
                  offsetof(DBBINDING, cbMaxLen) == 40 && offsetof(DBBINDING, wType) == 48,
              "OLE DB records of the 32-bit platform, packed to two bytes");
#endif

namespace OleDb {

// One column of an accessor row: ordinal in the rowset, type, where the value
// sits in the row record and how many bytes it may take there.
struct Column {
  DBORDINAL ordinal;
  DBTYPE type;
  DBBYTEOFFSET offset;
  DBLENGTH maxLength;
};

class DataSource {
 public:
  DataSource() = default;
  DataSource(const DataSource&) = delete;
  DataSource& operator=(const DataSource&) = delete;
  ~DataSource();

  // Creates the provider in process and initialises it with the data source,
  // without user name or password.
  HRESULT Open(const wchar_t* progId, const std::wstring& dataSource);
  // Has the provider create the data source, which must not exist yet, through
  // its data-source administration; it is then open, as after Open.
  HRESULT Create(const wchar_t* progId, const std::wstring& dataSource);
  void Close();
  IDBInitialize* Get() const { return init_.Get(); }

 private:
  ComPtr<IDBInitialize> init_;
};

class Session {
 public:
  HRESULT Open(const DataSource& source);
  void Close() { commands_.Reset(); }
  IDBCreateCommand* Get() const { return commands_.Get(); }

 private:
  ComPtr<IDBCreateCommand> commands_;
};

// Rowset properties for a command (one property set of DBPROPSET_ROWSET).
class RowsetProperties {
 public:
  RowsetProperties() = default;
  RowsetProperties(const RowsetProperties&) = delete;
  RowsetProperties& operator=(const RowsetProperties&) = delete;
  ~RowsetProperties();

  void AddBool(DBPROPID id, bool value);
  void AddInt(DBPROPID id, LONG value);
  DBPROPSET* Get();

 private:
  void Add(DBPROPID id, const VARIANT& value);

  std::vector<DBPROP> props_;
  DBPROPSET set_{};
};

class Rowset {
 public:
  Rowset() = default;
  Rowset(const Rowset&) = delete;
  Rowset& operator=(const Rowset&) = delete;
  ~Rowset();

  // Runs the command and binds the row record described by columns.
  HRESULT Open(const Session& session, const std::wstring& command, RowsetProperties* properties,
               const Column* columns, std::size_t columnCount);
  // Reads the next row into the record: S_OK, DB_S_ENDOFROWSET at the end, or an error.
  HRESULT MoveNext(void* row);
  HRESULT Insert(const void* row);
  void Close();

 private:
  ComPtr<IRowset> rowset_;
  ComPtr<IAccessor> accessor_;
  HACCESSOR handle_ = 0;
};

// Runs a command that gives no rows, such as a table definition.
HRESULT Execute(const Session& session, const std::wstring& command);

// Writes the error records of the calling thread's last OLE DB error to the
// debugger output, one line each.
void DumpDbErrors();

}  // namespace OleDb

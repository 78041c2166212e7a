#include "VOVudorod/cache/DiscCache.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <vector>

#include "VOVudorod/cache/CacheRows.h"
#include "VOVudorod/cache/OleDb.h"

namespace DbCache {
namespace {

const wchar_t kProvider[] = L"Microsoft.JET.OLEDB.4.0";
const wchar_t kFolder[] = L"Velmora";
const wchar_t kFileName[] = L"TAVRIN.mdb";
const std::size_t kHashDigits = 40;
const LONG kTrackBits = 0x7F;  // the low bits of a disc id that hold its track count

// The year of an unknown date: years outside the date type's range are stored
// as this day and read back as 0.
const DATE kNoYear = 0.0;

std::wstring WithBackslash(std::wstring path) {
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

std::wstring CommandFor(const wchar_t* table, uint32_t discId) {
  wchar_t text[64];
  std::swprintf(text, 64, L"SELECT * FROM %ls WHERE DiscId=%d", table,
                static_cast<int>(static_cast<int32_t>(discId)));
  return text;
}

// Copies as much of the text as the column holds, never splitting a surrogate pair.
template <std::size_t N>
void CopyText(wchar_t (&dest)[N], const std::wstring& text) {
  std::size_t n = text.size() < N - 1 ? text.size() : N - 1;
  if (n < text.size() && n > 0 && IS_HIGH_SURROGATE(text[n - 1])) --n;
  text.copy(dest, n);
  dest[n] = L'\0';
}

template <std::size_t N>
std::wstring TextOf(wchar_t (&field)[N]) {
  field[N - 1] = L'\0';
  return field;
}

DATE YearToDate(int32_t year) {
  if (year < 100 || year > 9999) return kNoYear;
  SYSTEMTIME t{};
  t.wYear = static_cast<WORD>(year);
  t.wMonth = 1;
  t.wDay = 1;
  t.wHour = 12;
  DATE date;
  return SystemTimeToVariantTime(&t, &date) ? date : kNoYear;
}

int32_t DateToYear(DATE date) {
  SYSTEMTIME t;
  if (date == kNoYear || !VariantTimeToSystemTime(date, &t)) return 0;
  return t.wYear;
}

HRESULT Open(const std::wstring& path, OleDb::DataSource& source, OleDb::Session& session) {
  const HRESULT hr = source.Open(kProvider, path);
  return FAILED(hr) ? hr : session.Open(source);
}

// Makes the tables that the file lacks, then their indexes, as a creation cut
// short leaves a file with none or some of them. A table that exists is never
// touched, whatever its shape.
HRESULT AddMissingTables(const OleDb::Session& session) {
  std::vector<const TableDefinition*> made;
  for (const TableDefinition& table : kTables) {
    if (OleDb::Execute(session, table.probe) != DB_E_NOTABLE) continue;
    const HRESULT hr = OleDb::Execute(session, table.create);
    // another process may have made it in the meantime
    if (FAILED(hr) && OleDb::Execute(session, table.probe) == DB_E_NOTABLE) return hr;
    if (SUCCEEDED(hr)) made.push_back(&table);
  }
  for (const TableDefinition* table : made) {
    const HRESULT hr = OleDb::Execute(session, table->index);
    if (FAILED(hr)) return hr;
  }
  return S_OK;
}

// Creates the cache file with both tables and leaves it open. The provider
// refuses to create over a file that exists. A file whose tables could not all
// be made is removed again, so that the next write starts afresh.
HRESULT Create(const std::wstring& path, OleDb::DataSource& source, OleDb::Session& session) {
  HRESULT hr = source.Create(kProvider, path);
  if (FAILED(hr)) return hr;
  hr = session.Open(source);
  if (SUCCEEDED(hr)) hr = AddMissingTables(session);
  if (SUCCEEDED(hr)) return hr;
  session.Close();
  source.Close();
  DeleteFileW(path.c_str());
  return hr;
}

// Opens the cache for writing, creating it when it cannot be opened and does
// not exist, and completing its tables when it has not got them all. The
// threads of a process open it one at a time, so that none sees a file whose
// tables are still being made.
HRESULT OpenOrCreate(const std::wstring& path, OleDb::DataSource& source, OleDb::Session& session) {
  static std::mutex opening;
  const std::lock_guard<std::mutex> lock(opening);
  HRESULT hr = Open(path, source, session);
  if (FAILED(hr) && !path.empty()) {
    if (SUCCEEDED(Create(path, source, session))) return S_OK;
    // another process may have made the file in the meantime
    hr = Open(path, source, session);
  }
  return FAILED(hr) ? hr : AddMissingTables(session);
}

// Fills the tracks of a disc read from the cache; S_OK when every track had a
// row. Of several rows for one track the last one counts, as the newest write
// comes last.
HRESULT ReadTracks(const OleDb::Session& session, DbCore::DiscRecord& disc) {
  OleDb::Rowset tracks;
  HRESULT hr = tracks.Open(session, CommandFor(L"Tracks", disc.discId), nullptr, kTracksColumns,
                           std::size(kTracksColumns));
  if (FAILED(hr)) return hr;
  std::vector<bool> seen(disc.entries.size());
  TracksRow row;
  while (tracks.MoveNext(&row) == S_OK) {
    if (static_cast<uint32_t>(row.discId) != disc.discId) continue;
    if (row.track <= 0 || static_cast<std::size_t>(row.track) >= disc.entries.size()) continue;
    DbCore::TrackRecord& e = disc.entries[row.track];
    e.title = TextOf(row.title);
    e.artist = TextOf(row.artist);
    e.genre = TextOf(row.genre);
    e.year = DateToYear(row.year);
    seen[row.track] = true;
  }
  for (std::size_t t = 1; t < seen.size(); ++t)
    if (!seen[t]) return E_FAIL;
  return S_OK;
}

}  // namespace

std::wstring CacheDatabasePath() {
  wchar_t buffer[MAX_PATH];
  std::wstring folder;
  if (SUCCEEDED(SHGetFolderPathAndSubDirW(nullptr, CSIDL_COMMON_APPDATA, nullptr,
                                          SHGFP_TYPE_CURRENT, kFolder, buffer)) ||
      SUCCEEDED(SHGetFolderPathAndSubDirW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT,
                                          kFolder, buffer))) {
    folder = buffer;
  } else {
    if (FAILED(
            SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)) &&
        FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, buffer)))
      return std::wstring();
    folder = WithBackslash(buffer) + kFolder;
    if (!CreateDirectoryW(folder.c_str(), nullptr)) return std::wstring();
  }
  const std::wstring path = WithBackslash(folder) + kFileName;
  return path.size() < MAX_PATH ? path : std::wstring();
}

std::string HashToHex(const DbCore::TocHash& hash) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned char b : hash) {
    text += kDigits[b >> 4];
    text += kDigits[b & 15];
  }
  return text;
}

void HexToHash(DbCore::TocHash& dest, const char* text) {
  dest.fill(0);
  if (!text || std::strlen(text) != kHashDigits) return;
  auto value = [](char c) -> unsigned {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;
  };
  for (std::size_t i = 0; i < dest.size(); ++i)
    dest[i] = static_cast<unsigned char>(value(text[2 * i]) << 4 | value(text[2 * i + 1]));
}

HRESULT ReadCachedDisc(const std::wstring& path, DbCore::DiscRecord& record) {
  OleDb::DataSource source;
  OleDb::Session session;
  HRESULT hr = Open(path, source, session);
  if (FAILED(hr)) return hr;
  OleDb::Rowset discs;
  hr = discs.Open(session, CommandFor(L"Discs", record.discId), nullptr, kDiscsColumns,
                  std::size(kDiscsColumns));
  if (FAILED(hr)) return hr;

  // Disc ids collide, so a row counts only for the same TOC; of several rows
  // for one disc the last complete one is the newest.
  bool found = false;
  DbCore::DiscRecord best;
  DiscsRow row;
  while (discs.MoveNext(&row) == S_OK) {
    if (static_cast<uint32_t>(row.discId) != record.discId) continue;
    row.tocHash[kHashDigits] = '\0';
    DbCore::TocHash hash;
    HexToHash(hash, row.tocHash);
    if (hash != record.tocHash) continue;
    DbCore::DiscRecord disc;
    disc.discId = static_cast<uint32_t>(row.discId);
    disc.tocHash = hash;
    disc.source = TextOf(row.source);
    disc.category = TextOf(row.category);
    disc.revision = row.revision;
    disc.entries.resize((row.discId & kTrackBits) + 1);
    DbCore::TrackRecord& e = disc.entries[0];
    e.artist = TextOf(row.artist);
    e.title = TextOf(row.title);
    e.genre = disc.category;
    e.year = DateToYear(row.year);
    if (ReadTracks(session, disc) == S_OK) {
      best = std::move(disc);
      found = true;
    }
  }
  if (!found) return E_FAIL;
  record = std::move(best);
  return S_OK;
}

HRESULT WriteCachedDisc(const std::wstring& path, const DbCore::DiscRecord& record) {
  OleDb::DataSource source;
  OleDb::Session session;
  HRESULT hr = OpenOrCreate(path, source, session);
  if (FAILED(hr)) return hr;
  OleDb::RowsetProperties properties;
  properties.AddBool(DBPROP_IRowsetScroll, true);
  properties.AddBool(DBPROP_IRowsetChange, true);
  properties.AddInt(DBPROP_UPDATABILITY, DBPROPVAL_UP_CHANGE | DBPROPVAL_UP_INSERT);

  const LONG discId = static_cast<LONG>(record.discId);
  const DbCore::TrackRecord disc =
      record.entries.empty() ? DbCore::TrackRecord() : record.entries[0];
  {
    OleDb::Rowset discs;
    hr = discs.Open(session, L"SELECT * FROM [Discs]", &properties, kDiscsColumns,
                    std::size(kDiscsColumns));
    if (FAILED(hr)) return hr;
    DiscsRow row{};
    row.discId = discId;
    const std::string hex = HashToHex(record.tocHash);
    hex.copy(row.tocHash, kHashDigits);
    CopyText(row.category, record.category);
    CopyText(row.source, record.source);
    CopyText(row.artist, disc.artist);
    CopyText(row.title, disc.title);
    row.year = YearToDate(disc.year);
    row.revision = record.revision;
    hr = discs.Insert(&row);
    if (FAILED(hr)) {
      OleDb::DumpDbErrors();
      return hr;
    }
  }

  OleDb::Rowset tracks;
  hr = tracks.Open(session, L"SELECT * FROM [Tracks]", &properties, kTracksColumns,
                   std::size(kTracksColumns));
  if (FAILED(hr)) return hr;
  for (std::size_t i = 1; i < record.entries.size(); ++i) {
    const DbCore::TrackRecord& e = record.entries[i];
    TracksRow row{};
    row.discId = discId;
    row.track = static_cast<LONG>(i);
    CopyText(row.title, e.title);
    CopyText(row.artist, e.artist);
    CopyText(row.genre, e.genre);
    row.year = YearToDate(e.year);
    row.trackKey = (discId & ~kTrackBits) | static_cast<LONG>(i);
    hr = tracks.Insert(&row);
    if (FAILED(hr)) {
      OleDb::DumpDbErrors();
      break;
    }
  }
  return hr;
}

}  // namespace DbCache

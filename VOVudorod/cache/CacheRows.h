#pragma once
#include <windows.h>
#include <oledb.h>

#include <cstddef>

#include "VOVudorod/cache/OleDb.h"

// The row records of the cache's two tables, bound column by column by position.
namespace DbCache {

struct DiscsRow {
  LONG discId;  // the unsigned CDDB id, bit for bit
  char tocHash[41];
  wchar_t category[31];
  wchar_t source[61];
  wchar_t artist[81];
  wchar_t title[81];
  DATE year;  // 1 January of the year, 12:00
  LONG revision;
};

struct TracksRow {
  LONG discId;
  LONG track;
  wchar_t title[81];
  wchar_t artist[81];
  wchar_t genre[31];
  DATE year;
  wchar_t extended[129];
  LONG trackKey;  // the disc id with its low seven bits replaced by the track number
};

#define DBCACHE_COLUMN(n, type, row, field) \
  OleDb::Column { n, type, offsetof(row, field), sizeof(row::field) }

const OleDb::Column kDiscsColumns[] = {
    DBCACHE_COLUMN(1, DBTYPE_I4, DiscsRow, discId),
    DBCACHE_COLUMN(2, DBTYPE_STR, DiscsRow, tocHash),
    DBCACHE_COLUMN(3, DBTYPE_WSTR, DiscsRow, category),
    DBCACHE_COLUMN(4, DBTYPE_WSTR, DiscsRow, source),
    DBCACHE_COLUMN(5, DBTYPE_WSTR, DiscsRow, artist),
    DBCACHE_COLUMN(6, DBTYPE_WSTR, DiscsRow, title),
    DBCACHE_COLUMN(7, DBTYPE_DATE, DiscsRow, year),
    DBCACHE_COLUMN(8, DBTYPE_I4, DiscsRow, revision),
};

const OleDb::Column kTracksColumns[] = {
    DBCACHE_COLUMN(1, DBTYPE_I4, TracksRow, discId),
    DBCACHE_COLUMN(2, DBTYPE_I4, TracksRow, track),
    DBCACHE_COLUMN(3, DBTYPE_WSTR, TracksRow, title),
    DBCACHE_COLUMN(4, DBTYPE_WSTR, TracksRow, artist),
    DBCACHE_COLUMN(5, DBTYPE_WSTR, TracksRow, genre),
    DBCACHE_COLUMN(6, DBTYPE_DATE, TracksRow, year),
    DBCACHE_COLUMN(7, DBTYPE_WSTR, TracksRow, extended),
    DBCACHE_COLUMN(8, DBTYPE_I4, TracksRow, trackKey),
};

#undef DBCACHE_COLUMN

// The two tables of the cache file, their columns in the order bound above,
// each indexed by disc: the statement that finds whether the table exists, the
// one that makes it and the one that indexes it. Text columns made this way
// accept empty texts, which the cache writes (the category of a disc stored
// locally, the extended text of every track).
struct TableDefinition {
  const wchar_t* probe;
  const wchar_t* create;
  const wchar_t* index;
};
const TableDefinition kTables[] = {
    {L"SELECT * FROM [Discs]",
     L"CREATE TABLE [Discs] ([DiscId] LONG, [TocHash] TEXT(40), [Category] TEXT(30), "
     L"[Source] TEXT(60), [Artist] TEXT(80), [Title] TEXT(80), [Released] DATETIME, "
     L"[Revision] LONG)",
     L"CREATE INDEX [DiscsByDiscId] ON [Discs] ([DiscId])"},
    {L"SELECT * FROM [Tracks]",
     L"CREATE TABLE [Tracks] ([DiscId] LONG, [Track] LONG, [Title] TEXT(80), [Artist] TEXT(80), "
     L"[Genre] TEXT(30), [Released] DATETIME, [Extended] TEXT(128), [TrackKey] LONG)",
     L"CREATE INDEX [TracksByDiscId] ON [Tracks] ([DiscId])"},
};

}  // namespace DbCache

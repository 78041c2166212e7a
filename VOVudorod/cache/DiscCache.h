#pragma once
#include <windows.h>

#include <string>

#include "VOVudorod/core/Records.h"

// The local disc cache: one database file for all users of the machine, with a
// table of discs and a table of their tracks, read and written through the JET
// OLE DB provider. The first write on a machine creates the file and its tables;
// a file that exists is used as it is.
namespace DbCache {

// <common application data>\Velmora\TAVRIN.mdb, or empty when no folder is found.
std::wstring CacheDatabasePath();

// Reads the disc with record.discId whose TOC hash is record.tocHash. S_OK only
// when the disc row and a row for every track were found; on failure the
// record's texts are not to be used.
HRESULT ReadCachedDisc(const std::wstring& path, DbCore::DiscRecord& record);

// Adds the disc and its tracks; S_OK when every row was inserted. A missing
// file is created first.
HRESULT WriteCachedDisc(const std::wstring& path, const DbCore::DiscRecord& record);

std::string HashToHex(const DbCore::TocHash& hash);
// 40 hexadecimal digits give the hash (other characters count as 0); any other
// length gives 20 zero bytes.
void HexToHash(DbCore::TocHash& dest, const char* text);

}  // namespace DbCache

#pragma once
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/Utf8.h"

// Cache files for the stand-in JET provider (tests/VOVudorod/jet): the schema of
// the two tables the plug-ins expect, followed by whatever lines a test adds.
namespace CacheFiles {

const char kSchema[] =
    "TAVRIN-JET-STANDIN 1\n"
    "table Discs DiscId:I4 TocHash:STR40 Category:WSTR30 Source:WSTR60 Artist:WSTR80 "
    "Title:WSTR80 Released:DATE Revision:I4\n"
    "table Tracks DiscId:I4 Track:I4 Title:WSTR80 Artist:WSTR80 Genre:WSTR30 Released:DATE "
    "Extended:WSTR128 TrackKey:I4\n";

// What the plug-ins write into a cache file they create, before its first row.
const char kCreatedSchema[] =
    "TAVRIN-JET-STANDIN 1\n"
    "table Discs DiscId:I4 TocHash:WSTR40 Category:WSTR30 Source:WSTR60 Artist:WSTR80 "
    "Title:WSTR80 Released:DATE Revision:I4\n"
    "table Tracks DiscId:I4 Track:I4 Title:WSTR80 Artist:WSTR80 Genre:WSTR30 Released:DATE "
    "Extended:WSTR128 TrackKey:I4\n"
    "index Discs DiscsByDiscId DiscId\n"
    "index Tracks TracksByDiscId DiscId\n";

inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
}

inline std::string ReadBytes(const std::wstring& path) {
  std::string bytes;
  HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(f, buffer, sizeof buffer, &read, nullptr) && read) bytes.append(buffer, read);
  CloseHandle(f);
  return bytes;
}

// Whether the file begins with the tables that the plug-ins create.
inline bool HasCreatedSchema(const std::string& bytes) {
  return bytes.rfind(kCreatedSchema, 0) == 0;
}

// An empty cache with both tables, plus extra lines (rows, limits) in UTF-8.
inline void Write(const std::wstring& path, const std::wstring& extra = L"") {
  WriteBytes(path, kSchema + Utf8::Encode(extra));
}

// One row line of the Discs table.
inline std::wstring DiscRow(long id, const std::wstring& hash, const std::wstring& category,
                            const std::wstring& source, const std::wstring& artist,
                            const std::wstring& title, double date, long revision) {
  return L"row Discs\t" + std::to_wstring(id) + L"\t" + hash + L"\t" + category + L"\t" + source +
         L"\t" + artist + L"\t" + title + L"\t" + std::to_wstring(date) + L"\t" +
         std::to_wstring(revision) + L"\n";
}

inline std::wstring TrackRow(long id, long track, const std::wstring& title,
                             const std::wstring& artist, const std::wstring& genre, double date) {
  return L"row Tracks\t" + std::to_wstring(id) + L"\t" + std::to_wstring(track) + L"\t" + title +
         L"\t" + artist + L"\t" + genre + L"\t" + std::to_wstring(date) + L"\t\t" +
         std::to_wstring((id & ~0x7FL) | track) + L"\n";
}

}  // namespace CacheFiles

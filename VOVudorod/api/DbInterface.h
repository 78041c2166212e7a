#pragma once
#include <cstdint>

// The records and functions that cross the boundary between the program and a
// CD-database plug-in. Every export is a plain cdecl function exported under its
// undecorated name; texts are NUL-terminated UTF-16; the caller owns every buffer.
//
// Entry index 0 is the disc itself, 1..n are its tracks.

extern "C" {

// A text going in or out. On an out-string, capacity 0 asks for the size.
struct DbString {
  uint32_t capacity;  // UTF-16 units, terminating NUL included
  wchar_t* buffer;
};

// One database entry that matches a disc, written by Query.
struct DbMatch {
  DbString title;
  DbString artist;
  DbString category;
  uint32_t discId;
  int32_t marker;  // given back to Lookup unchanged
};

// The texts of one entry, written by Lookup; the first four fields only for index 0.
struct DbDiscInfo {
  DbString source;
  uint32_t discId;
  int32_t revision;
  unsigned char tocHash[20];
  DbString artist;
  DbString title;
  DbString genre;
  DbString extended;
  int32_t year;  // 0: unknown
};

// Texts set by the host; only the buffer pointers are read.
struct DbTrackInfo {
  DbString artist;
  DbString title;
  DbString genre;
  DbString extended;
  int32_t year;
};

typedef void* DbSessionHandle;

typedef DbSessionHandle(__cdecl* CreateSessionFn)(const wchar_t* applicationName,
                                                  const unsigned char* rawToc);
typedef void(__cdecl* CloseSessionFn)(DbSessionHandle session);
typedef uint32_t(__cdecl* QueryFn)(DbSessionHandle session, uint32_t index, DbMatch* out);
typedef uint32_t(__cdecl* LookupFn)(DbSessionHandle session, uint32_t reserved,
                                    const wchar_t* category, uint32_t discId, int32_t marker,
                                    uint32_t index, DbDiscInfo* out);
typedef int32_t(__cdecl* SubmitFn)(DbSessionHandle session, int32_t revision);
typedef void(__cdecl* SetGenreFn)(DbSessionHandle session, const DbString* genre);
typedef void(__cdecl* SetTrackInfoFn)(DbSessionHandle session, int32_t index,
                                      const DbTrackInfo* info);
typedef uint32_t(__cdecl* GetConfigurationFn)();
// The host passes two further arguments, which cdecl lets the plug-in ignore.
typedef int32_t(__cdecl* ConfigureFn)(void* parentWindow);

}  // extern "C"

static_assert(sizeof(DbString) == 2 * sizeof(void*), "DbString layout");
#if !defined(_WIN64)
static_assert(sizeof(DbString) == 8 && sizeof(DbMatch) == 32 && sizeof(DbDiscInfo) == 72 &&
                  sizeof(DbTrackInfo) == 36,
              "records are laid out field after field without padding");
#endif

#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/api/DbInterface.h"
#include "engine/backup/DiscRecords.h"

// The host's copy of one database match of a disc.
struct DiscMatch {
  std::wstring title;
  std::wstring artist;
  std::wstring category;  // the database's genre key of the match
  uint32_t discId = 0;
  int32_t marker = 0;  // given back to the plug-in unchanged
};

// One session of a CD-database plug-in on one disc: the library loaded anew
// from the program's "VOVudorod" folder, its nine exports bound by name and a
// plug-in session opened on the disc's raw TOC. A library that is missing or
// lacks an export gives an unbound session, which finds nothing and submits
// nothing. Created, used and destroyed by one thread.
class VOVudoroDession {
 public:
  // An empty file name selects "Ombrel.dll" (online) or "Vondrel.dll".
  static std::unique_ptr<VOVudoroDession> Create(HWND parent, bool online,
                                                 const std::wstring& fileName,
                                                 const std::vector<unsigned char>& rawToc);

  VOVudoroDession(HWND parent, bool online, const std::wstring& fileName,
                  const std::vector<unsigned char>& rawToc);
  ~VOVudoroDession();
  VOVudoroDession(const VOVudoroDession&) = delete;
  VOVudoroDession& operator=(const VOVudoroDession&) = delete;

  bool Bound() const { return session_ != nullptr; }

  // The database's matches in the plug-in's order; empty when it knows none.
  std::vector<DiscMatch> QueryMatches();
  // The texts of one match (entry 0 the disc), from the chosen match's
  // category, disc id and marker; a session is looked up once.
  DiscInfo LookupDisc(const std::wstring& category, uint32_t discId, int32_t marker);
  // The entries to submit, each with the given genre key.
  void SetDiscTracks(const std::wstring& genre, const std::vector<TrackText>& entries);
  // Sends the entries; true when submitted or when the user declined in the
  // plug-in's dialog, false when it failed or the session is unbound.
  bool SubmitDisc(int32_t revision);

 private:
  // The plug-in is called with three arguments, of which it reads the first.
  typedef int32_t(__cdecl* ConfigureCall)(void* parentWindow, int32_t, int32_t);

  bool Bind();

  DbSessionHandle session_ = nullptr;
  HMODULE library_ = nullptr;
  HWND parent_;
  DiscInfo disc_;
  CreateSessionFn createSession_ = nullptr;
  CloseSessionFn closeSession_ = nullptr;
  QueryFn query_ = nullptr;
  LookupFn lookup_ = nullptr;
  SubmitFn submit_ = nullptr;
  SetGenreFn setGenre_ = nullptr;
  SetTrackInfoFn setTrackInfo_ = nullptr;
  GetConfigurationFn getConfiguration_ = nullptr;
  ConfigureCall configure_ = nullptr;
};

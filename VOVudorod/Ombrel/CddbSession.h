#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VOVudorod/Ombrel/CddbText.h"
#include "VOVudorod/core/SessionCore.h"

// The online plug-in's session: a disc is looked up in the local disc cache
// first, then in the online CD database, which is spoken to in the CDDB
// protocol (level 6) over HTTP; every command is the form-encoded body of a
// POST to one of the default servers. Every request runs synchronously on the
// calling thread. CheckComplete, GetDiscKey and TakeCachedDisc are the core's
// (SessionCore).
class CddbSession : public DbCore::SessionCore {
 public:
  static std::unique_ptr<DbCore::SessionCore> Create(const std::vector<unsigned char>& rawToc);

  // The cached disc as the one match (its texts left in lookedUp), else the
  // online matches.
  std::vector<DbCore::MatchRecord> FindMatches(DbCore::DiscRecord& lookedUp) override;
  // The entry read online; what was read is kept in the cache.
  DbCore::DiscRecord FetchDisc(const std::wstring& category, uint32_t discId,
                               int32_t marker) override;
  // Sends the session's texts with the stored submitter address.
  bool Submit(int32_t revision) override;

  // Transport: the reply text, empty on any failure. command selects the path
  // of queries and reads, else the path of submissions.
  std::wstring HttpPost(const std::wstring& request, bool command);

  std::wstring HelloString() const;
  std::wstring QueryCommand() const;
  std::wstring ReadCommand(const std::wstring& category, uint32_t discId) const;

  // Asks the default servers in turn until one replies.
  std::vector<DbCore::MatchRecord> QueryMatches();
  // Reads an entry from the server that listed it; no entries on failure.
  DbCore::DiscRecord ReadDisc(const std::wstring& category, uint32_t discId, int32_t marker);
  // A DTITLE or TTITLE line of a read reply: its value, as it stands after the
  // '=', is added to the text of the entry it names (a value continued on
  // further lines is joined). A line that names no entry of titles (no '=', no
  // text after it, no number where one must stand) adds nothing.
  static void ParseTitleLine(const std::wstring& line, Cddb::XmcdKeywordId keyword,
                             std::vector<std::wstring>& titles);

  // The submission text of the session's texts: the header block, an empty
  // line, and the entry in xmcd form.
  std::wstring WriteXmcd(int32_t revision) const;
  // Posts the submission to every default server; true when one of them
  // accepted it.
  bool SubmitDisc(int32_t revision);
  void SetSubmitterEmail(const std::wstring& address);

  std::size_t serverIndex() const { return serverIndex_; }

 private:
  explicit CddbSession(const std::vector<unsigned char>& rawToc);

  // The absolute address of a TOC entry in frames, lead-in included.
  static int StartFrame(const DbCore::TocEntry& entry);
  // The reply text of a sent WinHTTP request in the code page its headers
  // declare; empty when no reply came.
  static std::wstring ReadReply(void* request);

  std::size_t serverIndex_ = 0;
  std::wstring submitter_;
};

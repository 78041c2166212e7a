// Submission of a disc's texts to the online database as an xmcd entry.
#include "VOVudorod/Ombrel/CddbDefaults.h"
#include "VOVudorod/Ombrel/CddbSession.h"
#include "VOVudorod/Ombrel/CddbText.h"
#include "common/DecimalText.h"

namespace {

const int kAccepted = 200;

// A value on one line: line breaks and other control characters would end the
// line or the header block early, so they go as blanks.
std::wstring OneLine(std::wstring text) {
  for (wchar_t& c : text)
    if (c < L' ') c = L' ';
  return text;
}

std::wstring TitleValue(const DbCore::TrackRecord& e) {
  return OneLine(e.artist) + L" / " + OneLine(e.title);
}

int StatusOf(const std::wstring& reply) {
  const std::vector<std::wstring> lines = Cddb::SplitReplyLines(reply);
  return lines.empty() ? 0 : DecimalText::ParseInt(lines[0]);
}

}  // namespace

std::wstring CddbSession::WriteXmcd(int32_t revision) const {
  const std::vector<DbCore::TocEntry>& toc = tocEntries();
  const std::vector<DbCore::TrackRecord>& e = entries();
  const DbCore::TrackRecord disc = e.empty() ? DbCore::TrackRecord() : e[0];

  std::wstring body = L"# xmcd\n# Track frame offsets:\n";
  for (std::size_t i = 0; i + 1 < toc.size(); ++i)
    body += L"# " + std::to_wstring(StartFrame(toc[i])) + L"\n";
  body += L"#\n";
  const int length = toc.empty() ? 0 : StartFrame(toc.back()) / 75;
  body += L"# Disc length: " + std::to_wstring(length) + L" seconds\n";
  if (revision > 0) body += L"# Revision: " + std::to_wstring(revision) + L"\n";
  body +=
      std::wstring(L"# Submitted via: ") + Cddb::kClientName + L" " + Cddb::kClientVersion + L"\n";
  body += L"DISCID=" + Cddb::HexId(discId()) + L"\n";
  body += L"DTITLE=" + TitleValue(disc) + L"\n";
  if (disc.year != 0) body += L"DYEAR=" + std::to_wstring(disc.year) + L"\n";
  body += L"DGENRE=" + OneLine(disc.genre) + L"\n";
  for (std::size_t i = 1; i < e.size(); ++i)
    body += L"TTITLE" + std::to_wstring(i - 1) + L"=" + TitleValue(e[i]) + L"\n";
  body += L"EXTD=\n";
  for (std::size_t i = 1; i < e.size(); ++i) body += L"EXTT" + std::to_wstring(i - 1) + L"=\n";
  body += L"PLAYORDER=\n";

  std::wstring headers = L"Category: " + OneLine(disc.genre) + L"\n";
  headers += L"Discid: " + Cddb::HexId(discId()) + L"\n";
  headers += L"User-Email: " + OneLine(submitter_) + L"\n";
  headers += L"Submit-Mode: submit\n";
  headers += L"Charset: utf-8\n";
  headers += L"X-Cddbd-Note: TAVRIN submitted the following data...\n";
  headers += L"Content-Length: " + std::to_wstring(Cddb::ToUtf8(body).size()) + L"\n";
  return headers + L"\n" + body;
}

bool CddbSession::SubmitDisc(int32_t revision) {
  if (!CheckComplete()) return false;
  // Every server gets the entry, also after one of them took it.
  bool accepted = false;
  for (serverIndex_ = 0; serverIndex_ < Cddb::kServerCount; ++serverIndex_)
    if (StatusOf(HttpPost(WriteXmcd(revision), false)) == kAccepted) accepted = true;
  return accepted;
}

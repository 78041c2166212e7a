// What both plug-ins do alike: the entry point and five of the exports,
// compiled into each of them.
#include <windows.h>

#include "VOVudorod/api/PluginExports.h"

#include <algorithm>

namespace {

std::wstring TextOf(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

DB_PLUGIN_EXPORT void CloseSession(DbSessionHandle session) {
  delete DbPlugin::FromHandle(session);
}

DB_PLUGIN_EXPORT uint32_t Query(DbSessionHandle session, uint32_t index, DbMatch* out) {
  DbCore::SessionHandle* h = DbPlugin::FromHandle(session);
  if (!h) return 0;
  try {
    if (h->matches.empty()) h->matches = h->session->FindMatches(h->lookedUp);
    if (out && index < h->matches.size()) {
      const DbCore::MatchRecord& m = h->matches[index];
      DbPlugin::WriteText(out->title, m.title);
      DbPlugin::WriteText(out->artist, m.artist);
      DbPlugin::WriteText(out->category, m.category);
      out->discId = m.discId;
      out->marker = m.marker;
    }
  } catch (...) {
  }
  return static_cast<uint32_t>(h->matches.size());
}

DB_PLUGIN_EXPORT uint32_t Lookup(DbSessionHandle session, uint32_t, const wchar_t* category,
                                 uint32_t discId, int32_t marker, uint32_t index, DbDiscInfo* out) {
  DbCore::SessionHandle* h = DbPlugin::FromHandle(session);
  if (!h) return 0;
  try {
    if (h->lookedUp.entries.empty())
      h->lookedUp = h->session->FetchDisc(TextOf(category), discId, marker);
    const DbCore::DiscRecord& disc = h->lookedUp;
    if (out && index < disc.entries.size()) {
      if (index == 0) {
        DbPlugin::WriteText(out->source, disc.source);
        out->discId = disc.discId;
        out->revision = disc.revision;
        std::copy(disc.tocHash.begin(), disc.tocHash.end(), out->tocHash);
      }
      const DbCore::TrackRecord& e = disc.entries[index];
      DbPlugin::WriteText(out->artist, e.artist);
      DbPlugin::WriteText(out->title, e.title);
      DbPlugin::WriteText(out->genre, e.genre);
      DbPlugin::WriteText(out->extended, e.extended);
      out->year = e.year;
    }
  } catch (...) {
  }
  return static_cast<uint32_t>(h->lookedUp.entries.size());
}

DB_PLUGIN_EXPORT void SetGenre(DbSessionHandle session, const DbString* genre) {
  DbCore::SessionHandle* h = DbPlugin::FromHandle(session);
  if (!h || !genre) return;
  try {
    h->session->SetGenre(0, TextOf(genre->buffer));
  } catch (...) {
  }
}

DB_PLUGIN_EXPORT void SetTrackInfo(DbSessionHandle session, int32_t index,
                                   const DbTrackInfo* info) {
  DbCore::SessionHandle* h = DbPlugin::FromHandle(session);
  if (!h || !info || index < 0) return;
  try {
    const std::size_t i = static_cast<std::size_t>(index);
    DbCore::SessionCore& s = *h->session;
    s.SetExtended(i, TextOf(info->extended.buffer));
    s.SetTitle(i, TextOf(info->title.buffer));
    s.SetArtist(i, TextOf(info->artist.buffer));
    s.SetGenre(i, TextOf(info->genre.buffer));
    s.SetYear(i, info->year);
  } catch (...) {
  }
}

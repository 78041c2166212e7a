#include "VOVudorod/api/PluginExports.h"

#include <algorithm>
#include <cwchar>

namespace DbPlugin {
namespace {

const std::size_t kHeaderSize = 4;
const std::size_t kDescriptorSize = 8;

DbCore::SessionHandle* FromHandle(DbSessionHandle handle) {
  return static_cast<DbCore::SessionHandle*>(handle);
}

std::wstring TextOf(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

}  // namespace

std::vector<unsigned char> CopyRawToc(const unsigned char* rawToc) {
  if (!rawToc) return {};
  const std::size_t last = rawToc[3];
  const std::size_t dataLength = rawToc[0] * 256u + rawToc[1];
  std::size_t size = last * kDescriptorSize + kHeaderSize + kDescriptorSize;
  if (dataLength + 2 < size) size = dataLength + 2;
  if (size < kHeaderSize) size = kHeaderSize;
  return std::vector<unsigned char>(rawToc, rawToc + size);
}

void WriteText(DbString& out, const std::wstring& text) {
  const std::size_t needed = text.size() + 1;
  if (out.capacity == 0) {
    out.buffer = nullptr;
    out.capacity = static_cast<uint32_t>(needed);
  } else if (out.capacity < needed) {
    if (out.buffer) out.buffer[0] = L'\0';
  } else if (out.buffer) {
    std::wmemcpy(out.buffer, text.c_str(), needed);
  }
}

DbSessionHandle CreateSession(const unsigned char* rawToc, SessionFactory factory) {
  try {
    auto handle = std::make_unique<DbCore::SessionHandle>();
    handle->session = factory(CopyRawToc(rawToc));
    return handle.release();
  } catch (...) {
    return nullptr;
  }
}

void CloseSession(DbSessionHandle handle) { delete FromHandle(handle); }

uint32_t Query(DbSessionHandle handle, uint32_t index, DbMatch* out) {
  DbCore::SessionHandle* h = FromHandle(handle);
  if (!h) return 0;
  try {
    if (h->matches.empty()) h->matches = h->session->FindMatches(h->lookedUp);
    if (out && index < h->matches.size()) {
      const DbCore::MatchRecord& m = h->matches[index];
      WriteText(out->title, m.title);
      WriteText(out->artist, m.artist);
      WriteText(out->category, m.category);
      out->discId = m.discId;
      out->marker = m.marker;
    }
  } catch (...) {
  }
  return static_cast<uint32_t>(h->matches.size());
}

uint32_t Lookup(DbSessionHandle handle, const wchar_t* category, uint32_t discId, int32_t marker,
                uint32_t index, DbDiscInfo* out) {
  DbCore::SessionHandle* h = FromHandle(handle);
  if (!h) return 0;
  try {
    if (h->lookedUp.entries.empty())
      h->lookedUp = h->session->FetchDisc(TextOf(category), discId, marker);
    const DbCore::DiscRecord& disc = h->lookedUp;
    if (out && index < disc.entries.size()) {
      if (index == 0) {
        WriteText(out->source, disc.source);
        out->discId = disc.discId;
        out->revision = disc.revision;
        std::copy(disc.tocHash.begin(), disc.tocHash.end(), out->tocHash);
      }
      const DbCore::TrackRecord& e = disc.entries[index];
      WriteText(out->artist, e.artist);
      WriteText(out->title, e.title);
      WriteText(out->genre, e.genre);
      WriteText(out->extended, e.extended);
      out->year = e.year;
    }
  } catch (...) {
  }
  return static_cast<uint32_t>(h->lookedUp.entries.size());
}

int32_t Submit(DbSessionHandle handle, int32_t revision) {
  DbCore::SessionHandle* h = FromHandle(handle);
  try {
    return h && h->session->Submit(revision) ? 0 : 1;
  } catch (...) {
    return 1;
  }
}

void SetGenre(DbSessionHandle handle, const DbString* genre) {
  DbCore::SessionHandle* h = FromHandle(handle);
  if (!h || !genre) return;
  try {
    h->session->SetGenre(0, TextOf(genre->buffer));
  } catch (...) {
  }
}

void SetTrackInfo(DbSessionHandle handle, int32_t index, const DbTrackInfo* info) {
  DbCore::SessionHandle* h = FromHandle(handle);
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

}  // namespace DbPlugin

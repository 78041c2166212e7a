#include "wizard/dbhost/VOVudoroDession.h"

#include <shlwapi.h>

#include <algorithm>

#include "wizard/Version.h"

namespace {

const uint32_t kFirstBound = 100;
// The plug-in reads last track × 8 + 12 bytes of the TOC it is given; the
// last track number is one byte, so this many bytes always suffice.
const size_t kPluginTocBytes = 255 * 8 + 12;
// A reported text size beyond this is not believed; the text comes back empty.
const uint32_t kMaxTextUnits = 1u << 16;

// A buffer for one text that the plug-in writes, of the capacity it asked for.
class OutText {
 public:
  explicit OutText(DbString& pair) {
    if (pair.capacity > 0 && pair.capacity <= kMaxTextUnits) units_.assign(pair.capacity, L'\0');
    pair.capacity = static_cast<uint32_t>(units_.size());
    pair.buffer = units_.empty() ? nullptr : units_.data();
  }
  std::wstring Text() const {
    return std::wstring(units_.data(),
                        std::find(units_.begin(), units_.end(), L'\0') - units_.begin());
  }

 private:
  std::vector<wchar_t> units_;
};

void AskSize(DbString& pair) {
  pair.capacity = 0;
  pair.buffer = nullptr;
}

// A NUL-terminated copy of a text the plug-in reads during one call.
struct InText {
  explicit InText(const std::wstring& text) : units(text.begin(), text.end()) {
    units.push_back(L'\0');
  }
  DbString Pair() { return {static_cast<uint32_t>(units.size()), units.data()}; }
  std::vector<wchar_t> units;
};

std::wstring PluginPath(const std::wstring& fileName) {
  wchar_t folder[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  PathRemoveFileSpecW(folder);
  PathAddBackslashW(folder);
  return std::wstring(folder) + L"VOVudorod\\" + fileName;
}

template <typename F>
bool BindExport(HMODULE library, const char* name, F& function) {
  function = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(library, name)));
  return function != nullptr;
}

}  // namespace

std::unique_ptr<VOVudoroDession> VOVudoroDession::Create(HWND parent, bool online,
                                                         const std::wstring& fileName,
                                                         const std::vector<unsigned char>& rawToc) {
  return std::make_unique<VOVudoroDession>(parent, online, fileName, rawToc);
}

VOVudoroDession::VOVudoroDession(HWND parent, bool online, const std::wstring& fileName,
                                 const std::vector<unsigned char>& rawToc)
    : parent_(parent) {
  // Without its header a TOC names no tracks; such a disc is never looked up.
  if (rawToc.size() < 4) return;
  const std::wstring name = fileName.empty() ? (online ? L"Ombrel.dll" : L"Vondrel.dll") : fileName;
  library_ = LoadLibraryW(PluginPath(name).c_str());
  if (!library_) return;
  if (!Bind()) {
    FreeLibrary(library_);
    library_ = nullptr;
    return;
  }
  // The plug-in copies as many bytes as the TOC's last track number implies,
  // whatever the drive delivered: give it a zero-padded copy.
  std::vector<unsigned char> toc(rawToc);
  toc.resize(std::max(toc.size(), kPluginTocBytes), 0);
  session_ = createSession_(GetProductName(), toc.data());
}

VOVudoroDession::~VOVudoroDession() {
  if (session_) {
    closeSession_(session_);
    session_ = nullptr;
  }
  if (library_) {
    FreeLibrary(library_);
    library_ = nullptr;
  }
}

bool VOVudoroDession::Bind() {
  // Every one is looked up, in the interface's order, before the verdict.
  bool all = BindExport(library_, "CreateSession", createSession_);
  all = BindExport(library_, "CloseSession", closeSession_) && all;
  all = BindExport(library_, "Query", query_) && all;
  all = BindExport(library_, "Lookup", lookup_) && all;
  all = BindExport(library_, "Submit", submit_) && all;
  all = BindExport(library_, "SetGenre", setGenre_) && all;
  all = BindExport(library_, "SetTrackInfo", setTrackInfo_) && all;
  all = BindExport(library_, "GetConfiguration", getConfiguration_) && all;
  all = BindExport(library_, "Configure", configure_) && all;
  return all;
}

std::vector<DiscMatch> VOVudoroDession::QueryMatches() {
  std::vector<DiscMatch> matches;
  if (!session_) return matches;
  for (uint32_t index = 0, bound = kFirstBound; index < bound; ++index) {
    DbMatch record{};
    AskSize(record.title);
    AskSize(record.artist);
    AskSize(record.category);
    bound = query_(session_, index, &record);
    if (bound == 0) continue;
    OutText title(record.title), artist(record.artist), category(record.category);
    query_(session_, index, &record);
    matches.push_back({title.Text(), artist.Text(), category.Text(), record.discId, record.marker});
  }
  return matches;
}

DiscInfo VOVudoroDession::LookupDisc(const std::wstring& category, uint32_t discId,
                                     int32_t marker) {
  if (session_) {
    const InText key(category);
    DbDiscInfo record{};
    AskSize(record.source);
    for (uint32_t index = 0, bound = kFirstBound; index < bound; ++index) {
      record.source.buffer = nullptr;
      AskSize(record.artist);
      AskSize(record.title);
      AskSize(record.genre);
      AskSize(record.extended);
      bound = lookup_(session_, 0, key.units.data(), discId, marker, index, &record);
      if (bound == 0) continue;
      std::unique_ptr<OutText> source;
      if (index == 0) source = std::make_unique<OutText>(record.source);
      OutText artist(record.artist), title(record.title), genre(record.genre),
          extended(record.extended);
      lookup_(session_, 0, key.units.data(), discId, marker, index, &record);
      if (index == 0) {
        disc_.discId = static_cast<int32_t>(record.discId);
        disc_.source = source->Text();
        disc_.revision = record.revision;
        std::copy(std::begin(record.tocHash), std::end(record.tocHash), disc_.tocHash.begin());
      }
      disc_.tracks.push_back(
          {artist.Text(), title.Text(), genre.Text(), extended.Text(), record.year});
    }
  }
  disc_.category = category;
  return disc_;
}

void VOVudoroDession::SetDiscTracks(const std::wstring& genre,
                                    const std::vector<TrackText>& entries) {
  disc_.tracks = entries;
  for (TrackText& entry : disc_.tracks) entry.genre = genre;
}

bool VOVudoroDession::SubmitDisc(int32_t revision) {
  if (!session_) return false;
  for (size_t i = 0; i < disc_.tracks.size(); ++i) {
    const TrackText& entry = disc_.tracks[i];
    InText artist(entry.artist), title(entry.title), genre(entry.genre),
        extended(entry.extendedText);
    const DbTrackInfo record{artist.Pair(), title.Pair(), genre.Pair(), extended.Pair(),
                             entry.year};
    setTrackInfo_(session_, static_cast<int32_t>(i), &record);
  }
  if (configure_(parent_, 0, 1) != 0) return true;
  return submit_(session_, revision) == 0;
}

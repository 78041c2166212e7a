#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "VOVudorod/api/DbInterface.h"

// A plug-in loaded by path with its nine exports bound by name, driven as the
// program drives it: every Query and Lookup twice per index, sizes first.
class PluginHost {
 public:
  struct Match {
    std::wstring title, artist, category;
    uint32_t discId = 0;
    int32_t marker = 0;
  };
  struct Entry {
    std::wstring artist, title, genre, extended;
    int32_t year = 0;
  };
  struct Disc {
    std::wstring source;
    uint32_t discId = 0;
    int32_t revision = 0;
    unsigned char tocHash[20] = {};
    std::vector<Entry> entries;
  };

  explicit PluginHost(const std::wstring& path) : module_(LoadLibraryW(path.c_str())) {
    if (!module_) return;
    Bind(createSession, "CreateSession");
    Bind(closeSession, "CloseSession");
    Bind(query, "Query");
    Bind(lookup, "Lookup");
    Bind(submit, "Submit");
    Bind(setGenre, "SetGenre");
    Bind(setTrackInfo, "SetTrackInfo");
    Bind(getConfiguration, "GetConfiguration");
    Bind(configure, "Configure");
  }
  ~PluginHost() {
    if (module_) FreeLibrary(module_);
  }
  PluginHost(const PluginHost&) = delete;
  PluginHost& operator=(const PluginHost&) = delete;

  bool Bound() const { return module_ && bound_ == 9; }

  std::vector<Match> QueryAll(DbSessionHandle s) const {
    std::vector<Match> matches;
    for (uint32_t i = 0, bound = 100; i < bound; ++i) {
      DbMatch m{};
      bound = query(s, i, &m);
      if (bound == 0) break;
      std::wstring title(m.title.capacity, L'\0'), artist(m.artist.capacity, L'\0'),
          category(m.category.capacity, L'\0');
      m.title.buffer = &title[0];
      m.artist.buffer = &artist[0];
      m.category.buffer = &category[0];
      query(s, i, &m);
      matches.push_back({title.c_str(), artist.c_str(), category.c_str(), m.discId, m.marker});
    }
    return matches;
  }

  Disc LookupAll(DbSessionHandle s, const wchar_t* category, uint32_t discId,
                 int32_t marker) const {
    Disc disc;
    std::wstring source;
    DbDiscInfo info{};
    for (uint32_t i = 0, bound = 100; i < bound; ++i) {
      info.source.buffer = nullptr;
      info.artist = info.title = info.genre = info.extended = DbString{0, nullptr};
      bound = lookup(s, 0, category, discId, marker, i, &info);
      if (bound == 0) break;
      if (i == 0) {
        source.assign(info.source.capacity, L'\0');
        info.source.buffer = &source[0];
      }
      std::wstring artist(info.artist.capacity, L'\0'), title(info.title.capacity, L'\0'),
          genre(info.genre.capacity, L'\0'), extended(info.extended.capacity, L'\0');
      info.artist.buffer = &artist[0];
      info.title.buffer = &title[0];
      info.genre.buffer = &genre[0];
      info.extended.buffer = &extended[0];
      lookup(s, 0, category, discId, marker, i, &info);
      if (i == 0) {
        disc.source = source.c_str();
        disc.discId = info.discId;
        disc.revision = info.revision;
        std::copy(info.tocHash, info.tocHash + 20, disc.tocHash);
      }
      disc.entries.push_back(
          {artist.c_str(), title.c_str(), genre.c_str(), extended.c_str(), info.year});
    }
    return disc;
  }

  void SetEntry(DbSessionHandle s, int32_t index, const Entry& e) const {
    std::wstring artist = e.artist, title = e.title, genre = e.genre, extended = e.extended;
    DbTrackInfo info{};
    info.artist.buffer = &artist[0];
    info.title.buffer = &title[0];
    info.genre.buffer = &genre[0];
    info.extended.buffer = &extended[0];
    info.year = e.year;
    setTrackInfo(s, index, &info);
  }

  CreateSessionFn createSession = nullptr;
  CloseSessionFn closeSession = nullptr;
  QueryFn query = nullptr;
  LookupFn lookup = nullptr;
  SubmitFn submit = nullptr;
  SetGenreFn setGenre = nullptr;
  SetTrackInfoFn setTrackInfo = nullptr;
  GetConfigurationFn getConfiguration = nullptr;
  ConfigureFn configure = nullptr;

 private:
  template <class F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    if (f) ++bound_;
  }
  HMODULE module_;
  int bound_ = 0;
};

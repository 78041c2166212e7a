#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

#include "VOVudorod/core/SessionCore.h"
#include "VOVudorod/core/Toc.h"
#include "tests/VOVudorod/CacheFiles.h"
#include "tests/VOVudorod/PluginHost.h"
#include "tests/VOVudorod/Tocs.h"
#include "tests/support/ProgramFolder.h"
#include "tests/support/TempDir.h"
#include "tests/support/vdrive/VirtualDisc.h"

namespace {

std::wstring PluginPath() { return ProgramFolder() + L"VOVudorod\\Vondrel.dll"; }

// Three tracks of a disc whose texts fill the columns: non-Latin letters, and
// titles longer than a column holds.
std::vector<PluginHost::Entry> Texts() {
  return {{L"", L"Ночной альбом", L"Folk", L"never stored", 1998},
          {L"Sigur Rós", L"Hoppípolla " + std::wstring(90, L'x'), L"Post-rock", L"", 2005},
          {L"坂本龍一", L"戦場のメリークリスマス", L"サウンドトラック", L"", 0},
          {L"Anon", L"\U0001F3B5 Coda", L"", L"", 0}};
}

// The READ TOC reply of a virtual drive holding a disc of three tracks.
std::vector<unsigned char> ThreeTracks() {
  VirtualDisc::Drive drive;
  drive.tracks = {{0, false, 0}, {18633, false, 0}, {44849, false, 0}};
  drive.leadOut = 67362;
  return VirtualDisc::TocReply(drive);
}

class Vondrel : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    // The stand-in provider opens the cache file of this test's folder.
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", dir_.path().c_str());
    ASSERT_TRUE(host_.Bound());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVRIN_JET_FOLDER", nullptr);
    CoUninitialize();
  }
  DbSessionHandle Open(const std::vector<unsigned char>& toc) const {
    return host_.createSession(L"TAVRIN", toc.data());
  }
  // A session that submits every text; the result of Submit.
  int32_t SubmitTexts(const std::vector<unsigned char>& toc,
                      const std::vector<PluginHost::Entry>& texts) const {
    DbSessionHandle s = Open(toc);
    for (std::size_t i = 0; i < texts.size(); ++i)
      host_.SetEntry(s, static_cast<int32_t>(i), texts[i]);
    // The program passes two more arguments, which cdecl lets the plug-in ignore.
    using Configure3 = int32_t (*)(void*, int, int);
    EXPECT_EQ(
        0, reinterpret_cast<Configure3>(reinterpret_cast<void*>(host_.configure))(nullptr, 0, 1));
    const int32_t result = host_.submit(s, -1);
    host_.closeSession(s);
    return result;
  }

  TempDir dir_;
  const std::wstring cache_ = dir_ / L"TAVRIN.mdb";
  PluginHost host_{PluginPath()};
};

// A fresh machine: no cache file until the first submission makes it.
TEST_F(Vondrel, StoredTextsAreFoundByTheNextSession) {
  const std::vector<unsigned char> toc = ThreeTracks();
  DbSessionHandle first = Open(toc);
  ASSERT_NE(nullptr, first);
  EXPECT_TRUE(host_.QueryAll(first).empty());
  EXPECT_TRUE(host_.LookupAll(first, L"misc", 0, 0).entries.empty());
  host_.closeSession(first);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(cache_.c_str()));
  ASSERT_EQ(0, SubmitTexts(toc, Texts()));
  EXPECT_TRUE(CacheFiles::HasCreatedSchema(CacheFiles::ReadBytes(cache_)));

  DbSessionHandle s = Open(toc);
  const auto matches = host_.QueryAll(s);
  ASSERT_EQ(1u, matches.size());
  EXPECT_EQ(L"Ночной альбом", matches[0].title);
  EXPECT_EQ(L"various", matches[0].artist);
  EXPECT_EQ(L"", matches[0].category);  // the local plug-in stores no category
  EXPECT_EQ(0, matches[0].marker);
  EXPECT_EQ(DbCore::ComputeDiscId(DbCore::SessionCore::ParseToc(toc)), matches[0].discId);

  DbMatch untouched{};
  untouched.marker = 42;
  EXPECT_EQ(1u, host_.query(s, 1, &untouched));  // at the count: nothing is written
  EXPECT_EQ(42, untouched.marker);
  EXPECT_EQ(0u, untouched.title.capacity);

  const PluginHost::Disc disc = host_.LookupAll(s, L"rock", 0x12345678, 7);
  host_.closeSession(s);
  EXPECT_EQ(L"Vondrel", disc.source);
  EXPECT_EQ(matches[0].discId, disc.discId);
  const DbCore::TocHash hash = DbCore::HashToc(toc);
  EXPECT_TRUE(std::equal(hash.begin(), hash.end(), disc.tocHash));
  ASSERT_EQ(4u, disc.entries.size());
  const auto texts = Texts();
  EXPECT_EQ(L"", disc.entries[0].genre);
  EXPECT_EQ(1998, disc.entries[0].year);
  EXPECT_EQ(texts[1].artist, disc.entries[1].artist);
  EXPECT_EQ(texts[1].title.substr(0, 80), disc.entries[1].title);
  EXPECT_EQ(L"Post-rock", disc.entries[1].genre);
  EXPECT_EQ(2005, disc.entries[1].year);
  EXPECT_EQ(texts[2].title, disc.entries[2].title);
  EXPECT_EQ(texts[2].genre, disc.entries[2].genre);
  EXPECT_EQ(texts[3].title, disc.entries[3].title);
  for (const auto& e : disc.entries) EXPECT_EQ(L"", e.extended);
}

TEST_F(Vondrel, ACorrectedSubmissionIsWhatTheNextSessionReads) {
  CacheFiles::Write(cache_);
  const std::vector<unsigned char> toc = ThreeTracks();
  ASSERT_EQ(0, SubmitTexts(toc, Texts()));
  DbSessionHandle s = Open(toc);
  ASSERT_EQ(1u, host_.QueryAll(s).size());
  host_.SetEntry(s, 2, {L"Ryuichi Sakamoto", L"Merry Christmas Mr. Lawrence", L"", L"", 1983});
  EXPECT_EQ(0, host_.submit(s, 0));
  host_.closeSession(s);

  DbSessionHandle again = Open(toc);
  host_.QueryAll(again);
  const auto disc = host_.LookupAll(again, L"", 0, 0);
  host_.closeSession(again);
  ASSERT_EQ(4u, disc.entries.size());
  EXPECT_EQ(L"Merry Christmas Mr. Lawrence", disc.entries[2].title);
  EXPECT_EQ(1983, disc.entries[2].year);
}

TEST_F(Vondrel, IncompleteTextsAreNotSubmitted) {
  CacheFiles::Write(cache_);
  auto texts = Texts();
  texts[2].title.clear();
  EXPECT_EQ(1, SubmitTexts(ThreeTracks(), texts));
  auto fewer = Texts();
  fewer.pop_back();
  EXPECT_EQ(1, SubmitTexts(ThreeTracks(), fewer));
  EXPECT_EQ(std::string(CacheFiles::kSchema), CacheFiles::ReadBytes(cache_));
}

TEST_F(Vondrel, BrokenCachesGiveNothingAndRefuseSubmissions) {
  const std::vector<unsigned char> toc = ThreeTracks();
  struct Case {
    const char* name;
    std::string content;
    bool locked;
  };
  const Case cases[] = {{"corrupt", std::string("TAVRIN-JET-STANDIN 1\nrow \xff\xfe\n"), false},
                        {"unreadable", CacheFiles::kSchema, true}};
  for (const Case& c : cases) {
    CacheFiles::WriteBytes(cache_, c.content);
    HANDLE lock =
        c.locked ? CreateFileW(cache_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)
                 : INVALID_HANDLE_VALUE;
    DbSessionHandle s = Open(toc);
    EXPECT_TRUE(host_.QueryAll(s).empty()) << c.name;
    EXPECT_TRUE(host_.QueryAll(s).empty()) << c.name;
    EXPECT_TRUE(host_.LookupAll(s, L"misc", 0, 0).entries.empty()) << c.name;
    host_.closeSession(s);
    EXPECT_EQ(1, SubmitTexts(toc, Texts())) << c.name;
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock);
    EXPECT_EQ(c.content, CacheFiles::ReadBytes(cache_)) << c.name;  // never made anew
  }
}

TEST_F(Vondrel, SessionWithoutCacheGivesBackWhatTheHostSet) {
  DbSessionHandle s = Open(ThreeTracks());
  host_.SetEntry(s, 5, {L"a", L"t", L"g", L"x", 2001});
  DbString genre{0, const_cast<wchar_t*>(L"Jazz")};
  host_.setGenre(s, &genre);
  const auto disc = host_.LookupAll(s, nullptr, 0, 0);
  ASSERT_EQ(6u, disc.entries.size());
  EXPECT_EQ(L"Jazz", disc.entries[0].genre);
  EXPECT_EQ(L"", disc.entries[4].title);
  EXPECT_EQ(0, disc.entries[4].year);
  EXPECT_EQ(L"x", disc.entries[5].extended);
  EXPECT_EQ(-1, disc.revision);

  // at the count: the record stays as it was
  DbDiscInfo info{};
  info.year = 42;
  EXPECT_EQ(6u, host_.lookup(s, 0, L"", 0, 0, 6, &info));
  EXPECT_EQ(42, info.year);
  host_.setTrackInfo(s, -1, nullptr);
  host_.closeSession(s);
  host_.closeSession(nullptr);
  EXPECT_EQ(0x0Eu, host_.getConfiguration());
}

TEST_F(Vondrel, TocThatOverstatesItsTracksIsReadNoFurtherThanItsLength) {
  // The host's TOC ends at a page that cannot be read.
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  unsigned char* pages = static_cast<unsigned char*>(
      VirtualAlloc(nullptr, 2 * si.dwPageSize, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(nullptr, pages);
  DWORD old;
  VirtualProtect(pages + si.dwPageSize, si.dwPageSize, PAGE_NOACCESS, &old);
  std::vector<unsigned char> toc = Tocs::Make({{0, 2, 0}}, {3, 0, 0});
  toc[3] = 99;
  unsigned char* end = pages + si.dwPageSize;
  std::copy(toc.begin(), toc.end(), end - toc.size());
  DbSessionHandle s = host_.createSession(L"TAVRIN", end - toc.size());
  ASSERT_NE(nullptr, s);
  EXPECT_TRUE(host_.QueryAll(s).empty());
  EXPECT_EQ(1, host_.submit(s, 0));
  host_.closeSession(s);
  VirtualFree(pages, 0, MEM_RELEASE);
}

// Disc ids and TOC hashes of random discs, for the host's own checkers: one
// line per disc with the TOC file, the plug-in's disc id and its hash.
TEST_F(Vondrel, IdentityOfRandomDiscs) {
  wchar_t out[MAX_PATH];
  if (!GetEnvironmentVariableW(L"TAVRIN_DISC_IDS", out, MAX_PATH)) GTEST_SKIP();
  CreateDirectoryW(out, nullptr);
  const std::wstring folder = out;
  std::mt19937 random(20261210);
  std::wstring list;
  for (int d = 0; d < 40; ++d) {
    // The READ TOC reply of a virtual drive; an enhanced CD ends on a data track.
    VirtualDisc::Drive drive;
    const int tracks = 1 + random() % 99;
    int32_t lba = random() % 2000;
    for (int t = 0; t < tracks; ++t) {
      drive.tracks.push_back({lba, t == tracks - 1 && random() % 4 == 0, 0});
      lba += 300 + random() % (300000 / tracks);
    }
    drive.leadOut = lba;
    const std::vector<unsigned char> toc = VirtualDisc::TocReply(drive);
    const std::wstring name = L"disc" + std::to_wstring(d) + L".toc";
    CacheFiles::WriteBytes(folder + L"\\" + name, std::string(toc.begin(), toc.end()));
    DbSessionHandle s = Open(toc);
    host_.SetEntry(s, 0, {L"", L"title", L"", L"", 0});
    const auto disc = host_.LookupAll(s, L"", 0, 0);
    host_.closeSession(s);
    ASSERT_EQ(1u, disc.entries.size());
    wchar_t line[160];
    std::swprintf(line, 160, L"%ls %08x ", name.c_str(), disc.discId);
    list += line;
    for (unsigned char b : disc.tocHash) {
      std::swprintf(line, 160, L"%02x", b);
      list += line;
    }
    list += L"\n";
  }
  CacheFiles::WriteBytes(folder + L"\\ids.txt", Utf8::Encode(list));
}

}  // namespace

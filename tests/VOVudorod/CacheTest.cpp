#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <utility>
#include <vector>

#include "VOVudorod/cache/DiscCache.h"
#include "VOVudorod/cache/OleDb.h"
#include "tests/VOVudorod/CacheFiles.h"
#include "tests/VOVudorod/DebugOutput.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"

namespace {

using DbCache::ReadCachedDisc;
using DbCache::WriteCachedDisc;
using DbCore::DiscRecord;

const wchar_t kHash[] = L"00FF0102030405060708090A0B0C0D0E0F101112";
const wchar_t kOtherHash[] = L"FFFF0102030405060708090A0B0C0D0E0F101112";
const double k1998 = 35796.5;  // 1 January 1998, 12:00

DbCore::TocHash Hash(const wchar_t* hex) {
  DbCore::TocHash h;
  const std::string narrow(hex, hex + wcslen(hex));
  DbCache::HexToHash(h, narrow.c_str());
  return h;
}

class Cache : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetEnvironmentVariableW(L"TAVRIN_JET_LOG", log_.c_str());
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TAVRIN_JET_LOG", nullptr);
    CoUninitialize();
  }
  // Reads the disc id with the usual hash.
  HRESULT Read(uint32_t id, DiscRecord& r, const wchar_t* hash = kHash) {
    r.discId = id;
    r.tocHash = Hash(hash);
    return ReadCachedDisc(path_, r);
  }
  std::string Log() const { return CacheFiles::ReadBytes(log_); }
  bool Exists() const { return GetFileAttributesW(path_.c_str()) != INVALID_FILE_ATTRIBUTES; }
  // A disc of two tracks (the low bits of its id must say 2) without a category.
  static DiscRecord Disc(uint32_t id, const std::wstring& title) {
    DiscRecord w;
    w.discId = id;
    w.tocHash = Hash(kHash);
    w.source = L"Vondrel";
    w.entries = {{L"A", title, L"", L"", 1998},
                 {L"B", L"One", L"Pop", L"", 0},
                 {L"C", L"Two", L"", L"", 2001}};
    return w;
  }

  TempDir dir_;
  const std::wstring path_ = dir_ / L"TAVRIN.mdb";
  const std::wstring log_ = dir_ / L"jet.log";
};

TEST(CacheHash, HexDigitsBothWays) {
  DbCore::TocHash h{};
  h[0] = 0x00;
  h[1] = 0xFF;
  h[19] = 0xA5;
  const std::string hex = DbCache::HashToHex(h);
  EXPECT_EQ("00FF0000000000000000000000000000000000A5", hex);
  DbCore::TocHash back;
  DbCache::HexToHash(back, hex.c_str());
  EXPECT_EQ(h, back);
  DbCache::HexToHash(back, "00ff00000000000000000000000000000000zzA5");
  EXPECT_EQ(0xFF, back[1]);
  EXPECT_EQ(0x00, back[18]);  // other characters count as 0
  for (const char* wrong : {"00FF", "00FF000000000000000000000000000000000A5", ""}) {
    DbCache::HexToHash(back, wrong);
    EXPECT_EQ(DbCore::TocHash{}, back) << wrong;
  }
}

TEST_F(Cache, RoundTripKeepsTextsWithinTheColumns) {
  CacheFiles::Write(path_);
  DiscRecord w;
  w.discId = 0x8B014802;  // top bit set: a negative number in the column
  w.tocHash = Hash(kHash);
  w.source = L"Vondrel";
  w.category = std::wstring(40, L'c');
  w.revision = 7;
  w.entries.resize(3);
  w.entries[0] = {L"Björk Guðmundsdóttir", L"Ночь \U0001F3B5", L"", L"", 1998};
  // 79 units and a surrogate pair that the 80th unit would split
  w.entries[1] = {std::wstring(79, L'a') + L"\U0001F3B5", L"曲名", L"Électronique", L"", 0};
  w.entries[2] = {L"x", std::wstring(100, L'y'), std::wstring(31, L'g'), L"", 12000};
  ASSERT_EQ(S_OK, WriteCachedDisc(path_, w));
  EXPECT_NE(std::string::npos, CacheFiles::ReadBytes(path_).find("\t35796.5\t7\n"));

  DiscRecord r;
  ASSERT_EQ(S_OK, Read(0x8B014802, r));
  EXPECT_NE(std::string::npos, Log().find("command SELECT * FROM Discs WHERE DiscId=-1962850302"));
  EXPECT_EQ(0x8B014802u, r.discId);
  EXPECT_EQ(w.tocHash, r.tocHash);
  EXPECT_EQ(L"Vondrel", r.source);
  EXPECT_EQ(std::wstring(30, L'c'), r.category);
  EXPECT_EQ(7, r.revision);
  ASSERT_EQ(3u, r.entries.size());
  EXPECT_EQ(w.entries[0].artist, r.entries[0].artist);
  EXPECT_EQ(w.entries[0].title, r.entries[0].title);
  EXPECT_EQ(r.category, r.entries[0].genre);  // the disc's genre is its category
  EXPECT_EQ(1998, r.entries[0].year);
  EXPECT_EQ(std::wstring(79, L'a'), r.entries[1].artist);
  EXPECT_EQ(L"曲名", r.entries[1].title);
  EXPECT_EQ(L"Électronique", r.entries[1].genre);
  EXPECT_EQ(0, r.entries[1].year);
  EXPECT_EQ(std::wstring(80, L'y'), r.entries[2].title);
  EXPECT_EQ(std::wstring(30, L'g'), r.entries[2].genre);
  EXPECT_EQ(0, r.entries[2].year);  // outside the date type's years
}

TEST_F(Cache, ReadsTheRowsThatBelongToTheDisc) {
  using CacheFiles::DiscRow;
  using CacheFiles::TrackRow;
  // 0x85 & 0x7F = 5 tracks; two disc rows, the later one newer; a row of
  // another disc with the same id; track 3 twice, track 0 and 6 stray.
  CacheFiles::Write(
      path_, DiscRow(0x0b014885, kHash, L"rock", L"old", L"A", L"Old", k1998, 1) +
                 DiscRow(0x0b014885, kOtherHash, L"jazz", L"other", L"B", L"Else", k1998, 1) +
                 DiscRow(0x0b014885, kHash, L"rock", L"new", L"A", L"New", 1e300, 2) +
                 TrackRow(0x0b014885, 1, L"t1", L"a1", L"g1", k1998) +
                 TrackRow(0x0b014885, 2, L"t2", L"a2", L"g2", 0) +
                 TrackRow(0x0b014885, 3, L"t3 old", L"a3", L"g3", 0) +
                 TrackRow(0x0b014885, 0, L"t0", L"", L"", 0) +
                 TrackRow(0x0b014885, 6, L"t6", L"", L"", 0) +
                 TrackRow(0x0b014885, 4, L"t4", L"a4", L"g4", 0) +
                 TrackRow(0x0b014885, 3, L"t3 new", L"a3", L"g3", 0) +
                 TrackRow(0x0b014885, 5, L"t5", L"a5", L"g5", 0));
  DiscRecord r;
  ASSERT_EQ(S_OK, Read(0x0b014885, r));
  ASSERT_EQ(6u, r.entries.size());
  EXPECT_EQ(L"new", r.source);
  EXPECT_EQ(2, r.revision);
  EXPECT_EQ(L"New", r.entries[0].title);
  EXPECT_EQ(0, r.entries[0].year);  // a date that is no calendar day
  EXPECT_EQ(1998, r.entries[1].year);
  EXPECT_EQ(L"t3 new", r.entries[3].title);
  EXPECT_EQ(L"t5", r.entries[5].title);

  DiscRecord other;
  ASSERT_EQ(S_OK, Read(0x0b014885, other, kOtherHash));
  EXPECT_EQ(L"Else", other.entries[0].title);
  DiscRecord unknown;
  EXPECT_EQ(E_FAIL, Read(0x0b014885, unknown, L"1111111111111111111111111111111111111111"));
}

TEST_F(Cache, DiscWithoutAllItsTracksIsNotCached) {
  using CacheFiles::TrackRow;
  std::wstring rows = CacheFiles::DiscRow(0x05, kHash, L"misc", L"s", L"A", L"T", 0, 0);
  for (long t = 1; t <= 4; ++t) rows += TrackRow(0x05, t, L"t", L"a", L"", 0);
  CacheFiles::Write(path_, rows);
  DiscRecord r;
  EXPECT_EQ(E_FAIL, Read(0x05, r));
  DiscRecord none;
  EXPECT_EQ(E_FAIL, Read(0x06, none));
}

TEST_F(Cache, BrokenFilesFailQuietly) {
  DebugOutput debug;
  struct Case {
    const char* name;
    std::string content;
  };
  const Case cases[] = {
      {"not a database", "PK\x03\x04 something else\n"},
      {"damaged row", std::string(CacheFiles::kSchema) + "row Discs\t1\t2\n"},
  };
  for (const Case& c : cases) {
    CacheFiles::WriteBytes(path_, c.content);
    DiscRecord r;
    EXPECT_TRUE(FAILED(Read(1, r))) << c.name;
    DiscRecord w;
    w.entries.resize(2);
    EXPECT_TRUE(FAILED(WriteCachedDisc(path_, w))) << c.name;
    EXPECT_EQ(c.content, CacheFiles::ReadBytes(path_)) << c.name;  // neither remade nor changed
  }
  EXPECT_TRUE(debug.Lines().empty());
  DeleteFileW(path_.c_str());
  DiscRecord missing;
  EXPECT_TRUE(FAILED(Read(1, missing)));
  EXPECT_FALSE(Exists());  // reading makes no file

  CacheFiles::Write(path_);
  HANDLE exclusive =
      CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  DiscRecord r;
  EXPECT_TRUE(FAILED(Read(1, r)));
  EXPECT_TRUE(FAILED(WriteCachedDisc(path_, Disc(1, L"Held"))));
  CloseHandle(exclusive);
  EXPECT_EQ(std::string(CacheFiles::kSchema), CacheFiles::ReadBytes(path_));
  EXPECT_TRUE(FAILED(ReadCachedDisc(L"", r)));
  EXPECT_TRUE(FAILED(WriteCachedDisc(L"", Disc(1, L"Nowhere"))));
}

TEST_F(Cache, FirstWriteCreatesTheFileAndBothTables) {
  ASSERT_EQ(S_OK, WriteCachedDisc(path_, Disc(0x8B014802, L"First")));
  const std::string created = CacheFiles::ReadBytes(path_);
  EXPECT_TRUE(CacheFiles::HasCreatedSchema(created)) << created;
  EXPECT_NE(std::string::npos, Log().find("create " + Utf8::Encode(path_)));

  // The next write opens the file as it is.
  DeleteFileW(log_.c_str());
  ASSERT_EQ(S_OK, WriteCachedDisc(path_, Disc(0x02, L"Second")));
  EXPECT_EQ(std::string::npos, Log().find("create"));
  EXPECT_EQ(created, CacheFiles::ReadBytes(path_).substr(0, created.size()));
  for (const auto& [id, title] : {std::pair(0x8B014802u, L"First"), std::pair(0x02u, L"Second")}) {
    DiscRecord r;
    ASSERT_EQ(S_OK, Read(id, r)) << id;
    EXPECT_EQ(Hash(kHash), r.tocHash);  // narrow hash through the created text column
    EXPECT_EQ(title, r.entries[0].title);
    EXPECT_EQ(L"", r.category);
    EXPECT_EQ(1998, r.entries[0].year);
    EXPECT_EQ(L"Pop", r.entries[1].genre);
    EXPECT_EQ(2001, r.entries[2].year);
  }
}

TEST_F(Cache, ExistingFileKeepsItsShapeAndRows) {
  // Another program's file: its own column names, a narrow hash column and
  // rows of another disc.
  std::wstring rows = CacheFiles::DiscRow(0x01, kHash, L"jazz", L"old", L"X", L"Kept", k1998, 3) +
                      CacheFiles::TrackRow(0x01, 1, L"Kept song", L"X", L"", k1998);
  CacheFiles::Write(path_, rows);
  const std::string before = CacheFiles::ReadBytes(path_);
  ASSERT_EQ(S_OK, WriteCachedDisc(path_, Disc(0x02, L"Added")));
  EXPECT_EQ(std::string::npos, Log().find("create"));
  const std::string after = CacheFiles::ReadBytes(path_);
  EXPECT_EQ(before, after.substr(0, before.size()));
  EXPECT_EQ(std::string::npos, after.find("table", before.size()));
  EXPECT_EQ(std::string::npos, after.find("index", before.size()));
  DiscRecord kept;
  ASSERT_EQ(S_OK, Read(0x01, kept));
  EXPECT_EQ(L"Kept song", kept.entries[1].title);
  DiscRecord added;
  ASSERT_EQ(S_OK, Read(0x02, added));
  EXPECT_EQ(L"Added", added.entries[0].title);
}

// A creation cut short leaves a file without some of its tables: the next write
// makes what is missing, and leaves alone what is there.
TEST_F(Cache, AFileLeftWithoutItsTablesGetsThemAtTheNextWrite) {
  const std::string created = CacheFiles::kCreatedSchema;
  const std::string header = "TAVRIN-JET-STANDIN 1\n";
  const std::string discsTable =
      created.substr(header.size(), created.find("table Tracks") - header.size());
  const std::string tracksTable = created.substr(
      created.find("table Tracks"), created.find("index") - created.find("table Tracks"));
  struct Case {
    const char* name;
    std::string before, added;
  };
  const Case cases[] = {
      {"no tables", header,
       discsTable + tracksTable + "index Discs DiscsByDiscId DiscId\n" +
           "index Tracks TracksByDiscId DiscId\n"},
      {"discs only", header + discsTable, tracksTable + "index Tracks TracksByDiscId DiscId\n"},
      {"tracks only", header + tracksTable, discsTable + "index Discs DiscsByDiscId DiscId\n"},
      {"both, no index", header + discsTable + tracksTable, ""},
  };
  for (const Case& c : cases) {
    CacheFiles::WriteBytes(path_, c.before);
    DeleteFileW(log_.c_str());
    ASSERT_EQ(S_OK, WriteCachedDisc(path_, Disc(0x02, L"Healed"))) << c.name;
    const std::string after = CacheFiles::ReadBytes(path_);
    EXPECT_EQ(c.before + c.added, after.substr(0, after.find("row "))) << c.name;
    EXPECT_EQ(std::string::npos, Log().find("create")) << c.name;  // the file is not remade
    DiscRecord r;
    ASSERT_EQ(S_OK, Read(0x02, r)) << c.name;
    EXPECT_EQ(L"Healed", r.entries[0].title) << c.name;
  }
}

TEST_F(Cache, ThreadsWritingTheFirstDiscsMakeOneFile) {
  std::vector<std::thread> writers;
  HRESULT results[4];
  for (uint32_t i = 0; i < 4; ++i)
    writers.emplace_back([this, i, &results] {
      CoInitializeEx(nullptr, COINIT_MULTITHREADED);
      results[i] = WriteCachedDisc(path_, Disc(0x02 + (i << 8), L"Disc " + std::to_wstring(i)));
      CoUninitialize();
    });
  for (std::thread& t : writers) t.join();
  const std::string file = CacheFiles::ReadBytes(path_);
  EXPECT_TRUE(CacheFiles::HasCreatedSchema(file)) << file;
  EXPECT_EQ(std::string::npos, file.find("table", std::strlen(CacheFiles::kCreatedSchema)));
  for (uint32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(S_OK, results[i]) << i;
    DiscRecord r;
    ASSERT_EQ(S_OK, Read(0x02 + (i << 8), r)) << i;
    EXPECT_EQ(L"Disc " + std::to_wstring(i), r.entries[0].title);
  }
}

// The provider refuses to make again what exists, so the cache can never
// replace a file or its tables.
TEST_F(Cache, ProviderRefusesToRemakeWhatExists) {
  const wchar_t kProvider[] = L"Microsoft.JET.OLEDB.4.0";
  CacheFiles::Write(path_);
  {
    OleDb::DataSource source;
    EXPECT_TRUE(FAILED(source.Create(kProvider, path_)));
  }
  EXPECT_EQ(std::string(CacheFiles::kSchema), CacheFiles::ReadBytes(path_));

  OleDb::DataSource source;
  OleDb::Session session;
  ASSERT_EQ(S_OK, source.Open(kProvider, path_));
  ASSERT_EQ(S_OK, session.Open(source));
  for (const wchar_t* refused : {
           L"CREATE TABLE [Discs] ([DiscId] LONG)",         // exists
           L"CREATE TABLE discs ([DiscId] LONG)",           // names ignore case
           L"CREATE TABLE [New] ([A] LONG, [a] TEXT(10))",  // a column twice
           L"CREATE TABLE [New] ([A] TEXT(256))",           // wider than a text column
           L"CREATE TABLE [New] ([A] MONEY)",               // no such type here
           L"CREATE INDEX [I] ON [Discs] ([NoSuchColumn])",
           L"CREATE INDEX [I] ON [Nothing] ([DiscId])",
       })
    EXPECT_TRUE(FAILED(OleDb::Execute(session, refused))) << refused;
  EXPECT_EQ(S_OK, OleDb::Execute(session, L"CREATE INDEX [I] ON [Discs] ([DiscId])"));
  EXPECT_TRUE(FAILED(OleDb::Execute(session, L"CREATE INDEX [i] ON [Discs] ([Revision])")));
  EXPECT_EQ(std::string(CacheFiles::kSchema) + "index Discs I DiscId\n",
            CacheFiles::ReadBytes(path_));
}

TEST_F(Cache, RefusedInsertsStopTheWriteAndReachTheDebugger) {
  DiscRecord w;
  w.discId = 0x03;
  w.tocHash = Hash(kHash);
  w.entries.resize(4);
  CacheFiles::Write(path_, L"limit Tracks 1\n");
  {
    DebugOutput debug;
    EXPECT_TRUE(FAILED(WriteCachedDisc(path_, w)));
    ASSERT_EQ(1u, debug.Lines().size());
    EXPECT_EQ("Database error: The table 'Tracks' accepts no more rows.\n", debug.Lines()[0]);
  }
  DeleteFileW(log_.c_str());
  CacheFiles::Write(path_, L"limit Discs 0\n");
  EXPECT_TRUE(FAILED(WriteCachedDisc(path_, w)));
  EXPECT_EQ(std::string::npos, Log().find("insert Tracks"));

  CacheFiles::Write(path_);
  SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(FAILED(WriteCachedDisc(path_, w)));
  SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// Run by the next test in a process of its own.
TEST(CacheChild, DISABLED_WritesTheDiscNamedInItsEnvironment) {
  wchar_t path[MAX_PATH];
  ASSERT_TRUE(GetEnvironmentVariableW(L"TAVRIN_CACHE_CHILD", path, MAX_PATH));
  CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  DiscRecord w;
  w.discId = 0x01;
  w.tocHash = Hash(kHash);
  w.source = L"child";
  w.entries = {{L"A", L"Disc", L"", L"", 0}, {L"B", L"Track", L"", L"", 0}};
  EXPECT_EQ(S_OK, WriteCachedDisc(path, w));
  CoUninitialize();
}

TEST_F(Cache, WhatAnotherProcessWroteIsRead) {
  CacheFiles::Write(path_);
  wchar_t exe[MAX_PATH];
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(exe) +
                         L"\" --gtest_also_run_disabled_tests "
                         L"--gtest_filter=CacheChild.DISABLED_WritesTheDiscNamedInItsEnvironment";
  SetEnvironmentVariableW(L"TAVRIN_CACHE_CHILD", path_.c_str());
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(
      CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
  SetEnvironmentVariableW(L"TAVRIN_CACHE_CHILD", nullptr);
  WaitForSingleObject(pi.hProcess, ScaledMs(30000));
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(0u, code);
  DiscRecord r;
  ASSERT_EQ(S_OK, Read(0x01, r));
  EXPECT_EQ(L"child", r.source);
  EXPECT_EQ(L"Track", r.entries[1].title);
}

TEST(CachePath, CommonApplicationDataFolder) {
  wchar_t common[MAX_PATH];
  ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, common));
  EXPECT_EQ(std::wstring(common) + L"\\Velmora\\TAVRIN.mdb", DbCache::CacheDatabasePath());
  const DWORD attributes = GetFileAttributesW((std::wstring(common) + L"\\Velmora").c_str());
  EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
}

}  // namespace

#include <windows.h>

#include <gtest/gtest.h>

#include "engine/backup/BackupNames.h"
#include "engine/cd/RawToc.h"
#include "tests/engine/Id3TestData.h"
#include "tests/engine/MemoryStreams.h"
#include "tests/engine/SampleDiscs.h"
#include "tests/support/TempDir.h"

namespace {

DiscInfo Disc(const std::wstring& artist, const std::wstring& title) {
  DiscInfo d;
  d.tracks.push_back({artist, title, L"", L"", 0});
  return d;
}

void Touch(const std::wstring& path) {
  CloseHandle(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
}

TEST(BackupNames, TitlesAndBackupFileNames) {
  EXPECT_EQ(L"A/B - Live", BackupFile::DefaultTitle(Disc(L"A/B", L"Live")));
  EXPECT_EQ(L"Live", BackupFile::DefaultTitle(Disc(L"", L"Live")));
  EXPECT_EQ(L"A/B", BackupFile::DefaultTitle(Disc(L"A/B", L"")));
  EXPECT_EQ(L"Unknown", BackupFile::DefaultTitle(Disc(L"", L"")));
  EXPECT_EQ(L"Unknown", BackupFile::DefaultTitle(DiscInfo()));
  EXPECT_EQ(L"A.B - Live.mp3", BackupFile::MakeBackupFileName(Disc(L"A/B", L"Live"), L".mp3"));
  EXPECT_EQ(L"a.b.c.d.e.f.g.h.i.j.mp3",
            BackupFile::MakeBackupFileName(Disc(L"", L"a:b\\c\"d/e<f>g|h?i*j"), L".mp3"));
}

TEST(BackupNames, FreeNamesInAFolder) {
  TempDir dir;
  const DiscInfo live = Disc(L"", L"Live");
  EXPECT_EQ(L"Live.mp3", BackupFile::MakeBackupFileName(live, L".mp3", dir.path()));
  Touch(dir / L"Live.mp3");
  Touch(dir / L"Live (1).mp3");
  EXPECT_EQ(L"Live (2).mp3", BackupFile::MakeBackupFileName(live, L".mp3", dir.path()));
  CreateDirectoryW((dir / L"Live (2).mp3").c_str(), nullptr);  // a folder counts as taken
  EXPECT_EQ(L"Live (3).mp3", BackupFile::MakeBackupFileName(live, L".mp3", dir.path()));
}

TEST(BackupNames, DiscImageNames) {
  std::vector<BackupDisc> one = {SampleDisc(2)};
  EXPECT_EQ(L"Artist 1 - Album 1.bin", BackupFile::MakeDiscImageFileName(one, 0, L".bin"));
  std::vector<BackupDisc> two = {SampleDisc(2, 300, 1), SampleDisc(2, 300, 2)};
  EXPECT_EQ(L"Artist 1 - Album 1 (1 of 2).bin", BackupFile::MakeDiscImageFileName(two, 0, L".bin"));
  EXPECT_EQ(L"Artist 2 - Album 2 (2 of 2).bin", BackupFile::MakeDiscImageFileName(two, 1, L".bin"));
  TempDir dir;
  Touch(dir / L"Artist 2 - Album 2 (2 of 2).bin");
  EXPECT_EQ(L"Artist 2 - Album 2 (2 of 2) (1).bin",
            BackupFile::MakeDiscImageFileName(two, 1, L".bin", dir.path()));
}

// Control characters cannot stand in a file name: both names carry spaces instead,
// and the files can be created.
TEST(BackupNames, ControlCharactersBecomeSpaces) {
  const DiscInfo tab = Disc(L"Tab\tArtist", L"Line\nBreak");
  const std::wstring backup = BackupFile::MakeBackupFileName(tab, L".mp3");
  EXPECT_EQ(L"Tab Artist - Line Break.mp3", backup);
  std::vector<BackupDisc> discs = {SampleDisc(1)};
  discs[0].disc = tab;
  EXPECT_EQ(L"Tab Artist - Line Break.bin", BackupFile::MakeDiscImageFileName(discs, 0, L".bin"));
  TempDir dir;
  HANDLE h = CreateFileW((dir / backup).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, h);
  CloseHandle(h);
}

TEST(BackupNames, SongTag) {
  BackupDisc disc = SampleDisc(5, 400);
  disc.disc.tracks[0].year = 0;
  MemoryOut m;
  ASSERT_TRUE(BackupFile::WriteSongTag(m.out, 3, disc));
  EXPECT_EQ(0u, m.bytes().size() % 4096);
  MemoryIn in(m.bytes() + std::vector<unsigned char>(500, 0xFF));
  auto tag = ID3::CreateFromStream(in.in);
  std::vector<std::string> ids;
  for (unsigned i = 0; i < tag->GetFrameCount(); ++i) ids.push_back(tag->GetFrameId(i));
  EXPECT_EQ(
      (std::vector<std::string>{"TIT2", "TPE1", "TPE2", "TALB", "TCON", "TRCK", "TLEN", "TMED"}),
      ids);
  EXPECT_EQ(L"Song 1.3", tag->DecodeText(tag->GetFrameData(0)));
  EXPECT_EQ(L"Album 1", tag->DecodeText(tag->GetFrameData(3)));
  EXPECT_EQ(L"3", tag->DecodeText(tag->GetFrameData(5)));
  EXPECT_EQ(std::to_wstring(RawToc::TrackLengthMs(3, disc.toc)),
            tag->DecodeText(tag->GetFrameData(6)));
  MemoryOut failing;
  failing.out.setstate(std::ios_base::badbit);
  EXPECT_FALSE(BackupFile::WriteSongTag(failing.out, 3, disc));
}

}  // namespace

// Rips that leave backup files for the host-side checks (mutagen, ffprobe,
// mp3val, the decoded audio against the disc's tones): each file goes to the
// folder "ripper-out" with a description of the discs it must hold.
#define STB_IMAGE_WRITE_STATIC
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <fstream>
#include <sstream>

#include "engine/cd/RawToc.h"
#include "engine/jobs/ExtracterData.h"
#include "recorder/ImageRecorderData.h"
#include "tests/engine/jobs/ExtractionRun.h"
#include "tests/engine/jobs/RipFixture.h"
#include "tests/support/TimeScale.h"

namespace {

using namespace ripfixture;

const std::wstring kOut = L"ripper-out";

void Append(std::vector<unsigned char>* out, void* data, int size) {
  const auto* p = static_cast<const unsigned char*>(data);
  out->insert(out->end(), p, p + size);
}

// A small picture in each format the add-images page takes.
std::vector<std::pair<std::string, Bytes>> Pictures() {
  const int w = 24, h = 16;
  std::vector<unsigned char> rgb(w * h * 3);
  for (int i = 0; i < w * h; ++i) {
    rgb[i * 3] = static_cast<unsigned char>(i * 7);
    rgb[i * 3 + 1] = static_cast<unsigned char>(i % w * 10);
    rgb[i * 3 + 2] = static_cast<unsigned char>(i / w * 15);
  }
  std::vector<std::pair<std::string, Bytes>> pictures;
  Bytes jpg, png, bmp;
  stbi_write_jpg_to_func([](void* c, void* d, int s) { Append(static_cast<Bytes*>(c), d, s); },
                         &jpg, w, h, 3, rgb.data(), 80);
  stbi_write_png_to_func([](void* c, void* d, int s) { Append(static_cast<Bytes*>(c), d, s); },
                         &png, w, h, 3, rgb.data(), w * 3);
  stbi_write_bmp_to_func([](void* c, void* d, int s) { Append(static_cast<Bytes*>(c), d, s); },
                         &bmp, w, h, 3, rgb.data());
  // A 2×1 GIF: header, screen with a two-colour table, one image, LZW data.
  const Bytes gif = {'G',  'I',  'F', '8', '9', 'a', 2, 0, 1, 0, 0x80, 0, 0, 0xFF, 0,    0, 0,   0,
                     0xFF, 0x2C, 0,   0,   0,   0,   2, 0, 1, 0, 0,    2, 2, 0x44, 0x01, 0, 0x3B};
  pictures.emplace_back("jpg", jpg);
  pictures.emplace_back("png", png);
  pictures.emplace_back("bmp", bmp);
  pictures.emplace_back("gif", gif);
  return pictures;
}

// The description the host checks read: the discs in file order with their
// tracks (start LBA, tone), and the picture files whose bytes the tag must hold.
void Expect(const std::wstring& name, const std::vector<Disc>& discs,
            const std::vector<std::string>& pictureFiles) {
  std::ostringstream json;
  json << "{\"discs\": [";
  for (std::size_t d = 0; d < discs.size(); ++d) {
    json << (d ? ", " : "") << "{\"first\": " << discs[d].firstTrack
         << ", \"leadout\": " << discs[d].leadOut << ", \"tracks\": [";
    for (std::size_t t = 0; t < discs[d].tracks.size(); ++t) {
      const bool data = t < discs[d].dataTracks.size() && discs[d].dataTracks[t] == 'd';
      json << (t ? ", " : "") << "[" << discs[d].tracks[t].first << ", "
           << (data ? 0 : discs[d].tracks[t].second) << "]";
    }
    json << "], \"kinds\": \"" << discs[d].dataTracks << "\", \"silence\": [";
    for (std::size_t r = 0; r < discs[d].silent.size(); ++r)
      json << (r ? ", " : "") << "[" << discs[d].silent[r].first << ", "
           << discs[d].silent[r].second << "]";
    json << "]}";
  }
  json << "], \"pictures\": [";
  for (std::size_t p = 0; p < pictureFiles.size(); ++p)
    json << (p ? ", " : "") << "\"" << pictureFiles[p] << "\"";
  json << "]}\n";
  VirtualDriveSetup::Write(kOut + L"\\" + name + L".json", json.str());
}

class RipperOutput : public RipTest {
 protected:
  void SetUp() override {
    RipTest::SetUp();
    CreateDirectoryW(kOut.c_str(), nullptr);
  }
  std::wstring OutPath(const std::wstring& name) {
    const std::wstring path = kOut + L"\\" + name + L".mp3";
    DeleteFileW(path.c_str());
    return path;
  }
  void ExpectSuccess(const RipRun& run, const std::wstring& path) {
    EXPECT_TRUE(run.success);
    EXPECT_EQ(L"The TAVRIN backup file " + path + L" has been successfully created", run.text);
  }
};

// Every track of the backup's one disc as MP3 and as WAV songs beside a copy of
// the backup, for the song checks (check_songs.py).
void ExtractSongs(const std::wstring& backup, const std::wstring& name,
                  const std::vector<BackupDisc>& discs) {
  const std::wstring folder = FreshFolder(L"extract-out", name);
  const std::wstring copy = folder + L"\\" + name + L".mp3";
  ASSERT_TRUE(CopyFileW(backup.c_str(), copy.c_str(), FALSE));
  for (const bool mp3 : {true, false}) {
    ExtracterData engine;
    JobNotifications page;
    ExtractEveryTrack(engine, page, copy, discs, folder, mp3);
  }
}

// The disc restored as a disc image, with what the image checks (check_image.py)
// compare it with: the disc's MP3 range and its track layout.
void RestoreImage(const std::wstring& backup, const std::wstring& name, BackupDisc disc) {
  const std::wstring folder = FreshFolder(L"ripper-image", name);
  const std::wstring cue = folder + L"\\disc image.cue";
  for (std::size_t k = 1; k < disc.disc.tracks.size(); ++k)
    disc.disc.tracks[k].title = L"Song " + std::to_wstring(k);  // the names the checks look for
  CWizardInfo info;
  info->imagePath = cue;
  info->backupPath = backup;
  info->discs = {disc};
  ImageRecorderData job;
  JobNotifications page;
  ASSERT_LT(0, job.Start(page.window(), info));
  ASSERT_TRUE(page.WaitDone());
  EXPECT_TRUE(job.Finish());
  EXPECT_EQ(L"The image file " + cue + L" has been successfully created", job.Message());
  const Bytes file = ReadFileBytes(backup);
  const auto start = file.begin() + std::streamoff(disc.audioStart);
  ASSERT_TRUE(WriteFileBytes(folder + L"\\audio.mp3", Bytes(start, start + disc.audioSize)));
  std::string layout;
  for (int32_t k = 1; k <= RawToc::TrackCount(disc.toc); ++k)
    layout += "TRACK " + std::to_string(k) + " " + std::to_string(RawToc::TrackStart(k, disc.toc)) +
              " " + std::to_string(RawToc::TrackLength(k, disc.toc)) + "\n";
  ASSERT_TRUE(WriteFileBytes(folder + L"\\layout.txt", Bytes(layout.begin(), layout.end())));
}

TEST_F(RipperOutput, TwelveTrackDiscWithPictures) {
  const Disc disc = TwelveTracks(4, 300);
  Insert(disc);
  const std::wstring path = OutPath(L"twelve");
  Target(path);
  std::vector<std::string> files;
  for (const auto& picture : Pictures()) {
    const std::string file = "twelve-cover." + picture.first;
    WriteFileBytes(kOut + L"\\" + std::wstring(file.begin(), file.end()), picture.second);
    info_->coverImages.Add(-1, std::make_shared<Bytes>(picture.second),
                           L"Cover " + std::wstring(picture.first.begin(), picture.first.end()), 1);
    files.push_back(file);
  }
  const RipRun run = Run();
  ExpectSuccess(run, path);
  // 3600 sectors: 48 steps of 75 sectors, each posted once, in order.
  EXPECT_EQ(48, run.range);
  std::vector<LPARAM> progress;
  for (const auto& m : run.messages)
    if (m.first == JOB_PROGRESS) progress.push_back(m.second);
  ASSERT_EQ(49u, progress.size());
  for (int i = 0; i <= 48; ++i) EXPECT_EQ(i, progress[i]);
  EXPECT_EQ(JOB_DONE, run.messages.back().first);
  Expect(L"twelve", {disc}, files);
}

// A database answer of 130 entries for discs of twelve tracks, fitted as the
// wizard takes it: a multi-disc file whose chapter tree matches each TOC.
TEST_F(RipperOutput, AnAnswerOfManyEntriesIsFittedToEachDisc) {
  const std::wstring path = OutPath(L"fitted");
  const std::vector<Disc> discs = {TwelveTracks(1, 300), TwelveTracks(1, 700)};
  for (std::size_t i = 0; i < discs.size(); ++i) {
    SCOPED_TRACE(i);
    Insert(discs[i]);
    Target(path);
    DiscInfo answer = Texts(129, L"Album " + std::to_wstring(i + 1));
    BackupFile::FitEntriesToToc(answer, drives_[0].toc);
    info_->disc = answer;
    ExpectSuccess(Run(), path);
  }
  const std::vector<BackupDisc> stored = ReadBackup(path);
  ASSERT_EQ(2u, stored.size());
  EXPECT_EQ(13u, stored[1].disc.tracks.size());
  Expect(L"fitted", discs, {});
}

// Each append keeps the earlier discs' audio byte for byte.
TEST_F(RipperOutput, ThreeDiscsAppendedOneByOne) {
  const std::wstring path = OutPath(L"three");
  std::vector<Disc> discs = {TwelveTracks(3, 250), Disc(), Disc()};
  discs[1].tracks = {{0, 1500}, {300, 1700}, {525, 1900}, {900, 2100}, {1100, 2300}};
  discs[1].leadOut = 1400;
  discs[2].tracks = {{0, 400}, {450, 600}, {1000, 800}};
  discs[2].leadOut = 1725;
  Bytes before;
  for (std::size_t i = 0; i < discs.size(); ++i) {
    SCOPED_TRACE(i);
    Insert(discs[i], L"Album " + std::to_wstring(i + 1));
    Target(path, i == 2 ? 255 : 102);
    ASSERT_EQ(i, info_->discs.size());
    ExpectSuccess(Run(), path);
    const std::vector<BackupDisc> stored = ReadBackup(path);
    ASSERT_EQ(i + 1, stored.size());
    const Bytes after = ReadFileBytes(path);
    if (i > 0) {
      const std::vector<BackupDisc> old = info_->discs;
      const std::size_t oldStart = static_cast<std::size_t>(std::streamoff(old.front().audioStart));
      const std::size_t oldEnd = static_cast<std::size_t>(std::streamoff(old.back().audioStart)) +
                                 static_cast<std::size_t>(old.back().audioSize);
      const std::size_t newStart =
          static_cast<std::size_t>(std::streamoff(stored.front().audioStart));
      ASSERT_LE(newStart + (oldEnd - oldStart), after.size());
      EXPECT_TRUE(
          std::equal(before.begin() + oldStart, before.begin() + oldEnd, after.begin() + newStart));
      EXPECT_EQ(std::streamoff(stored[i].audioStart), std::streamoff(stored[i - 1].audioStart) +
                                                          stored[i - 1].audioSize +
                                                          BackupFile::kGapBytes);
    }
    EXPECT_FALSE(Exists(path + L".tempCopyFile"));
    before = after;
  }
  Expect(L"three", discs, {});
}

// An append to a file that ends in an ID3v1 tag, as other programs add one:
// the earlier disc's audio stays byte for byte and the old tag is left behind.
TEST_F(RipperOutput, AppendBehindAnId3v1Tag) {
  const std::wstring path = OutPath(L"id3v1");
  std::vector<Disc> discs = {TwelveTracks(1, 330), Disc()};
  discs[1].tracks = {{0, 550}, {400, 770}};
  discs[1].leadOut = 900;
  Insert(discs[0]);
  Target(path);
  ExpectSuccess(Run(), path);
  Bytes v1 = {'T', 'A', 'G'};
  v1.resize(128, 'x');
  const Bytes first = ReadFileBytes(path);
  Bytes tagged = first;
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  ASSERT_TRUE(WriteFileBytes(path, tagged));

  Insert(discs[1], L"Album 2");
  Target(path);
  ASSERT_EQ(1u, info_->discs.size());
  const std::size_t oldStart = static_cast<std::size_t>(std::streamoff(info_->discs[0].audioStart));
  ASSERT_EQ(first.size() - oldStart, std::size_t(info_->discs[0].audioSize));
  ExpectSuccess(Run(), path);
  const std::vector<BackupDisc> stored = ReadBackup(path);
  ASSERT_EQ(2u, stored.size());
  const Bytes after = ReadFileBytes(path);
  const std::size_t newStart = static_cast<std::size_t>(std::streamoff(stored[0].audioStart));
  ASSERT_EQ(info_->discs[0].audioSize, stored[0].audioSize);
  EXPECT_TRUE(std::equal(first.begin() + oldStart, first.end(), after.begin() + newStart));
  EXPECT_EQ(std::streamoff(stored[1].audioStart),
            std::streamoff(newStart + first.size() - oldStart + BackupFile::kGapBytes));
  Expect(L"id3v1", discs, {});
}

// Discs numbered from track 3, and a disc of only track 99: backed up, read
// back, their songs extracted and the disc restored as a disc image.
TEST_F(RipperOutput, DiscsNumberedFromALaterTrackGoAllTheWay) {
  Disc fromThree;
  fromThree.tracks = {{0, 440}, {300, 660}, {750, 880}};
  fromThree.leadOut = 1200;
  fromThree.firstTrack = 3;
  Disc only99;
  only99.tracks = {{0, 550}};
  only99.leadOut = 300;
  only99.firstTrack = 99;
  for (const auto& c :
       {std::make_pair(L"from-track-3", fromThree), std::make_pair(L"only-track-99", only99)}) {
    const std::wstring name = c.first;
    const Disc& disc = c.second;
    SCOPED_TRACE(std::string(name.begin(), name.end()));
    Insert(disc);
    // Titles name the tones, as the song checks read them.
    for (std::size_t k = 1; k <= disc.tracks.size(); ++k) {
      info_->disc.tracks[k].title = L"Tone " + std::to_wstring(disc.tracks[k - 1].second) + L" Hz";
      info_->disc.tracks[k].artist = L"Singer " + std::to_wstring(k);
    }
    const std::wstring path = OutPath(name);
    Target(path);
    ExpectSuccess(Run(), path);
    Expect(name, {disc}, {});
    const std::vector<BackupDisc> discs = ReadBackup(path);
    ASSERT_EQ(1u, discs.size());
    EXPECT_EQ(drives_[0].toc, discs[0].toc);
    EXPECT_EQ(disc.firstTrack, RawToc::FirstTrack(discs[0].toc));
    ASSERT_EQ(disc.tracks.size() + 1, discs[0].disc.tracks.size());
    EXPECT_EQ(info_->disc.tracks.back().title, discs[0].disc.tracks.back().title);
    ExtractSongs(path, name, discs);
    RestoreImage(path, name, discs[0]);
  }
}

// The encoder gets whole MP3 frames: one sector (588 sample frames) is padded
// with 564 frames of silence, 96 sectors (49 MP3 frames) with none. The host
// check decodes every disc to its padded frames and the encoder's flush frame:
// 2 and 50 frames here.
TEST_F(RipperOutput, DiscsArePaddedToWholeFrames) {
  for (int32_t sectors : {1, 96}) {
    Disc disc;
    disc.tracks = {{0, 440}};
    disc.leadOut = sectors;
    Insert(disc);
    const std::wstring name = L"padded-" + std::to_wstring(sectors);
    const std::wstring path = OutPath(name);
    Target(path);
    ExpectSuccess(Run(), path);
    Expect(name, {disc}, {});
  }
}

TEST_F(RipperOutput, FiveMinuteDiscAt320) {
  Disc disc;
  disc.tracks = {{0, 523}, {7500, 659}, {15000, 784}};
  disc.leadOut = 22500;
  Insert(disc);
  const std::wstring path = OutPath(L"long");
  Target(path, 255);
  const RipRun run = Run();
  ExpectSuccess(run, path);
  EXPECT_EQ(300, run.range);
  Expect(L"long", {disc}, {});
}

// Enhanced CD: the audio session, then a data track in a second session. The
// drive refuses the lead-out and lead-in between them, each time after a long
// wait, and CD-DA reads of data. The gap costs one refused read, not one per
// block or sector: the rip ends in seconds, not hours.
TEST_F(RipperOutput, EnhancedCdKeepsTheTocLayout) {
  Disc disc;
  disc.tracks = {{0, 350}, {1500, 450}, {15000, 0}};
  disc.dataTracks = "  d";
  disc.leadOut = 16500;
  // The session gap from the lead-out of session 1, refused after 3 s a read.
  disc.extra = "session = 3\nfail = 3600-14999\nslow = 3600-14999 3000\n";
  disc.silent = {{3600, 15000}};
  Insert(disc);
  const std::wstring path = OutPath(L"enhanced");
  Target(path);
  drive_.TakeLog();
  const DWORD start = GetTickCount();
  ExpectSuccess(Run(), path);
  EXPECT_LT(GetTickCount() - start, ScaledMs(60000));
  int gapReads = 0;
  for (const std::string& line : drive_.TakeLog()) {
    if (line.find("cdb=BE") == std::string::npos) continue;
    const int32_t lba = std::stoi(line.substr(line.find("cdb=BE") + 8, 8), nullptr, 16);
    EXPECT_LT(lba, 15000) << "a data sector was read as audio: " << line;
    gapReads += lba >= 3600;
  }
  EXPECT_EQ(1, gapReads);
  Expect(L"enhanced", {disc}, {});
}

// Audio, then a data track in the same session: the end of the last audio
// track is read like the rest, whether the drive says the disc has one
// session or does not say. A sector there that reads on a retry keeps its
// audio, and one that never reads is counted.
TEST_F(RipperOutput, AudioBeforeADataTrackOfTheSameSessionIsRead) {
  for (const char* sessions : {"", "sessioninfo = no\n"}) {
    SCOPED_TRACE(sessions);
    Disc disc;
    disc.tracks = {{0, 350}, {1500, 450}, {15000, 0}};
    disc.dataTracks = "  d";
    disc.leadOut = 16500;
    disc.extra = std::string(sessions) + "fail = 13000-13011 1\nfail = 14000\n";
    disc.silent = {{14000, 14001}};
    Insert(disc);
    const std::wstring name = *sessions ? L"one-session-untold" : L"one-session";
    const std::wstring path = OutPath(name);
    Target(path);
    const RipRun run = Run();
    EXPECT_TRUE(run.success);
    EXPECT_EQ(
        L"The TAVRIN backup file " + path + L" has been created, but 1 sectors could not be read",
        run.text);
    Expect(name, {disc}, {});
  }
}

}  // namespace

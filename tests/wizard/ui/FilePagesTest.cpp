// The two pages that choose a backup file, in the wizard sheet of this
// process: the destination of a backup (names, quality steps and estimate,
// append or overwrite) and the backup file to read (its texts and cover).
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include "engine/mp3/MP3Encoder.h"
#include "tests/engine/TocBuilder.h"
#include "tests/engine/jobs/RipFixture.h"
#include "tests/wizard/ui/BackupFiles.h"
#include "tests/wizard/ui/RunSheet.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/PageTools.h"
#include "wizard/pages/SelectDestFilePage.h"

using namespace SheetDriver;
using ComboBoxEx::ItemText;

namespace {

HWND Control(HWND sheet, int id) { return GetDlgItem(CurrentPage(sheet), id); }

// Answers the question that Next asks, found by its title.
void Answer(const std::wstring& title, int button) {
  HWND dialog = WaitForDialog(GetCurrentProcessId(), title);
  ASSERT_NE(nullptr, dialog) << "no question " << std::string(title.begin(), title.end());
  PostMessageW(dialog, TDM_CLICK_BUTTON, button, 0);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
}

TEST(DestinationQuality, StepsAndStoredValues) {
  const int stored[] = {51, 102, 153, 204, 255};
  for (int position = 0; position < 5; ++position)
    EXPECT_EQ(stored[position], CWizardSelectDestFilePage::QualityOfPosition(position));
  const std::pair<int, int> shown[] = {{-5, 0},  {0, 0},   {101, 0}, {102, 1}, {152, 1}, {153, 2},
                                       {203, 2}, {204, 3}, {254, 3}, {255, 4}, {300, 4}};
  for (const auto& c : shown)
    EXPECT_EQ(c.second, CWizardSelectDestFilePage::PositionOfQuality(c.first)) << c.first;
}

TEST(DestinationQuality, SizesRoundUpToTheirStep) {
  EXPECT_EQ(140u, CWizardSelectDestFilePage::ShownSizeMiB(320000, 3600));
  EXPECT_EQ(3u, CWizardSelectDestFilePage::ShownSizeMiB(128000, 180));
  // One MiB per second: the size in MiB is the seconds.
  const std::pair<unsigned, unsigned> steps[] = {{0, 1},     {9, 10},     {10, 15},   {49, 50},
                                                 {50, 60},   {199, 200},  {200, 225}, {499, 500},
                                                 {500, 550}, {4000, 4050}};
  for (const auto& c : steps)
    EXPECT_EQ(c.second, CWizardSelectDestFilePage::ShownSizeMiB(8 * 1048576, c.first)) << c.first;
}

TEST(DestinationQuality, AppendingMustStayBelowTwoGigabytes) {
  BackupDisc large;
  large.audioSize = 0x7FF00000;
  // One track of an hour.
  const std::vector<unsigned char> hourToc = {0, 18, 1, 1,    0,    0x10, 1, 0,  0, 0,
                                              2, 0,  0, 0x10, 0xAA, 0,    0, 60, 2, 0};
  EXPECT_TRUE(RipperData::AppendFits(hourToc, {}, 255));
  EXPECT_FALSE(RipperData::AppendFits(hourToc, {large}, 255));
  large.audioSize = 0x70000000;
  EXPECT_TRUE(RipperData::AppendFits(hourToc, {large}, 255));
}

class DestinationPage : public ripfixture::RipTest {
 protected:
  void SetUp() override {
    RipTest::SetUp();
    Insert(ripfixture::TwelveTracks(3, 400), L"Album");
    info_->operation = OpBackup;
  }
  // A backup file that already holds the disc in the drive.
  std::wstring BackupOfThisDisc(const std::wstring& name) {
    BackupDisc disc;
    disc.disc = ripfixture::Texts(12, L"Album");
    disc.toc = drives_[0].toc;
    disc.audioSize = 4096;
    const std::wstring path = dir_ / name;
    boost::iostreams::stream_buffer<boost::iostreams::basic_wfile_sink<unsigned char>> sb(
        boost::iostreams::basic_wfile_sink<unsigned char>(path, std::ios_base::out));
    std::basic_ostream<unsigned char> out(&sb);
    EXPECT_TRUE(BackupFile::WriteTag(out, {disc}, name));
    const std::vector<unsigned char> audio(4096, 0x55);
    out.write(audio.data(), audio.size());
    out.flush();
    return path;
  }
  void Type(HWND sheet, const std::wstring& path) {
    HWND combo = Control(sheet, IDC_DEST_FILE);
    SetWindowTextW(reinterpret_cast<HWND>(SendMessageW(combo, CBEM_GETEDITCONTROL, 0, 0)),
                   path.c_str());
  }
  std::wstring Tooltip(HWND sheet) {
    NMTTDISPINFOW info = {};
    info.hdr.code = TTN_GETDISPINFOW;
    info.hdr.hwndFrom =
        reinterpret_cast<HWND>(SendMessageW(Control(sheet, IDC_QUALITY), TBM_GETTOOLTIPS, 0, 0));
    SendMessageW(CurrentPage(sheet), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? info.lpszText : L"";
  }
};

TEST_F(DestinationPage, OffersTheKnownFoldersAndEstimatesTheSize) {
  info_->quality = 300;
  info_->mruBackup = Settings::MRUList(10, false);  // no backup made before
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_SELECTDESTFILE));
    HWND combo = Control(sheet, IDC_DEST_FILE);
    EXPECT_EQ(L"< Browse ... >", ItemText(combo, 0));
    const wchar_t* folders[] = {L"My Music", L"Public Music", L"My Documents", L"Public Documents",
                                L"Desktop"};
    for (int i = 0; i < 5; ++i)
      EXPECT_EQ(std::wstring(folders[i]) + L"\\The Testers - Album.mp3", ItemText(combo, i + 1));
    // Without recent backups the newest of the known folders is chosen.
    EXPECT_EQ(5, SendMessageW(combo, CB_GETCURSEL, 0, 0));

    // A stored 300 shows the highest step.
    HWND slider = Control(sheet, IDC_QUALITY);
    EXPECT_EQ(4, SendMessageW(slider, TBM_GETPOS, 0, 0));
    EXPECT_EQ(L"Largest Backup-File size. The best quality possible",
              Text(Control(sheet, IDC_QUALITY_TEXT)));
    Encoders::EncoderSettings best;
    ASSERT_EQ(0, Encoders::GetEncoderSettings(255, best));
    EXPECT_EQ(
        L"Bitrate = " + std::to_wstring(best.averageBitRate / 1000) + L" kBits/sec\n" +
            (best.vbr ? L"variable" : L"constant") + L" bitrate\nBackup file size about " +
            std::to_wstring(CWizardSelectDestFilePage::ShownSizeMiB(best.averageBitRate, 36)) +
            L" MB",
        Tooltip(sheet));

    SendMessageW(slider, TBM_SETPOS, TRUE, 1);
    SendMessageW(CurrentPage(sheet), WM_HSCROLL, SB_ENDSCROLL, reinterpret_cast<LPARAM>(slider));
    EXPECT_EQ(L"Small Backup-File size, Ok for MP3-Players",
              Text(Control(sheet, IDC_QUALITY_TEXT)));

    const std::wstring path = dir_ / L"new.mp3";
    Type(sheet, path);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_ADDIMAGE));
    EXPECT_EQ(102, info_->quality);
    EXPECT_EQ(path, info_->backupPath);
    EXPECT_EQ(path, info_->mruBackup.GetItems().front());
    EXPECT_FALSE(ripfixture::Exists(path));  // made to check it, then removed
    EXPECT_TRUE(info_->discs.empty());

    // Back again: the chosen file is selected, among the recent folders.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTDESTFILE));
    const int selected = static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(path, ItemText(combo, selected));
    EXPECT_EQ(dir_ / L"The Testers - Album.mp3", ItemText(combo, 6));
  });
}

// Overwrite leaves the file as it is: the ripper replaces it only once the new
// one is complete.
TEST_F(DestinationPage, AnExistingFileIsAppendedToOrOverwrittenAsTheUserSays) {
  const std::wstring other = dir_ / L"other.mp3";
  ASSERT_EQ(1u, BackupFiles::Write(other, {{L"Someone", L"Else"}}).size());
  const std::wstring same = BackupOfThisDisc(L"same.mp3");
  const ripfixture::Bytes otherBytes = ripfixture::ReadFileBytes(other);
  const ripfixture::Bytes sameBytes = ripfixture::ReadFileBytes(same);
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_SELECTDESTFILE));
    // Another disc in the file: Append keeps the file and its discs.
    Type(sheet, other);
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This file already exists !", 6);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_ADDIMAGE));
    ASSERT_EQ(1u, info_->discs.size());
    EXPECT_EQ(L"Else", info_->discs[0].disc.tracks[0].title);
    EXPECT_TRUE(ripfixture::Exists(other));

    // This disc already in the file: only Overwrite or Abort.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTDESTFILE));
    Type(sheet, same);
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This disc is already in this file", 7);
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, CurrentPageId(sheet));
    EXPECT_TRUE(ripfixture::Exists(same));
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This disc is already in this file", 6);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_ADDIMAGE));
    EXPECT_TRUE(ripfixture::ReadFileBytes(same) == sameBytes);
    EXPECT_TRUE(info_->discs.empty());

    // Overwrite of a file with another disc: no discs to keep, the file as it was.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTDESTFILE));
    Type(sheet, other);
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This file already exists !", 7);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_ADDIMAGE));
    EXPECT_TRUE(info_->discs.empty());
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTDESTFILE));
  });
  EXPECT_TRUE(ripfixture::ReadFileBytes(other) == otherBytes);
  EXPECT_TRUE(ripfixture::ReadFileBytes(same) == sameBytes);
}

// From the destination page to the end of the rip: an overwritten backup is
// the user's until the new one is complete; a cancelled rip leaves it as it was.
TEST_F(DestinationPage, AnOverwrittenBackupIsReplacedOnlyByACompleteOne) {
  const std::wstring other = dir_ / L"other.mp3";
  ASSERT_EQ(1u, BackupFiles::Write(other, {{L"Someone", L"Else"}}).size());
  const ripfixture::Bytes bytes = ripfixture::ReadFileBytes(other);
  const auto overwrite = [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_SELECTDESTFILE));
    Type(sheet, other);
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This file already exists !", 7);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_ADDIMAGE));
    EXPECT_TRUE(ripfixture::ReadFileBytes(other) == bytes);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
  };
  Insert(ripfixture::TwelveTracks(300, 400));  // an hour: Cancel comes while it reads
  RunSheet(info_, [&](HWND sheet) {
    overwrite(sheet);
    HWND bar = Control(sheet, IDC_PROGRESS);
    ASSERT_TRUE(WaitFor([&] { return SendMessageW(bar, PBM_GETPOS, 0, 0) > 0; }));
  });
  EXPECT_EQ(L"You have requested to abort the operation\nThe backup file " + other +
                L" was left as it was",
            info_->resultMessage);
  EXPECT_TRUE(ripfixture::ReadFileBytes(other) == bytes);
  EXPECT_FALSE(ripfixture::Exists(other + L".tempCopyFile"));

  Insert(ripfixture::TwelveTracks(2, 400), L"Replacement");
  RunSheet(info_, [&](HWND sheet) {
    overwrite(sheet);
    ASSERT_TRUE(
        WaitFor([&] { return WizardButtons(sheet) == (PSWIZB_BACK | PSWIZB_NEXT); }, 60000));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_COMPLETE));
  });
  const std::vector<BackupDisc> discs = PageTools::ReadBackupDiscs(other);
  ASSERT_EQ(1u, discs.size());
  EXPECT_EQ(L"Replacement", discs[0].disc.tracks[0].title);
  EXPECT_EQ(drives_[0].toc, discs[0].toc);
}

// A backup that holds 99 discs takes no further one: only Overwrite or Abort.
TEST_F(DestinationPage, AFullBackupIsOfferedOnlyForOverwriting) {
  const std::wstring full = dir_ / L"full.mp3";
  const ripfixture::Bytes bytes = ripfixture::WriteDiscs(full, MakeToc({0, 300}), 99, 500);
  ASSERT_FALSE(bytes.empty());
  RunSheet(info_, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_SELECTDESTFILE));
    Type(sheet, full);
    // The second button aborts here; where Append is offered it would overwrite.
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This file already exists !", 7);
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, CurrentPageId(sheet));
    EXPECT_TRUE(ripfixture::ReadFileBytes(full) == bytes);
    ASSERT_TRUE(Press(sheet, kNext));
    Answer(L"This file already exists !", 6);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_ADDIMAGE));
    EXPECT_TRUE(ripfixture::ReadFileBytes(full) == bytes);
    EXPECT_TRUE(info_->discs.empty());
  });
}

// The colour at the middle of the icon shown by a static control.
COLORREF IconCentre(HWND control) {
  HICON icon = reinterpret_cast<HICON>(SendMessageW(control, STM_GETICON, 0, 0));
  ICONINFO info = {};
  if (!icon || !GetIconInfo(icon, &info)) return CLR_INVALID;
  BITMAP bitmap = {};
  GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
  BITMAPINFO format = {};
  format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  format.bmiHeader.biWidth = bitmap.bmWidth;
  format.bmiHeader.biHeight = -bitmap.bmHeight;
  format.bmiHeader.biPlanes = 1;
  format.bmiHeader.biBitCount = 32;
  std::vector<DWORD> pixels(std::size_t(bitmap.bmWidth) * bitmap.bmHeight);
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  const DWORD p = pixels[std::size_t(bitmap.bmHeight / 2) * bitmap.bmWidth + bitmap.bmWidth / 2];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

bool Near(COLORREF a, COLORREF b) {
  return std::abs(GetRValue(a) - GetRValue(b)) < 40 && std::abs(GetGValue(a) - GetGValue(b)) < 40 &&
         std::abs(GetBValue(a) - GetBValue(b)) < 40;
}

TEST(BackupFilePage, ShowsTheFilesTextsAndCoverAndRefusesOtherFiles) {
  TempDir dir;
  const std::wstring inlayFirst = dir / L"inlay first.mp3";
  ASSERT_FALSE(BackupFiles::Write(inlayFirst, {{L"Cover Artist", L"Cover Album"}},
                                  {{3, RGB(255, 0, 0)}, {1, RGB(0, 0, 255)}})
                   .empty());
  const std::wstring noFront = dir / L"no front.mp3";
  ASSERT_FALSE(BackupFiles::Write(noFront, {{L"A", L"B"}, {L"C", L"D"}},
                                  {{0, RGB(0, 255, 0)}, {3, RGB(255, 0, 0)}})
                   .empty());
  const std::wstring text = dir / L"notes.mp3";
  WriteFileBytes(text, {'n', 'o', 't', ' ', 'm', 'p', '3'});
  // A bare file name lies in the user's music folder.
  wchar_t music[MAX_PATH];
  ASSERT_EQ(S_OK, SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, 0, music));
  const std::wstring bare = L"pages test " + std::to_wstring(GetCurrentProcessId()) + L".mp3";
  const std::wstring inMusic = std::wstring(music) + L"\\" + bare;
  ASSERT_FALSE(BackupFiles::Write(inMusic, {{L"Bare", L"Name"}}).empty());

  CWizardInfo info;
  info->operation = OpExtract;
  info->mruBackup.Add(inlayFirst);
  RunSheet(info, [&](HWND sheet) {
    ASSERT_TRUE(JumpTo(sheet, IDD_WIZ97_SELECTMP3));
    HWND picture = Control(sheet, IDC_BACKUP_PICTURE);
    EXPECT_EQ(inlayFirst, ItemText(Control(sheet, IDC_BACKUP_FILE), 1));
    EXPECT_EQ(L"Cover Artist", Text(Control(sheet, IDC_BACKUP_ARTIST)));
    EXPECT_EQ(L"Cover Album", Text(Control(sheet, IDC_BACKUP_ALBUM)));
    EXPECT_EQ(L"valid TAVRIN backup-file", Text(Control(sheet, IDC_BACKUP_VALIDITY)));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    EXPECT_TRUE(IsWindowVisible(picture));
    EXPECT_TRUE(Near(RGB(0, 0, 255), IconCentre(picture)));  // the front cover

    TypeBackupFile(sheet, noFront);
    EXPECT_EQ(L"A", Text(Control(sheet, IDC_BACKUP_ARTIST)));
    EXPECT_TRUE(Near(RGB(0, 255, 0), IconCentre(picture)));  // no front cover: the first

    TypeBackupFile(sheet, text);
    EXPECT_EQ(L"not a valid TAVRIN backup-file", Text(Control(sheet, IDC_BACKUP_VALIDITY)));
    EXPECT_EQ(L"", Text(Control(sheet, IDC_BACKUP_ARTIST)));
    EXPECT_EQ(L"", Text(Control(sheet, IDC_BACKUP_ALBUM)));
    EXPECT_FALSE(IsWindowVisible(picture));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));

    TypeBackupFile(sheet, bare);
    EXPECT_EQ(L"Bare", Text(Control(sheet, IDC_BACKUP_ARTIST)));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTTRACKS));
    EXPECT_TRUE(Settings::EqualNoCase(inMusic, info->backupPath))
        << std::string(info->backupPath.begin(), info->backupPath.end());
    ASSERT_EQ(1u, info->discs.size());
    EXPECT_EQ(L"Name", info->discs[0].disc.tracks[0].title);
    EXPECT_TRUE(Settings::EqualNoCase(inMusic, info->mruBackup.GetItems().front()));
  });
  DeleteFileW(inMusic.c_str());
}

}  // namespace

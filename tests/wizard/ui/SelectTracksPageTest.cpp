// The select-tracks page in a sheet of this process, over real backup files:
// the list of every disc's tracks, the destination folders, what Next hands
// to the extraction and writes into an empty folder, and the frame scan that
// runs while the page is shown.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <chrono>
#include <string>
#include <vector>

#include <boost/weak_ptr.hpp>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "engine/jobs/ExtracterData.h"
#include "engine/streams/ByteSourceSB.h"
#include "tests/engine/jobs/BackupMaker.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"
#include "tests/wizard/ui/PageSheet.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/SelectTracksPage.h"

using namespace SheetDriver;
using namespace PageSheet;

namespace {

using Bytes = std::vector<unsigned char>;

// Picture bytes as the reader takes them (it wants frames of 64 bytes at least).
Bytes Picture(unsigned char fill) {
  Bytes bytes(100, fill);
  bytes[0] = 0xFF;
  bytes[1] = 0xD8;
  return bytes;
}
const Bytes kBackCover = Picture('b');
const Bytes kFrontCover = Picture('f');

// Writes a backup of the discs (each disc's audio repeated) and reads it back.
std::vector<BackupDisc> MakeBackup(const std::wstring& path,
                                   std::vector<BackupMaker::DiscPlan> plans, int repeat,
                                   const std::function<void(std::vector<BackupDisc>&)>& edit) {
  std::vector<Bytes> audio;
  for (BackupMaker::DiscPlan& plan : plans) {
    const Bytes once = BackupMaker::EncodeDisc(plan);
    Bytes all;
    for (int i = 0; i < repeat; ++i) all.insert(all.end(), once.begin(), once.end());
    audio.push_back(all);
    plan.leadOut *= repeat;
  }
  std::vector<BackupDisc> discs = BackupMaker::DescribeDiscs(plans, audio);
  edit(discs);
  EXPECT_TRUE(BackupMaker::WriteBackup(path, discs, audio));
  ByteSourceSB source(path, std::ios_base::in | std::ios_base::binary);
  std::basic_istream<unsigned char> is(&source);
  return BackupFile::ReadDiscs(is);
}

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[256] = L"";
  ListView_GetItemText(list, row, column, text, 256);
  return text;
}

std::wstring GroupHeader(HWND list, int id) {
  wchar_t text[256] = L"";
  LVGROUP group = {};
  group.cbSize = LVGROUP_V5_SIZE;
  group.mask = LVGF_HEADER;
  group.pszHeader = text;
  group.cchHeader = 256;
  ListView_GetGroupInfo(list, id, &group);
  return text;
}

std::wstring FormatItem(HWND combo, int index) {
  wchar_t text[256] = L"";
  SendMessageW(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
  return text;
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring MyMusic() {
  wchar_t path[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_MYMUSIC, nullptr, 0, path);
  return path;
}

// Types into the folder combo's edit field as the user would.
void TypeFolder(HWND page, const std::wstring& text) {
  SendMessageW(GetDlgItem(page, IDC_DEST_FOLDER), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SendMessageW(ComboEdit(GetDlgItem(page, IDC_DEST_FOLDER)), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(text.c_str()));
}

void CheckOnly(HWND list, const std::vector<int>& rows) {
  for (int row = 0; row < ListView_GetItemCount(list); ++row)
    ListView_SetCheckState(list, row, FALSE);
  for (int row : rows) ListView_SetCheckState(list, row, TRUE);
}

class SelectTracksPage : public ::testing::Test {
 protected:
  Environment environment_{L"SelectTracksPageTest"};
  TempDir dir_;
  CWizardInfo info_;
  StandInPage backupFile_{info_, IDD_WIZ97_SELECTMP3, IDD_WIZ97_SELECTTRACKS, 0};
  CWizardSelectTracksPage page_{info_};
  StandInPage progress_{info_, IDD_WIZ97_PROGRESS, 0, IDD_WIZ97_SELECTTRACKS};

  void SetUp() override { info_->operation = OpExtract; }
  INT_PTR RunSheet(const std::function<void(HWND sheet)>& steps) {
    return PageSheet::Run(info_, backupFile_, page_, progress_, steps);
  }
};

// Two discs: the first with a 2.45-second track, texts file names cannot
// hold, a back and a front cover; the second with a title beyond ASCII.
TEST_F(SelectTracksPage, ListsEveryDiscsTracksAndHandsTheCheckedOnesToTheExtraction) {
  info_->backupPath = dir_ / L"two discs.mp3";
  info_->discs = MakeBackup(
      info_->backupPath, {{{0, 184}, 484, 0, {440, 660}}, {{0, 150}, 300, 0, {550, 770}}}, 1,
      [](std::vector<BackupDisc>& discs) {
        discs[0].disc.tracks[0].artist = L"AC/DC";
        discs[0].disc.tracks[1] = {L"A/B", L"Song?", L"", L"", 0};
        discs[1].disc.tracks[2].title = L"T\u014dne";
        discs[0].pictures.resize(2);
        BackupFile::MakePictureFrame(discs[0].pictures[0], L"back", kBackCover, 2);
        BackupFile::MakePictureFrame(discs[0].pictures[1], L"front", kFrontCover, 1);
      });
  ASSERT_EQ(2u, info_->discs.size());
  ASSERT_EQ(2u, info_->discs[0].pictures.size());
  info_->nameFormat = 20;  // as a settings file may hold it
  // Remembered folders: a known folder's path shows under its name only.
  const std::wstring remembered = dir_ / L"remembered";
  CreateDirectoryW(remembered.c_str(), nullptr);
  info_->mruExport.Add(MyMusic());
  info_->mruExport.Add(remembered);
  const std::wstring folder = dir_ / L"songs";
  CreateDirectoryW(folder.c_str(), nullptr);

  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTTRACKS));
    HWND page = CurrentPage(sheet);
    HWND list = GetDlgItem(page, IDC_TRACKS);
    ASSERT_EQ(4, ListView_GetItemCount(list));
    const wchar_t* rows[4][4] = {{L"1", L"0:03", L"Song?", L"A/B"},
                                 {L"2", L"0:04", L"Tone 660 Hz", L"Player 1.2"},
                                 {L"1", L"0:02", L"Tone 550 Hz", L"Player 2.1"},
                                 {L"2", L"0:02", L"T\u014dne", L"Player 2.2"}};
    for (int row = 0; row < 4; ++row)
      for (int column = 0; column < 4; ++column)
        EXPECT_EQ(rows[row][column], Cell(list, row, column)) << row << "," << column;
    // Wine's list view keeps no groups; where it does, one per disc.
    if (ListView_IsGroupViewEnabled(list)) {
      EXPECT_EQ(L"Disc 1 : AC/DC - Album 1", GroupHeader(list, 100));
      EXPECT_EQ(L"Disc 2 : Artist 2 - Album 2", GroupHeader(list, 101));
    }
    EXPECT_EQ(180, ListView_GetColumnWidth(list, 2));
    EXPECT_EQ(150, ListView_GetColumnWidth(list, 3));

    HWND formats = GetDlgItem(page, IDC_NAME_FORMAT);
    ASSERT_EQ(14, SendMessageW(formats, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"Track - Album - Artist - Title.mp3", FormatItem(formats, 0));
    EXPECT_EQ(L"Title - Artist.mp3", FormatItem(formats, 5));
    EXPECT_EQ(L"Album - Track - Artist - Title.wav", FormatItem(formats, 8));
    EXPECT_EQ(L"Artist - Title.wav", FormatItem(formats, 10));
    EXPECT_EQ(0, SendMessageW(formats, CB_GETCURSEL, 0, 0));
    EXPECT_EQ(0, info_->nameFormat);

    HWND folders = GetDlgItem(page, IDC_DEST_FOLDER);
    EXPECT_EQ(L"< Browse ... >", ComboBoxEx::ItemText(folders, 0));
    EXPECT_EQ(L"My Music", ComboBoxEx::ItemText(folders, 1));
    EXPECT_EQ(1, SendMessageW(folders, CB_GETCURSEL, 0, 0));
    const int count = static_cast<int>(SendMessageW(folders, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(remembered, ComboBoxEx::ItemText(folders, count - 1));
    for (int i = 2; i < count - 1; ++i) EXPECT_NE(L"My Music", ComboBoxEx::ItemText(folders, i));
    EXPECT_TRUE(info_->extracter != nullptr);  // scanning already

    // Next needs a checked track and a folder that exists.
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    ListView_SetCheckState(list, 0, TRUE);
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    TypeFolder(page, dir_ / L"nowhere");
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    TypeFolder(page, folder);
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));

    CheckOnly(list, {0, 3});
    SendMessageW(formats, CB_SETCURSEL, 4, 0);
    const boost::weak_ptr<ExtracterData> engine = info_->extracter;
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ((std::vector<int32_t>{1, 2}), info_->trackIndices);
    EXPECT_EQ((std::vector<int32_t>{0, 1}), info_->discQueue);
    const std::vector<std::wstring> songs = {folder + L"\\1\\1 - A.B - Song..mp3",
                                             folder + L"\\2\\2 - Player 2.2 - T\u014dne.mp3"};
    EXPECT_EQ(songs, info_->outputPaths);
    EXPECT_EQ(4, info_->nameFormat);
    EXPECT_EQ(folder, info_->mruExport.GetItems().front());
    EXPECT_EQ(engine.lock(), info_->extracter);  // left running for the extraction

    // The empty folder got the front cover, the playlist and a folder per disc.
    EXPECT_EQ(kFrontCover, ReadFileBytes(folder + L"\\folder.jpg"));
    // UTF-8 without a byte-order mark, CR LF after every line.
    const std::string base(folder.begin(), folder.end());  // the temporary folder is ASCII
    const std::string list8 =
        base + "\\1\\1 - A.B - Song..mp3\r\n" + base + "\\2\\2 - Player 2.2 - T\xC5\x8Dne.mp3\r\n";
    EXPECT_EQ(Bytes(list8.begin(), list8.end()), ReadFileBytes(folder + L"\\AC.DC - Album 1.m3u"));
    EXPECT_TRUE(IsFolder(folder + L"\\1"));
    EXPECT_TRUE(IsFolder(folder + L"\\2"));
    EXPECT_EQ(4u, FilesIn(folder).size());

    // Coming back rebuilds the list unchecked and scans anew; the folder now
    // holds files, so a WAV choice gets neither playlist nor picture again.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTTRACKS));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    EXPECT_TRUE(engine.expired());
    EXPECT_TRUE(info_->extracter != nullptr);
    DeleteFileW((folder + L"\\AC.DC - Album 1.m3u").c_str());
    TypeFolder(page, folder);
    CheckOnly(list, {1});
    SendMessageW(formats, CB_SETCURSEL, 10, 0);
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(std::vector<std::wstring>{folder + L"\\1\\Player 1.2 - Tone 660 Hz.wav"},
              info_->outputPaths);
    EXPECT_EQ(3u, FilesIn(folder).size());
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTTRACKS));
  });
  EXPECT_FALSE(info_->extracter);  // the sheet's end stops it
}

// A one-disc file: songs straight into a folder that already holds a file.
TEST_F(SelectTracksPage, OneDiscGoesIntoTheFolderItselfAndANonEmptyFolderGetsNoExtras) {
  info_->backupPath = dir_ / L"one disc.mp3";
  info_->discs = MakeBackup(
      info_->backupPath, {{{0, 150}, 300, 0, {440, 660}}}, 1, [](std::vector<BackupDisc>& discs) {
        discs[0].pictures.resize(1);
        BackupFile::MakePictureFrame(discs[0].pictures[0], L"back", kBackCover, 2);
      });
  const std::wstring folder = dir_ / L"full";
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteFileBytes(folder + L"\\keep.txt", {'x'});
  const std::wstring empty = dir_ / L"empty";
  CreateDirectoryW(empty.c_str(), nullptr);
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTTRACKS));
    HWND page = CurrentPage(sheet);
    HWND list = GetDlgItem(page, IDC_TRACKS);
    EXPECT_FALSE(ListView_IsGroupViewEnabled(list));
    // Ctrl+A with some tracks checked checks all, and again none.
    ListView_SetCheckState(list, 1, TRUE);
    ControlKey(list, 'A');
    EXPECT_TRUE(ListView_GetCheckState(list, 0) && ListView_GetCheckState(list, 1));
    ControlKey(list, 'A');
    EXPECT_FALSE(ListView_GetCheckState(list, 0) || ListView_GetCheckState(list, 1));
    TypeFolder(page, folder);
    CheckOnly(list, {1});
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(std::vector<std::wstring>{folder + L"\\2 - Album 1 - Player 1.2 - Tone 660 Hz.mp3"},
              info_->outputPaths);
    EXPECT_EQ(std::vector<std::wstring>{L"keep.txt"}, FilesIn(folder));

    // Without a front cover the first picture is the folder's.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTTRACKS));
    TypeFolder(page, empty);
    CheckOnly(list, {0});
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(kBackCover, ReadFileBytes(empty + L"\\folder.jpg"));
    EXPECT_EQ(2u, FilesIn(empty).size());
  });
}

// Back leaves at once although the scan of a long disc has far to go, and
// the engine is gone with its threads.
TEST_F(SelectTracksPage, BackStopsTheScanAtOnce) {
  info_->backupPath = dir_ / L"long.mp3";
  info_->discs = MakeBackup(info_->backupPath, {{{0}, 750, 0, {440}}}, 120,
                            [](std::vector<BackupDisc>&) {});  // 20 minutes
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTTRACKS));
    boost::weak_ptr<ExtracterData> engine = info_->extracter;
    ASSERT_FALSE(engine.expired());
    const auto before = std::chrono::steady_clock::now();
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTMP3));
    EXPECT_LT(std::chrono::steady_clock::now() - before, Scaled(std::chrono::milliseconds(1000)));
    EXPECT_TRUE(engine.expired());
    EXPECT_FALSE(info_->extracter);
  });
}

// The folder dialog's choice is added in alias form and chosen; cancelling
// it chooses the first known folder.
TEST_F(SelectTracksPage, BrowsedFolderIsAddedAndChosen) {
  info_->backupPath = dir_ / L"one disc.mp3";
  info_->discs =
      MakeBackup(info_->backupPath, {{{0}, 150, 0, {440}}}, 1, [](std::vector<BackupDisc>&) {});
  const std::wstring chosen = MyMusic() + L"\\Browsed " + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(chosen.c_str(), nullptr);
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTTRACKS));
    HWND page = CurrentPage(sheet);
    HWND folders = GetDlgItem(page, IDC_DEST_FOLDER);
    const int count = static_cast<int>(SendMessageW(folders, CB_GETCOUNT, 0, 0));
    Choose(page, IDC_DEST_FOLDER, 0);
    HWND browse = WaitForDialogOver(sheet);
    ASSERT_NE(nullptr, browse);
    // The dialog fills its tree after it shows: select until the folder is selected.
    HWND tree = FindWindowExW(browse, nullptr, WC_TREEVIEWW, nullptr);
    ASSERT_NE(nullptr, tree);
    const std::wstring leaf = L"Browsed " + std::to_wstring(GetCurrentProcessId());
    ASSERT_TRUE(WaitFor([&] {
      SendMessageW(browse, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(chosen.c_str()));
      wchar_t text[MAX_PATH] = {};
      TVITEMW item = {};
      item.mask = TVIF_TEXT;
      item.hItem = TreeView_GetSelection(tree);
      item.pszText = text;
      item.cchTextMax = MAX_PATH;
      return item.hItem != nullptr && TreeView_GetItem(tree, &item) && leaf == text;
    }));
    PostMessageW(browse, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(browse); }));
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(folders, CB_GETCOUNT, 0, 0) == count + 1; }));
    const std::wstring alias = L"My Music\\Browsed " + std::to_wstring(GetCurrentProcessId());
    EXPECT_EQ(alias, ComboBoxEx::ItemText(folders, count));
    EXPECT_EQ(count, SendMessageW(folders, CB_GETCURSEL, 0, 0));

    Choose(page, IDC_DEST_FOLDER, 0);
    browse = WaitForDialogOver(sheet);
    ASSERT_NE(nullptr, browse);
    PostMessageW(browse, WM_COMMAND, IDCANCEL, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(browse); }));
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(folders, CB_GETCURSEL, 0, 0) == 1; }));
    EXPECT_EQ(count + 1, SendMessageW(folders, CB_GETCOUNT, 0, 0));
  });
  RemoveDirectoryW(chosen.c_str());
}

}  // namespace

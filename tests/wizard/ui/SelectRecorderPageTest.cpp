// The recorder page in a sheet of this process over the virtual recorders:
// the medium in each recorder, the eject button, the disc image with its
// save dialog, what Next writes into the wizard state, and the disc counter
// of a restore of several discs.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>
#include <shlobj.h>

#include <algorithm>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "tests/engine/TocBuilder.h"
#include "tests/support/FileBytes.h"
#include "tests/support/vdrive/VirtualDriveSetup.h"
#include "tests/wizard/ui/PageSheet.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/SelectRecorderPage.h"

using namespace SheetDriver;
using namespace PageSheet;

namespace {

const int kE = 5, kF = 6, kG = 7, kH = 8, kI = 9, kJ = 10;

// A disc whose lead-out lies at the given LBA.
BackupDisc Disc(int n, int leadOut) {
  BackupDisc disc;
  disc.toc = MakeToc({0, leadOut / 2, leadOut});
  const std::wstring number = std::to_wstring(n);
  disc.disc.tracks = {{L"Artist " + number, L"Album " + number, L"", L"", 0},
                      {L"", L"One", L"", L"", 0},
                      {L"", L"Two", L"", L"", 0}};
  return disc;
}

std::string Drive(const std::string& letter, const std::string& lines) {
  return "[drive]\nid = VD-" + letter + "\nvolumes = " + letter + ":\\\n" + lines;
}

std::wstring MyDocuments() {
  wchar_t path[MAX_PATH];
  SHGetFolderPathW(nullptr, CSIDL_PERSONAL, nullptr, 0, path);
  return path;
}

LPARAM SelectedData(HWND combo) {
  return ComboBoxEx::ItemData(combo, ComboBoxEx::Selection(combo));
}

class SelectRecorderPage : public ::testing::Test {
 protected:
  Environment environment_{L"SelectRecorderPageTest"};
  VirtualDriveSetup drives_;
  CWizardInfo info_;
  StandInPage discs_{info_, IDD_WIZ97SELDISCS, IDD_WIZ97_SELECTRECORDER, 0};
  CWizardSelectRecorderPage page_{info_};
  StandInPage progress_{info_, IDD_WIZ97_PROGRESS, 0, IDD_WIZ97_SELECTRECORDER};

  void SetUp() override {
    info_->operation = OpRestore;
    info_->discs = {Disc(1, 20000)};
  }
  void RunSheet(const std::function<void(HWND sheet)>& steps) {
    PageSheet::Run(info_, discs_, page_, progress_, steps,
                   [this](const DEV_BROADCAST_HDR* header) { page_.OnDeviceChange(header); });
  }
  // Chooses the recorder (0: the disc image) and waits for the status line.
  static bool Pick(HWND page, LPARAM letter, const std::wstring& status) {
    HWND recorders = GetDlgItem(page, IDC_RECORDERS);
    Choose(page, IDC_RECORDERS, ComboBoxEx::FindData(recorders, letter));
    return WaitFor([&] {
      return SelectedData(recorders) == letter &&
             Text(GetDlgItem(page, IDC_MEDIA_STATUS)) == status;
    });
  }
  static std::wstring ImagePath(HWND page) {
    return Text(ComboEdit(GetDlgItem(page, IDC_IMAGE_PATH)));
  }
  // Names the disc image in the save dialog; an empty name cancels it.
  static void SaveAs(HWND sheet, HWND page, const std::wstring& name) {
    Choose(page, IDC_IMAGE_PATH, 0);
    HWND dialog = WaitForDialogOver(sheet);
    ASSERT_NE(nullptr, dialog);
    if (name.empty()) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      SetDlgItemTextW(dialog, 0x47C, name.c_str());
      PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(dialog); }));
  }
};

TEST_F(SelectRecorderPage, TellsWhatEachMediumTakesAndEjects) {
  drives_.Describe(Drive("E", "medium = cdr\ncapacity = 79:59:74\n") +
                   Drive("F",
                         "medium = cdrw\nstatus = complete\nmastering = 5B\n"
                         "capacity = 79:00:00 atip\n") +
                   Drive("G", "") + Drive("H", "medium = cdr\nstatus = complete\n") +
                   Drive("I", "medium = cdrom\n") +
                   Drive("J", "medium = cdr\ncapacity = 04:00:00\n"));
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    HWND recorders = GetDlgItem(page, IDC_RECORDERS);
    ASSERT_EQ(7, SendMessageW(recorders, CB_GETCOUNT, 0, 0));
    // Only the written CD-RW's capacity comes from its ATIP.
    const std::vector<std::string> probes = drives_.TakeLog();
    std::vector<std::string> atip;
    for (const std::string& line : probes)
      if (line.find(" cdb=43000400") != std::string::npos)
        atip.push_back(line.substr(0, line.find(" fetched")));
    ASSERT_FALSE(atip.empty());
    for (const std::string& line : atip)
      EXPECT_EQ("VD-F cdb=43000400000000008000 timeout=10 buf=128 hr=00000000", line);
    EXPECT_EQ(L"Disc Image File", ComboBoxEx::ItemText(recorders, 0));
    // The first blank disc is chosen.
    EXPECT_EQ(kE, SelectedData(recorders));
    EXPECT_EQ(L"valid empty recordable CD", Text(GetDlgItem(page, IDC_MEDIA_STATUS)));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_EJECT)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_IMAGE_PATH)));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(page, IDC_DISC_INFO)));
    RECT list, eject;
    GetWindowRect(recorders, &list);
    GetWindowRect(GetDlgItem(page, IDC_EJECT), &eject);
    EXPECT_EQ(list.bottom - list.top, eject.bottom - eject.top);
    EXPECT_EQ(eject.right - eject.left, eject.bottom - eject.top);

    struct Row {
      int letter;
      const wchar_t* status;
      DWORD buttons;
    } rows[] = {
        {kF, L"overwritable disc", PSWIZB_BACK | PSWIZB_NEXT},
        {kG, L"No or invalid disc", PSWIZB_BACK},
        {kH, L"TAVRIN cannot record to this disc", PSWIZB_BACK},
        {kI, L"TAVRIN cannot record to this disc", PSWIZB_BACK},  // a pressed disc
        {kJ, L"disc too small", PSWIZB_BACK},
        {kE, L"valid empty recordable CD", PSWIZB_BACK | PSWIZB_NEXT},
    };
    for (const Row& row : rows) {
      EXPECT_TRUE(Pick(page, row.letter, row.status)) << row.letter;
      EXPECT_TRUE(WaitForButtons(sheet, row.buttons)) << row.letter;
    }

    // The disc image: no status, its file under the documents folder.
    ASSERT_TRUE(Pick(page, 0, L""));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_EJECT)));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_IMAGE_PATH)));
    EXPECT_EQ(L"My Documents\\Artist 1 - Album 1.cue", ImagePath(page));

    ASSERT_TRUE(Pick(page, kE, L"valid empty recordable CD"));
    drives_.TakeLog();
    SendMessageW(GetDlgItem(page, IDC_EJECT), BM_CLICK, 0, 0);
    EXPECT_EQ(L"No or invalid disc", Text(GetDlgItem(page, IDC_MEDIA_STATUS)));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    const std::vector<std::string> log = drives_.TakeLog();
    EXPECT_NE(log.end(), std::find(log.begin(), log.end(), "VD-E call=EjectMedia hr=00000000"));
  });
}

TEST_F(SelectRecorderPage, NextWritesTheTargetAndAsksBeforeErasing) {
  drives_.Describe(Drive("E", "medium = cdr\ncapacity = 79:59:74\nmastering = 58\n") +
                   Drive("F",
                         "medium = cdrw\nstatus = complete\nmastering = 5B\n"
                         "capacity = 79:00:00 atip\n"));
  info_->imagePath = L"left from before";
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(Pick(page, kE, L"valid empty recordable CD"));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(0, SendMessageW(GetDlgItem(page, IDC_RECORDERS), CB_GETCOUNT, 0, 0));  // let go
    EXPECT_EQ(kE, info_->restoreTarget);
    EXPECT_FALSE(info_->eraseFirst);
    EXPECT_FALSE(info_->cdTextCapable);  // no R-W subchannel writing
    EXPECT_EQ(L"", info_->imagePath);

    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTRECORDER));
    ASSERT_TRUE(Pick(page, kF, L"overwritable disc"));
    for (int answer : {7, 6}) {
      ASSERT_TRUE(Press(sheet, kNext));
      HWND question = WaitForDialogOver(sheet, L"Medium contains data !");
      ASSERT_NE(nullptr, question);
      PostMessageW(question, TDM_CLICK_BUTTON, answer, 0);
      ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }));
    }
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(kF, info_->restoreTarget);
    EXPECT_TRUE(info_->eraseFirst);
    EXPECT_TRUE(info_->cdTextCapable);

    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTRECORDER));
    ASSERT_TRUE(Pick(page, 0, L""));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(0, info_->restoreTarget);
    EXPECT_FALSE(info_->eraseFirst);
    EXPECT_TRUE(info_->cdTextCapable);
    EXPECT_EQ(MyDocuments() + L"\\Artist 1 - Album 1.cue", info_->imagePath);
    EXPECT_EQ(std::vector<std::wstring>{MyDocuments()}, info_->mruDiscImage.GetItems());
  });
}

// The platform's writer burns no disc longer than 326250 frames; the disc
// image knows no such limit.
TEST_F(SelectRecorderPage, PlatformWriterLimitHoldsForRecordersOnly) {
  drives_.Describe(Drive("E", "medium = cdr\ncapacity = 79:59:74\n"));
  info_->writeEngine = L"MsftDiscFormat2RawCD";
  info_->discs = {Disc(1, 326251)};
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(Pick(page, kE,
                     L"Due to a limitation of the Windows-Recording engine you cannot burn discs "
                     L"with more than 74 minutes."));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK));
    ASSERT_TRUE(Pick(page, 0, L""));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
  });
}

// A disc fits while its lead-out starts no later than the medium's last
// possible lead-out start, 150 frames before LBA 0 counted.
TEST_F(SelectRecorderPage, DiscFitsUpToTheLastPossibleLeadOut) {
  drives_.Describe(Drive("E", "medium = cdr\ncapacity = 79:59:74\n"));
  const int last = 79 * 4500 + 59 * 75 + 74 - 150;
  info_->discs = {Disc(1, last), Disc(2, last + 1)};  // Back leads to the select-discs page
  struct Row {
    int32_t disc;
    const wchar_t* status;
    DWORD buttons;
  } rows[] = {{0, L"valid empty recordable CD", PSWIZB_BACK | PSWIZB_NEXT},
              {1, L"disc too small", PSWIZB_BACK}};
  RunSheet([&](HWND sheet) {
    for (const Row& r : rows) {
      SCOPED_TRACE(r.disc);
      info_->discQueue = {r.disc};
      ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
      EXPECT_TRUE(Pick(CurrentPage(sheet), kE, r.status));
      EXPECT_TRUE(WaitForButtons(sheet, r.buttons));
      ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97SELDISCS));
    }
  });
}

// A CD-RW, blank or written, is for recorders that write CD-RW: the choice
// passes over it elsewhere, and the status line and the buttons refuse it.
TEST_F(SelectRecorderPage, ErasableDiscsOnlyInRecordersThatWriteCdRw) {
  drives_.Describe(Drive("E",
                         "medium = cdrw\nstatus = complete\nmastering = 5B\n"
                         "capacity = 79:00:00 atip\n") +
                   Drive("F", "medium = cdrw\nstatus = complete\ncapacity = 79:00:00 atip\n") +
                   Drive("G", "medium = cdrw\ncapacity = 79:59:74\n"));
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    EXPECT_EQ(kE, SelectedData(GetDlgItem(page, IDC_RECORDERS)));
    EXPECT_EQ(L"overwritable disc", Text(GetDlgItem(page, IDC_MEDIA_STATUS)));
    for (int letter : {kF, kG}) {
      ASSERT_TRUE(Pick(page, letter, L"TAVRIN cannot record to this disc")) << letter;
      EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK)) << letter;
    }
  });
}

// Next asks before any existing file of the disc image is replaced, the .bin
// as well as the .cue, however the path was given; "No" stays and leaves the
// files as they are.
TEST_F(SelectRecorderPage, AsksBeforeReplacingAnyFileOfTheImage) {
  TempDir dir;
  const std::vector<unsigned char> old = {'o', 'l', 'd', 0, 0xFF};
  struct Row {
    const wchar_t* name;
    bool cue, bin, typed;
  } rows[] = {
      {L"bin-typed", false, true, true},  {L"cue-typed", true, false, true},
      {L"both-typed", true, true, true},  {L"bin-saved", false, true, false},
      {L"cue-saved", true, false, false}, {L"both-saved", true, true, false},
  };
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    for (const Row& r : rows) {
      SCOPED_TRACE(testing::Message() << r.name);
      const std::wstring cue = dir / (std::wstring(r.name) + L".cue");
      const std::wstring bin = dir / (std::wstring(r.name) + L".bin");
      for (const auto& [exists, path] : {std::make_pair(r.cue, cue), std::make_pair(r.bin, bin)}) {
        if (exists) {
          ASSERT_TRUE(WriteFileBytes(path, old));
        }
      }
      ASSERT_TRUE(Pick(page, 0, L""));
      if (r.typed) {
        HWND paths = GetDlgItem(page, IDC_IMAGE_PATH);
        SendMessageW(paths, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetWindowTextW(ComboEdit(paths), cue.c_str());
      } else {
        SaveAs(sheet, page, cue);  // the save dialog itself asks nothing
        ASSERT_TRUE(WaitFor([&] { return ImagePath(page) == cue; }));
      }
      for (int answer : {IDNO, IDYES}) {
        ASSERT_TRUE(Press(sheet, kNext));
        HWND question = WaitForDialogOver(sheet, L"The disc image exists already !");
        ASSERT_NE(nullptr, question);
        const std::wstring texts = ControlTexts(question);
        EXPECT_EQ(r.cue, texts.find(cue) != std::wstring::npos) << Utf8::Encode(texts);
        EXPECT_EQ(r.bin, texts.find(bin) != std::wstring::npos) << Utf8::Encode(texts);
        PostMessageW(question, TDM_CLICK_BUTTON, answer, 0);
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }));
        // The page never touches the files; the job replaces them once its own are complete.
        for (const auto& [exists, path] :
             {std::make_pair(r.cue, cue), std::make_pair(r.bin, bin)}) {
          EXPECT_EQ(exists, GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES);
          if (exists) {
            EXPECT_EQ(old, ReadFileBytes(path));
          }
        }
        if (answer == IDNO) {
          EXPECT_EQ(IDD_WIZ97_SELECTRECORDER, CurrentPageId(sheet));
        }
      }
      ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_PROGRESS));
      EXPECT_EQ(cue, info_->imagePath);
      ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTRECORDER));
    }
  });
}

// A name whose .bin would be the cue sheet itself is refused at Next, typed
// or saved, before any question; the files in the folder stay as they were.
TEST_F(SelectRecorderPage, RefusesAnImageNameThatIsItsOwnBin) {
  TempDir dir;
  const std::vector<unsigned char> old = {'o', 'l', 'd', 0, 0xFF};
  ASSERT_TRUE(WriteFileBytes(dir / L"disc.bin", old));
  // An existing file is named as the file system spells it.
  const struct {
    const wchar_t* name;
    bool typed;
    const wchar_t* shown;
  } rows[] = {{L"disc.bin", true, L"disc.bin"},
              {L"DISC.Bin", true, L"disc.bin"},
              {L"new.bin", false, L"new.bin"}};
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    ASSERT_TRUE(Pick(page, 0, L""));
    HWND paths = GetDlgItem(page, IDC_IMAGE_PATH);
    for (const auto& r : rows) {
      SCOPED_TRACE(Utf8::Encode(r.name));
      const std::wstring cue = dir / r.name;
      if (r.typed) {
        SendMessageW(paths, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        SetWindowTextW(ComboEdit(paths), cue.c_str());
      } else {
        SaveAs(sheet, page, cue);
        ASSERT_TRUE(WaitFor([&] { return ImagePath(page) == cue; }));
      }
      ASSERT_TRUE(Press(sheet, kNext));
      HWND box = WaitForDialogOver(sheet, L"Velmora TAVRIN Wizard...");
      ASSERT_NE(nullptr, box);
      EXPECT_EQ(L"The cue sheet and the image data cannot share one file: " + (dir / r.shown) +
                    L"\nChoose a name that does not end in .bin.",
                Text(GetDlgItem(box, 0xFFFF)));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
      EXPECT_EQ(IDD_WIZ97_SELECTRECORDER, CurrentPageId(sheet));
      EXPECT_EQ(L"", info_->imagePath);
      EXPECT_EQ(old, ReadFileBytes(dir / L"disc.bin"));
      EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((dir / L"new.bin").c_str()));
    }
    // Another extension goes on.
    SendMessageW(paths, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(ComboEdit(paths), (dir / L"fresh.cue").c_str());
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(dir / L"fresh.cue", info_->imagePath);
  });
}

// Three discs chosen and two still queued; the image files are named through
// the save dialog or typed.
TEST_F(SelectRecorderPage, CountsTheDiscsAndNamesTheirImageFiles) {
  TempDir dir;
  info_->discs = {Disc(1, 20000), Disc(2, 20000), Disc(3, 20000)};
  info_->discQueue = {1, 2};
  info_->discsChosen = 3;
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(page, IDC_DISC_INFO)));
    EXPECT_EQ(L"Writing disc 2 of 3 : Artist 2 - Album 2", Text(GetDlgItem(page, IDC_DISC_INFO)));
    EXPECT_EQ(0, SelectedData(GetDlgItem(page, IDC_RECORDERS)));  // no recorder here
    EXPECT_EQ(L"My Documents\\Artist 2 - Album 2 (2 of 3).cue", ImagePath(page));

    HWND paths = GetDlgItem(page, IDC_IMAGE_PATH);
    SaveAs(sheet, page, L"");
    EXPECT_TRUE(WaitFor([&] { return SendMessageW(paths, CB_GETCURSEL, 0, 0) == 1; }));
    SaveAs(sheet, page, dir / L"mine");
    EXPECT_TRUE(WaitFor([&] { return ImagePath(page) == dir / L"mine.cue"; }));
    SaveAs(sheet, page, dir / L"other.cue");
    EXPECT_TRUE(WaitFor([&] { return ImagePath(page) == dir / L"other.cue"; }));
    EXPECT_EQ(4, SendMessageW(paths, CB_GETCOUNT, 0, 0));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(dir / L"other.cue", info_->imagePath);

    // The progress page comes back for the next disc of the queue.
    info_->discQueue.erase(info_->discQueue.begin());
    PostMessageW(sheet, PSM_SETCURSELID, 0, IDD_WIZ97_SELECTRECORDER);
    ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_SELECTRECORDER));
    EXPECT_EQ(L"Writing disc 3 of 3 : Artist 3 - Album 3", Text(GetDlgItem(page, IDC_DISC_INFO)));
    EXPECT_EQ(dir / L"Artist 3 - Album 3 (3 of 3).cue", ImagePath(page));
    // A name without a folder is kept as typed and remembers no folder.
    SendMessageW(paths, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetWindowTextW(ComboEdit(paths), L"plain.cue");
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_PROGRESS));
    EXPECT_EQ(L"plain.cue", info_->imagePath);
    EXPECT_EQ(std::vector<std::wstring>{dir.path()}, info_->mruDiscImage.GetItems());
  });
}

// Recorders that cannot write raw are left out, and the user is told.
TEST_F(SelectRecorderPage, RecordersWithoutRawWritingAreLeftOutAndNamed) {
  const std::string slow = Drive("G", "medium = cdr\nmastering = 41\n");
  drives_.Describe(slow);
  info_->discs = {Disc(1, 20000), Disc(2, 20000)};  // Back leads to the select-discs page
  RunSheet([&](HWND sheet) {
    // Next from the select-discs page brings the box; the page shows after it.
    auto activate = [&](const std::wstring& text, int items) {
      ASSERT_TRUE(Press(sheet, kNext));
      HWND box = WaitForDialogOver(sheet, L"Velmora TAVRIN Wizard...");
      ASSERT_NE(nullptr, box);
      EXPECT_EQ(text, Text(GetDlgItem(box, 0xFFFF)));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      ASSERT_TRUE(WaitForPage(sheet, IDD_WIZ97_SELECTRECORDER));
      EXPECT_EQ(items,
                SendMessageW(GetDlgItem(CurrentPage(sheet), IDC_RECORDERS), CB_GETCOUNT, 0, 0));
    };
    activate(
        L"None of the recorders in your system is capable of recording in RAW mode\n"
        L"TAVRIN will only offer to write to a disc image file.",
        1);
    drives_.Describe(slow + Drive("E", "medium = cdr\ncapacity = 79:59:74\n"));
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97SELDISCS));
    activate(
        L"At least one of your recorders is not capable of recording in RAW mode\n"
        L"TAVRIN will only offer RAW-capable recorders.",
        2);
  });
}

// A disc put into another recorder draws the choice to it, and a choice
// between two blank discs stays where the user made it.
TEST_F(SelectRecorderPage, RefreshFollowsNewDiscsAndKeepsTheUsersChoice) {
  const std::string empty = Drive("E", "") + Drive("F", "");
  drives_.Describe(empty);
  RunSheet([&](HWND sheet) {
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_SELECTRECORDER));
    HWND page = CurrentPage(sheet);
    HWND recorders = GetDlgItem(page, IDC_RECORDERS);
    EXPECT_EQ(0, SelectedData(recorders));
    ASSERT_TRUE(Pick(page, kE, L"No or invalid disc"));
    DEV_BROADCAST_VOLUME volume = {sizeof(volume), DBT_DEVTYP_VOLUME, 0, 1 << 5, 0};
    auto arrive = [&] {
      SendMessageW(sheet, WM_DEVICECHANGE, DBT_DEVICEARRIVAL, reinterpret_cast<LPARAM>(&volume));
    };
    drives_.Describe(Drive("E", "") + Drive("F", "medium = cdr\ncapacity = 79:59:74\n"));
    arrive();
    EXPECT_TRUE(WaitFor([&] { return SelectedData(recorders) == kF; }));
    EXPECT_EQ(L"valid empty recordable CD", Text(GetDlgItem(page, IDC_MEDIA_STATUS)));

    drives_.Describe(Drive("E", "medium = cdr\ncapacity = 79:59:74\n") +
                     Drive("F", "medium = cdr\ncapacity = 79:59:74\n"));
    arrive();
    EXPECT_TRUE(WaitFor([&] { return SelectedData(recorders) == kE; }));
    ASSERT_TRUE(Pick(page, kF, L"valid empty recordable CD"));
    arrive();
    EXPECT_EQ(kF, SelectedData(recorders));
  });
}

}  // namespace

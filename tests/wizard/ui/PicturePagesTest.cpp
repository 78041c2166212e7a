// The add-images and export-images pages in a sheet of this process, driven
// from a second thread with the messages that clicks, keys, the clipboard and
// a drop cause. File dialogs, the folder browser and the Shift key answer
// through the pages' table of system functions; the scanner is the test
// scanner (tests/support/vscanner). The pictures the pages make and write go
// to ..\fixtures\picpages\out for check-picture-pages.sh.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "common/DropTarget.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "tests/common/DragSource.h"
#include "tests/support/AllocationWatch.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempDir.h"
#include "tests/wizard/DibTable.h"
#include "tests/wizard/ui/SheetDriver.h"
#include "wizard/coverart/Picture.h"
#include "wizard/pages/AddImagePage.h"
#include "wizard/pages/ExportImagePage.h"
#include "tests/wizard/ui/FramePage.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Wizard97Sheet.h"

using namespace SheetDriver;

namespace {

std::wstring FullPath(const std::wstring& relative) {
  wchar_t full[MAX_PATH];
  GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::wstring Fixture(const std::wstring& name) {
  return FullPath(L"..\\fixtures\\pictures\\" + name);
}

std::wstring OutFolder() {
  const std::wstring out = FullPath(L"..\\fixtures\\picpages");
  CreateDirectoryW(out.c_str(), nullptr);
  CreateDirectoryW((out + L"\\out").c_str(), nullptr);
  return out + L"\\out";
}

// What the system's dialogs would have answered, and what they were asked.
namespace Fake {
std::wstring file;    // the next file dialog's answer; empty: cancelled
std::wstring folder;  // the folder browser's answer; empty: cancelled
bool shift = false;
OPENFILENAMEW lastFile;
std::wstring fileStart, browseStart, filter, extension;
UINT browseFlags = 0;

BOOL WINAPI Answer(OPENFILENAMEW* dialog) {
  lastFile = *dialog;
  fileStart = dialog->lpstrInitialDir ? dialog->lpstrInitialDir : L"";
  filter = dialog->lpstrFilter ? dialog->lpstrFilter : L"";
  extension = dialog->lpstrDefExt ? dialog->lpstrDefExt : L"";
  if (file.empty()) return FALSE;
  lstrcpynW(dialog->lpstrFile, file.c_str(), dialog->nMaxFile);
  return TRUE;
}
PIDLIST_ABSOLUTE WINAPI Browse(BROWSEINFOW* browse) {
  browseStart = reinterpret_cast<const wchar_t*>(browse->lParam);
  browseFlags = browse->ulFlags;
  return folder.empty() ? nullptr : ILCreateFromPathW(folder.c_str());
}
SHORT WINAPI Keys(int key) { return key == VK_SHIFT && shift ? SHORT(0x8000) : SHORT(0); }
}  // namespace Fake

class TestSheet : public ui::Wizard97Sheet {
 public:
  TestSheet() : ui::Wizard97Sheet(IDB_HEADER, IDB_WATERMARK) {}
  std::atomic<HWND> window{nullptr};

 protected:
  void OnInitialized() override { window = Window(); }
};

// A neighbouring page that only shows its template.
class StubPage : public CWizardFramePage {
 public:
  StubPage(const CWizardInfo& info, int id) : CWizardFramePage(info, id, L"", L"") {}
};

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

class PicturePageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, OleInitialize(nullptr));
    Fake::file.clear();
    Fake::folder.clear();
    Fake::shift = false;
    SystemDialogs::System() = {&Fake::Answer, &Fake::Answer, &Fake::Browse, &Fake::Keys};
  }
  void TearDown() override {
    SystemDialogs::System() = SystemDialogs::Functions();
    OleUninitialize();
  }

  // Runs a sheet of the pages on this thread while the steps drive it from
  // another, starting on the first page; Cancel ends it.
  void Run(std::vector<ui::WizardPage*> pages, const std::function<void(HWND)>& steps) {
    TestSheet sheet;
    for (ui::WizardPage* page : pages) sheet.AddPage(*page);
    std::thread driver([&] {
      HWND window = nullptr;
      if (WaitFor([&] { return (window = sheet.window.load()) != nullptr; }) &&
          WaitForPage(window, pages.front()->Id()))
        steps(window);
      else
        ADD_FAILURE() << "the sheet did not show its first page";
      if (window) PostMessageW(window, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    sheet.DoModal(nullptr);
    driver.join();
  }

  static HWND List(HWND sheet) { return GetDlgItem(CurrentPage(sheet), IDC_PICTURES); }
  static int Count(HWND sheet) { return ListView_GetItemCount(List(sheet)); }
  static bool WaitForCount(HWND sheet, int count) {
    return WaitFor([&] { return Count(sheet) == count; });
  }
  static std::wstring ItemText(HWND sheet, int item) {
    wchar_t text[256] = L"";
    ListView_GetItemText(List(sheet), item, 0, text, 256);
    return text;
  }
  static int ItemImage(HWND sheet, int item) {
    LVITEMW data = {};
    data.mask = LVIF_IMAGE;
    data.iItem = item;
    ListView_GetItem(List(sheet), &data);
    return data.iImage;
  }
  static void Select(HWND sheet, int item) {
    ListView_SetItemState(List(sheet), item, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
  }
  static void Command(HWND sheet, int command) {
    SendMessageW(CurrentPage(sheet), WM_COMMAND, command, 0);
  }
  static void Key(HWND sheet, WORD key) { SendMessageW(List(sheet), WM_KEYDOWN, key, 0); }
  static void ControlKey(HWND sheet, WORD key) { SheetDriver::ControlKey(List(sheet), key); }
  static void Click(HWND sheet, int button) {
    SendMessageW(GetDlgItem(CurrentPage(sheet), button), BM_CLICK, 0, 0);
  }
  // The context menu that the context-menu key opens on the list; null when
  // none opens.
  static HWND OpenContextMenu(HWND sheet) {
    PostMessageW(List(sheet), WM_KEYDOWN, VK_APPS, 0);
    HWND menu = nullptr;
    WaitFor([&] {
      menu = FindWindowW(L"#32768", nullptr);
      return menu && IsWindowVisible(menu);
    });
    return menu;
  }
  // Picks the menu's entry `downs` steps down from the top with the keys
  // (0 closes the menu) and waits until it is gone.
  static bool PickFromMenu(HWND menu, int downs) {
    for (int i = 0; i < downs; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, downs ? VK_RETURN : VK_ESCAPE, 0);
    return WaitFor([&] { return !IsWindow(menu) || !IsWindowVisible(menu); });
  }
  // Renames the item through its label editor, as F2, typing and Enter do.
  // The editor closes when the list loses the focus, so it is opened, filled
  // in and closed by the page's thread in one go.
  static bool Rename(HWND sheet, int item, const std::wstring& text) {
    Select(sheet, item);
    HWND list = List(sheet);
    bool typed = false;
    SheetDriver::SendWithin(list, WM_KEYDOWN, VK_F2, 0, nullptr, [&] {
      HWND edit = ListView_GetEditControl(list);
      if (!edit) return;
      SetWindowTextW(edit, text.c_str());
      SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
      typed = true;
    });
    return typed && WaitFor([&] { return ItemText(sheet, item) == text; });
  }
  // Adds the file through the open dialog.
  static void AddFile(HWND sheet, const std::wstring& path) {
    Fake::file = path;
    Click(sheet, IDC_ADD_FILE);
  }

  CWizardInfo info_;
};

std::vector<CoverImage> Pictures(const CWizardInfo& info) {
  return std::vector<CoverImage>(info->coverImages.begin(), info->coverImages.end());
}

// Width and height of a picture file as decoded; 0 x 0 when it cannot be.
std::pair<LONG, LONG> SizeOf(const std::vector<unsigned char>& picture) {
  const SharedBytes dib = DecodePictureToDib(picture);
  if (!dib) return {0, 0};
  const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(dib->data());
  return {header->biWidth, header->biHeight};
}

bool IsJpeg(const PictureBytes& bytes) {
  int format = 0;
  return bytes && GetPictureFormat(*bytes, format) && format == FormatJpeg;
}

TagFrame PictureFrame(const std::wstring& description, const std::vector<unsigned char>& bytes,
                      int kind = 0) {
  TagFrame frame;
  EXPECT_TRUE(BackupFile::MakePictureFrame(frame, description, bytes, kind));
  return frame;
}

// The kind marked in the add-images page's context menu: the only checked
// radio item of its kinds submenu, whose items are kinds 0 to 4 in order; -1
// when the menu is not so.
int CheckedKind(HMENU menu) {
  HMENU kinds = GetSubMenu(menu, 2);
  if (!kinds || GetMenuItemCount(kinds) != 5) return -1;
  int checked = -1;
  for (int k = 0; k < 5; ++k) {
    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID;
    if (!GetMenuItemInfoW(kinds, k, TRUE, &item) || item.wID != 32779u + k ||
        !(item.fType & MFT_RADIOCHECK))
      return -1;
    if (item.fState & MFS_CHECKED) {
      if (checked >= 0) return -1;
      checked = k;
    }
  }
  return checked;
}

// The clipboard's CF_DIB header; biSize 0 when there is none.
BITMAPINFOHEADER ClipboardDib() {
  BITMAPINFOHEADER header = {};
  if (!OpenClipboard(nullptr)) return header;
  if (HANDLE block = GetClipboardData(CF_DIB)) {
    if (const void* bits = GlobalLock(block)) {
      header = *static_cast<const BITMAPINFOHEADER*>(bits);
      if (GlobalSize(block) < header.biSize + header.biSizeImage) header.biSize = 0;
      GlobalUnlock(block);
    }
  }
  CloseClipboard();
  return header;
}

// Ctrl+C in the list; the clipboard's CF_DIB header once the page put
// something there. The clipboard is read only once its content changed: a
// reader holds it open, and the page would find it taken.
BITMAPINFOHEADER CopyWithControlC(HWND list) {
  const DWORD before = GetClipboardSequenceNumber();
  SheetDriver::ControlKey(list, 'C');
  BITMAPINFOHEADER header = {};
  if (WaitFor([&] { return GetClipboardSequenceNumber() != before; }))
    WaitFor([&] { return (header = ClipboardDib()).biSize != 0; });
  return header;
}

// A 6 x 4 bitmap of 32-bit pixels with colour masks and no image size, as
// programs put them on the clipboard.
void PutBitfieldsDibOnClipboard() {
  const DWORD masks[3] = {0xFF0000, 0xFF00, 0xFF};
  const SIZE_T bytes = sizeof(BITMAPINFOHEADER) + sizeof masks + 6 * 4 * 4;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  *header = {sizeof(BITMAPINFOHEADER), 6, 4, 1, 32, BI_BITFIELDS, 0, 0, 0, 0, 0};
  memcpy(header + 1, masks, sizeof masks);
  auto* pixels = reinterpret_cast<DWORD*>(reinterpret_cast<unsigned char*>(header + 1) + 12);
  for (int i = 0; i < 24; ++i) pixels[i] = 0x102030 * (i % 5);
  GlobalUnlock(block);
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  SetClipboardData(CF_DIB, block);
  CloseClipboard();
}

// Points the test scanner at a description of one flatbed scanner.
class Scanner {
 public:
  explicit Scanner(const std::string& item) {
    Describe(item);
    SetEnvironmentVariableW(L"TAVRIN_VSCAN", (dir_ / L"scanner.txt").c_str());
  }
  // Read again at the next scan.
  void Describe(const std::string& item, const std::string& top = "") {
    std::ofstream((dir_ / L"scanner.txt").c_str(), std::ios::binary)
        << top << "[device]\nid = VSCAN-1\nname = Virtual Flatbed\n[item]\n"
        << item;
  }
  ~Scanner() { SetEnvironmentVariableW(L"TAVRIN_VSCAN", nullptr); }

 private:
  TempDir dir_;
};

std::string ScanPage(const std::wstring& name) {
  const std::wstring path = FullPath(L"..\\fixtures\\scanner\\" + name);
  return "page = " + std::string(path.begin(), path.end()) + "\n";
}

// A page whose Next needs more memory than a machine may have left.
class GreedyPage : public StubPage {
 public:
  using StubPage::StubPage;

 protected:
  int OnWizardNext() override {
    block_.resize(64 << 20);
    return StubPage::OnWizardNext();
  }

 private:
  std::vector<char> block_;
};

// A Next that fails for want of memory stays on its page, and the sheet goes
// on: with memory, the same Next leads on.
TEST_F(PicturePageTest, ANextShortOfMemoryStaysOnItsPage) {
  info_->operation = OpBackup;
  GreedyPage destination(info_, IDD_WIZ97_SELECTDESTFILE);
  StubPage pictures(info_, IDD_WIZ97_ADDIMAGE);
  Run({&destination, &pictures}, [&](HWND sheet) {
    {
      const AllocationWatch allocations(1 << 20);
      ASSERT_TRUE(Press(sheet, kNext));
      ASSERT_TRUE(Settle(sheet));
    }
    EXPECT_EQ(IDD_WIZ97_SELECTDESTFILE, CurrentPageId(sheet));
    EXPECT_TRUE(Go(sheet, kNext, IDD_WIZ97_ADDIMAGE));
  });
}

class AddImagePageTest : public PicturePageTest {
 protected:
  // The destination page before the add-images page, which starts with the
  // pictures of the target file.
  void Run(const std::function<void(HWND)>& steps) {
    StubPage destination(info_, IDD_WIZ97_SELECTDESTFILE);
    CWizardAddImagePage page(info_);
    PicturePageTest::Run({&destination, &page}, [&](HWND sheet) {
      ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_ADDIMAGE));
      steps(sheet);
    });
  }
  void SetUp() override {
    PicturePageTest::SetUp();
    info_->operation = OpBackup;
    BackupDisc disc;
    disc.pictures = {PictureFrame(L"Inlay from the file", ReadFileBytes(Fixture(L"jpeg.jpg")), 3)};
    info_->discs = {disc};
  }
  TempDir temp_;
};

TEST_F(AddImagePageTest, PicturesFromFilesBecomeJpegsNamedAfterTheFile) {
  const std::wstring broken = temp_ / L"broken.jpg";
  WriteFileBytes(broken, {'n', 'o', ' ', 'p', 'i', 'c', 't', 'u', 'r', 'e', 0, 0, 0, 0, 0, 0});
  const std::wstring dotted = temp_ / L"front.side.png";
  CopyFileW(Fixture(L"png8.png").c_str(), dotted.c_str(), FALSE);
  // Files of 64 MiB and more are not read; one byte less is.
  std::vector<unsigned char> padded = ReadFileBytes(Fixture(L"bmp24.bmp"));
  padded.resize(64 << 20);
  WriteFileBytes(temp_ / L"too large.bmp", padded);
  padded.pop_back();
  WriteFileBytes(temp_ / L"just small enough.bmp", padded);

  Run([&](HWND sheet) {
    ASSERT_EQ(1, Count(sheet));
    EXPECT_EQ(L"Inlay from the file", ItemText(sheet, 0));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));
    // The file's picture shows its kind in the menu.
    Select(sheet, 0);
    HWND menu = OpenContextMenu(sheet);
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(3, CheckedKind(reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0))));
    ASSERT_TRUE(PickFromMenu(menu, 0));

    for (const wchar_t* name : {L"jpeg.jpg", L"png8.png", L"bmp24.bmp", L"gif.gif"})
      AddFile(sheet, Fixture(name));
    EXPECT_EQ(OFN_FILEMUSTEXIST, Fake::lastFile.Flags);
    EXPECT_EQ(L"Image files", Fake::filter);
    EXPECT_EQ(L"jpg", Fake::extension);
    // The folder of the last file is offered next, as a path, and remembered.
    const std::wstring fixtures = FullPath(L"..\\fixtures\\pictures");
    EXPECT_EQ(fixtures, Fake::fileStart);
    ASSERT_FALSE(info_->mruPics.GetItems().empty());
    EXPECT_EQ(fixtures, info_->mruPics.GetItems().front());

    AddFile(sheet, broken);
    AddFile(sheet, temp_ / L"too large.bmp");
    Fake::file.clear();  // cancelled
    Click(sheet, IDC_ADD_FILE);
    EXPECT_EQ(5, Count(sheet));
    AddFile(sheet, dotted);
    AddFile(sheet, temp_ / L"just small enough.bmp");
    ASSERT_EQ(7, Count(sheet));

    const std::vector<CoverImage> pictures = Pictures(info_);
    ASSERT_EQ(7u, pictures.size());
    const wchar_t* const names[] = {
        L"Inlay from the file", L"jpeg", L"png8", L"bmp24", L"gif", L"front.side",
        L"just small enough"};
    for (int i = 0; i < 7; ++i) {
      EXPECT_EQ(names[i], pictures[i].description) << i;
      EXPECT_EQ(names[i], ItemText(sheet, i)) << i;
      EXPECT_EQ(i, pictures[i].thumbnailSlot) << i;
      EXPECT_EQ(i, ItemImage(sheet, i)) << i;
      EXPECT_TRUE(IsJpeg(pictures[i].bytes)) << i;
      EXPECT_EQ(std::make_pair(37L, 23L), SizeOf(*pictures[i].bytes)) << i;
      if (i > 0) {
        EXPECT_GT(pictures[i].id, pictures[i - 1].id);
      }
      WriteFileBytes(OutFolder() + L"\\added-" + std::to_wstring(i) + L".jpg", *pictures[i].bytes);
    }
    EXPECT_EQ(3, pictures[0].kind);
    for (int i = 1; i < 7; ++i) EXPECT_EQ(0, pictures[i].kind) << i;
    EXPECT_EQ(temp_.path(), info_->mruPics.GetItems().front());

    // Back and forward again: only the target file's pictures are left.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTDESTFILE));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_ADDIMAGE));
    EXPECT_EQ(1, Count(sheet));
    ASSERT_EQ(1u, Pictures(info_).size());
    EXPECT_GT(Pictures(info_)[0].id, pictures.back().id);
  });
}

TEST_F(AddImagePageTest, ShiftPreparesThePictureAsAScannedCover) {
  Run([&](HWND sheet) {
    // 37 x 23 pixels at 300 dpi: as it is, or brought to 96 dpi.
    AddFile(sheet, Fixture(L"bmp300dpi.bmp"));
    Fake::shift = true;
    AddFile(sheet, Fixture(L"bmp300dpi.bmp"));
    ASSERT_EQ(3, Count(sheet));
    const std::vector<CoverImage> pictures = Pictures(info_);
    EXPECT_EQ(37, SizeOf(*pictures[1].bytes).first);
    const LONG scaled = SizeOf(*pictures[2].bytes).first;
    EXPECT_GE(scaled, 10);
    EXPECT_LE(scaled, 13);
    WriteFileBytes(OutFolder() + L"\\shift-prepared.jpg", *pictures[2].bytes);
  });
}

TEST_F(AddImagePageTest, ShiftBringsJpegAndPngDensitiesTo96Dpi) {
  // 37 x 23 pixels; the JFIF density or pHYs chunk of 300 dpi makes them
  // 11 x 7 at 96 dpi, a picture that states no resolution keeps its size.
  struct Case {
    const wchar_t* file;
    std::pair<LONG, LONG> size;
  };
  const Case cases[] = {{L"jpeg300dpi.jpg", {11, 7}},   {L"png300dpi.png", {11, 7}},
                        {L"jpegexifinch.jpg", {11, 7}}, {L"jpeg.jpg", {37, 23}},
                        {L"pngaspect.png", {37, 23}},   {L"gif.gif", {37, 23}}};
  Run([&](HWND sheet) {
    Fake::shift = true;
    for (const Case& c : cases) AddFile(sheet, Fixture(c.file));
    const std::vector<CoverImage> pictures = Pictures(info_);
    ASSERT_EQ(1 + std::size(cases), pictures.size());
    for (size_t i = 0; i < std::size(cases); ++i) {
      EXPECT_EQ(cases[i].size, SizeOf(*pictures[1 + i].bytes)) << cases[i].file;
      const SharedBytes dib = DecodePictureToDib(*pictures[1 + i].bytes);
      ASSERT_NE(dib, nullptr);
      EXPECT_EQ(3780, reinterpret_cast<const BITMAPINFOHEADER*>(dib->data())->biXPelsPerMeter);
    }
    WriteFileBytes(OutFolder() + L"\\shift-jpeg300dpi.jpg", *pictures[1].bytes);
  });
}

TEST_F(AddImagePageTest, ClipboardAndScannerPicturesTakeTheDescriptionBoxText) {
  Scanner scanner(ScanPage(L"scan24.bmp") + ScanPage(L"big.bmp"));
  Run([&](HWND sheet) {
    HWND box = GetDlgItem(CurrentPage(sheet), IDC_IMAGE_TYPE);
    ASSERT_EQ(5, SendMessageW(box, CB_GETCOUNT, 0, 0));
    EXPECT_EQ(L"CD-Label", Text(box));

    PutBitfieldsDibOnClipboard();
    ControlKey(sheet, 'V');
    ASSERT_TRUE(WaitForCount(sheet, 2));
    EXPECT_EQ(L"CD-Label", ItemText(sheet, 1));

    // A typed description; of the two scanned pages only the first is taken.
    HWND edit = reinterpret_cast<HWND>(SendMessageW(box, CBEM_GETEDITCONTROL, 0, 0));
    SetWindowTextW(edit, L"Scanned sleeve");
    Click(sheet, IDC_ADD_SCAN);
    ASSERT_EQ(3, Count(sheet));
    EXPECT_EQ(L"Scanned sleeve", ItemText(sheet, 2));
    // Closing the device selection, or a scan that fails, adds nothing.
    scanner.Describe(ScanPage(L"scan24.bmp"), "select = cancel\n");
    Click(sheet, IDC_ADD_SCAN);
    scanner.Describe(ScanPage(L"scan24.bmp") + "fail = 0 80004005\n");
    Click(sheet, IDC_ADD_SCAN);
    EXPECT_EQ(3, Count(sheet));

    const std::vector<CoverImage> pictures = Pictures(info_);
    EXPECT_EQ(std::make_pair(6L, 4L), SizeOf(*pictures[1].bytes));
    EXPECT_TRUE(IsJpeg(pictures[2].bytes));
    EXPECT_NE(0L, SizeOf(*pictures[2].bytes).first);
    WriteFileBytes(OutFolder() + L"\\pasted.jpg", *pictures[1].bytes);
    WriteFileBytes(OutFolder() + L"\\scanned.jpg", *pictures[2].bytes);

    // Ctrl+C puts the selected picture back on the clipboard.
    Select(sheet, 0);
    const BITMAPINFOHEADER copied = CopyWithControlC(List(sheet));
    EXPECT_EQ(37, copied.biWidth);
    EXPECT_EQ(23, copied.biHeight);
    EXPECT_EQ(24, copied.biBitCount);

    // A clipboard without a bitmap adds nothing.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    Command(sheet, 32778);
    EXPECT_EQ(3, Count(sheet));
  });
}

// The packed DIB of a table layout in a global block, as the clipboard or a
// drop holds it.
HGLOBAL DibBlock(const std::string& name) {
  const std::vector<unsigned char> dib = DibTable::PackedDib(name);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, dib.size());
  if (block) {
    memcpy(GlobalLock(block), dib.data(), dib.size());
    GlobalUnlock(block);
  }
  return block;
}

// Every layout of the DIB table, pasted and dropped, becomes a cover with
// ImageMagick's pixels (after the one JPEG encoding every cover goes through).
TEST_F(AddImagePageTest, PastedAndDroppedDibsOfEveryLayoutKeepTheirPixels) {
  const std::vector<std::string> names = DibTable::Names();
  ASSERT_GE(names.size(), 20u);
  Run([&](HWND sheet) {
    for (const std::string& name : names) {
      ASSERT_TRUE(OpenClipboard(nullptr));
      EmptyClipboard();
      SetClipboardData(CF_DIB, DibBlock(name));
      CloseClipboard();
      Command(sheet, 32778);
      // What the drop target hands the page for a dropped bitmap.
      HGLOBAL dropped = DibBlock(name);
      SendMessageW(CurrentPage(sheet), WM_DROPFILES, reinterpret_cast<WPARAM>(dropped),
                   ShellUtils::kDroppedDib);
      GlobalFree(dropped);
    }
    const std::vector<CoverImage> pictures = Pictures(info_);
    ASSERT_EQ(1 + 2 * names.size(), pictures.size());
    for (size_t i = 0; i < names.size(); ++i) {
      const std::vector<unsigned char> expected = DibTable::AsCover(names[i]);
      for (size_t way = 0; way < 2; ++way) {
        const SharedBytes dib = DecodePictureToDib(*pictures[1 + 2 * i + way].bytes);
        ASSERT_NE(dib, nullptr) << names[i];
        EXPECT_EQ(TopDownRgb(*dib), expected) << names[i] << (way ? " dropped" : " pasted");
      }
    }
  });
}

TEST_F(AddImagePageTest, KindsDescriptionsAndDeletionsReachTheCollection) {
  Run([&](HWND sheet) {
    AddFile(sheet, Fixture(L"jpeg.jpg"));
    AddFile(sheet, Fixture(L"gif.gif"));
    ASSERT_EQ(3, Count(sheet));
    const std::vector<CoverImage> before = Pictures(info_);

    Select(sheet, 1);
    Command(sheet, 32780);  // cover front
    Select(sheet, 2);
    Command(sheet, 32783);  // label
    ASSERT_TRUE(Rename(sheet, 1, L"Front cover"));

    // The context menu marks the item's kind and offers no paste without a bitmap.
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    HWND menu = OpenContextMenu(sheet);
    ASSERT_NE(nullptr, menu);
    HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    ASSERT_EQ(6, GetMenuItemCount(items));
    EXPECT_EQ(1, CheckedKind(items));
    EXPECT_EQ(32778u, GetMenuItemID(items, 5));
    EXPECT_TRUE(GetMenuState(items, 5, MF_BYPOSITION) & MF_GRAYED);
    ASSERT_TRUE(PickFromMenu(menu, 0));

    // Delete takes the picture away; the next picture gets its thumbnail slot.
    Select(sheet, 0);
    Key(sheet, VK_DELETE);
    ASSERT_TRUE(WaitForCount(sheet, 2));
    AddFile(sheet, Fixture(L"png8.png"));
    ASSERT_EQ(3, Count(sheet));

    const std::vector<CoverImage> pictures = Pictures(info_);
    ASSERT_EQ(3u, pictures.size());
    EXPECT_EQ(before[1].id, pictures[0].id);
    EXPECT_EQ(L"Front cover", pictures[0].description);
    EXPECT_EQ(1, pictures[0].kind);
    EXPECT_EQ(L"gif", pictures[1].description);
    EXPECT_EQ(4, pictures[1].kind);
    EXPECT_EQ(L"png8", pictures[2].description);
    EXPECT_EQ(0, pictures[2].kind);
    EXPECT_GT(pictures[2].id, before[2].id);
    EXPECT_EQ(before[0].thumbnailSlot, pictures[2].thumbnailSlot);
    EXPECT_EQ(before[0].thumbnailSlot, ItemImage(sheet, 2));
  });
}

TEST_F(AddImagePageTest, DroppedFilesAndBitmapsBecomePictures) {
  const std::wstring broken = temp_ / L"broken.png";
  WriteFileBytes(broken, std::vector<unsigned char>(64, 'x'));
  Run([&](HWND sheet) {
    ASSERT_EQ(S_OK, OleInitialize(nullptr));
    // Above any other test's windows on the display.
    SetWindowPos(sheet, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    {
      DragTest::TestDataObject data({DragTest::kText, DragTest::kFiles, DragTest::kDib},
                                    {Fixture(L"jpeg.jpg"), broken, Fixture(L"gif.gif")});
      DragTest::DropSoon source(List(sheet));
      DWORD effect = DROPEFFECT_NONE;
      EXPECT_EQ(DRAGDROP_S_DROP,
                DoDragDrop(&data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect));
      EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
      EXPECT_EQ(0, data.owner.references);
    }
    OleUninitialize();
    ASSERT_EQ(4, Count(sheet));
    EXPECT_EQ(L"jpeg", ItemText(sheet, 1));
    EXPECT_EQ(L"gif", ItemText(sheet, 2));
    EXPECT_EQ(L"CD-Label", ItemText(sheet, 3));
    const std::vector<CoverImage> pictures = Pictures(info_);
    EXPECT_EQ(std::make_pair(4L, 2L), SizeOf(*pictures[3].bytes));
    for (const CoverImage& picture : pictures) EXPECT_TRUE(IsJpeg(picture.bytes));
  });
}

// A grey 24-bit bitmap in a memory block, as a drop hands it over.
HGLOBAL GreyDib(LONG width, LONG height) {
  const SIZE_T rowBytes = (SIZE_T(width) * 3 + 3) & ~SIZE_T(3);
  const SIZE_T bytes = sizeof(BITMAPINFOHEADER) + rowBytes * height;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  auto* header = static_cast<BITMAPINFOHEADER*>(GlobalLock(block));
  *header = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  memset(header + 1, 0x80, bytes - sizeof(BITMAPINFOHEADER));
  GlobalUnlock(block);
  return block;
}

// A bitmap that the memory left cannot hold is not taken, dropped or pasted,
// and the page (the program with it) goes on: the clipboard is free again, and
// the same bitmap is taken once there is memory.
TEST_F(AddImagePageTest, ABitmapBeyondTheMemoryLeftIsNotTakenAndThePageGoesOn) {
  HGLOBAL large = GreyDib(2000, 1500);  // 9 MB of pixels
  Run([&](HWND sheet) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    SetClipboardData(CF_DIB, GreyDib(2000, 1500));
    CloseClipboard();
    const int before = Count(sheet);
    auto dropAndPaste = [&] {
      SendMessageW(CurrentPage(sheet), WM_DROPFILES, reinterpret_cast<WPARAM>(large),
                   ShellUtils::kDroppedDib);
      Command(sheet, 32778);
    };
    {
      const AllocationWatch allocations(1 << 20);
      dropAndPaste();
    }
    EXPECT_EQ(before, Count(sheet));
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard();
    dropAndPaste();
    ASSERT_EQ(before + 2, Count(sheet));
    const std::vector<CoverImage> pictures = Pictures(info_);
    ASSERT_GE(pictures.size(), 2u);
    for (size_t i = pictures.size() - 2; i < pictures.size(); ++i)
      EXPECT_EQ(std::make_pair(2000L, 1500L), SizeOf(*pictures[i].bytes));
  });
  GlobalFree(large);
}

class ExportImagePageTest : public PicturePageTest {
 protected:
  void SetUp() override {
    PicturePageTest::SetUp();
    jpeg_ = ReadFileBytes(Fixture(L"jpeg.jpg"));
    progressive_ = ReadFileBytes(Fixture(L"jpegprog.jpg"));
    info_->operation = OpRestore;
    info_->backupPath = L"C:\\backups\\first.mp3";
    BackupDisc disc;
    disc.pictures = {PictureFrame(L"front", jpeg_), PictureFrame(L"back", progressive_, 2),
                     PictureFrame(L"a:b", jpeg_), PictureFrame(L"front", progressive_)};
    info_->discs = {disc};
  }
  // The backup-file page before, the recorder page after the export page.
  void Run(const std::function<void(HWND)>& steps) {
    StubPage backupFile(info_, IDD_WIZ97_SELECTMP3);
    CWizardExportImagePage page(info_);
    StubPage recorder(info_, IDD_WIZ97_SELECTRECORDER);
    PicturePageTest::Run({&backupFile, &page, &recorder}, [&](HWND sheet) {
      ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_EXPORTIMAGE));
      steps(sheet);
    });
  }
  std::vector<unsigned char> jpeg_, progressive_;
};

TEST_F(ExportImagePageTest, WritesThePicturesUnderTheirDescriptionsOneByOneAndToTheClipboard) {
  const std::wstring out = OutFolder() + L"\\export";
  CreateDirectoryW(out.c_str(), nullptr);
  for (const wchar_t* name : {L"front.jpg", L"back.jpg", L"a.b.jpg", L"single.jpg"})
    DeleteFileW((out + L"\\" + name).c_str());
  Run([&](HWND sheet) {
    ASSERT_EQ(4, Count(sheet));
    EXPECT_EQ(L"a:b", ItemText(sheet, 2));
    EXPECT_TRUE(WaitForButtons(sheet, PSWIZB_BACK | PSWIZB_NEXT));

    Fake::folder = out;
    Click(sheet, IDC_EXPORT_ALL);
    EXPECT_EQ(static_cast<UINT>(BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_UAHINT),
              Fake::browseFlags);
    EXPECT_TRUE(IsFolder(Fake::browseStart))
        << std::string(Fake::browseStart.begin(), Fake::browseStart.end());
    // The later of two pictures with one description wins; a name that no
    // file may carry is made one.
    EXPECT_EQ(progressive_, ReadFileBytes(out + L"\\front.jpg"));
    EXPECT_EQ(progressive_, ReadFileBytes(out + L"\\back.jpg"));
    EXPECT_EQ(jpeg_, ReadFileBytes(out + L"\\a.b.jpg"));
    ASSERT_FALSE(info_->mruPics.GetItems().empty());
    EXPECT_EQ(out, info_->mruPics.GetItems().front());

    // One picture under a chosen name through the context menu; the dialog
    // offers a JPEG name.
    Select(sheet, 0);
    Fake::file = out + L"\\single.jpg";
    HWND menu = OpenContextMenu(sheet);
    ASSERT_NE(nullptr, menu);
    HMENU items = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
    ASSERT_EQ(4, GetMenuItemCount(items));
    EXPECT_EQ(32775u, GetMenuItemID(items, 0));
    EXPECT_EQ(32776u, GetMenuItemID(items, 1));
    EXPECT_EQ(32777u, GetMenuItemID(items, 3));
    ASSERT_TRUE(PickFromMenu(menu, 2));
    // The file appears before its last byte is written: wait for all of it.
    EXPECT_TRUE(WaitFor([&] { return ReadFileBytes(Fake::file) == jpeg_; }));
    EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST), Fake::lastFile.Flags);
    EXPECT_EQ(L"JPEG images", Fake::filter);
    EXPECT_TRUE(IsFolder(Fake::fileStart));
    // Into a folder that is not there nothing is written.
    Fake::file = out + L"\\missing\\single.jpg";
    Key(sheet, VK_SHIFT);  // the selected item is the one the keys concern
    Command(sheet, 32776);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(Fake::file.c_str()));

    Select(sheet, 1);
    const BITMAPINFOHEADER copied = CopyWithControlC(List(sheet));
    EXPECT_EQ(37, copied.biWidth);
    EXPECT_EQ(23, copied.biHeight);

    // A cancelled browser writes nothing.
    DeleteFileW((out + L"\\back.jpg").c_str());
    Fake::folder.clear();
    Click(sheet, IDC_EXPORT_ALL);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out + L"\\back.jpg").c_str()));
  });
  // The backup file's pictures are the restore's own: none went away.
  EXPECT_EQ(4u, info_->discs[0].pictures.size());
}

// Files of the folder that the export would replace are named in one question
// first; "No" keeps every one of them. A picture that cannot take the place of
// a file (held open) leaves it as it was, and no temporary file stays behind.
TEST_F(ExportImagePageTest, ExistingFilesAreReplacedOnlyWhenTheUserSaysSo) {
  const std::wstring out = OutFolder() + L"\\existing";
  CreateDirectoryW(out.c_str(), nullptr);
  const std::wstring front = out + L"\\front.jpg", back = out + L"\\back.jpg",
                     other = out + L"\\a.b.jpg";
  const std::vector<unsigned char> oldFront = {'o', 'l', 'd'}, oldBack = {'b', 'a', 'c', 'k'};
  DeleteFileW(other.c_str());
  WriteFileBytes(front, oldFront);
  WriteFileBytes(back, oldBack);
  const auto exportAll = [&](HWND sheet, int answer, bool otherThere) {
    Fake::folder = out;
    PostMessageW(GetDlgItem(CurrentPage(sheet), IDC_EXPORT_ALL), BM_CLICK, 0, 0);
    HWND question = WaitForDialog(GetCurrentProcessId(), L"Velmora TAVRIN Wizard...");
    ASSERT_NE(nullptr, question);
    const std::wstring shown = ControlTexts(question);
    EXPECT_NE(std::wstring::npos, shown.find(L"front.jpg"))
        << std::string(shown.begin(), shown.end());
    EXPECT_NE(std::wstring::npos, shown.find(L"back.jpg"));
    EXPECT_EQ(otherThere, shown.find(L"a.b.jpg") != std::wstring::npos);
    PostMessageW(question, TDM_CLICK_BUTTON, answer, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(question); }));
    ASSERT_TRUE(Settle(sheet));
  };
  Run([&](HWND sheet) {
    ASSERT_EQ(4, Count(sheet));
    exportAll(sheet, IDNO, false);
    EXPECT_EQ(oldFront, ReadFileBytes(front));
    EXPECT_EQ(oldBack, ReadFileBytes(back));
    EXPECT_EQ(jpeg_, ReadFileBytes(other));

    HANDLE held = CreateFileW(back.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    exportAll(sheet, IDYES, true);
    CloseHandle(held);
    EXPECT_EQ(progressive_, ReadFileBytes(front));
    EXPECT_EQ(oldBack, ReadFileBytes(back));
  });
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((out + L"\\*.tmp").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, find);
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
}

TEST_F(ExportImagePageTest, DeletionsAndNewNamesStayUntilEveryPictureIsGone) {
  TempDir out;
  Run([&](HWND sheet) {
    Select(sheet, 0);
    Key(sheet, VK_DELETE);
    ASSERT_TRUE(WaitForCount(sheet, 3));
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTMP3));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_EXPORTIMAGE));
    ASSERT_EQ(3, Count(sheet));
    // Each picture shows its own thumbnail again.
    for (int i = 0; i < 3; ++i) EXPECT_EQ(i, ItemImage(sheet, i)) << i;
    EXPECT_EQ(L"back", ItemText(sheet, 0));

    ASSERT_TRUE(Rename(sheet, 0, L"Booklet"));
    Fake::folder = out.path();
    Click(sheet, IDC_EXPORT_ALL);
    EXPECT_EQ(progressive_, ReadFileBytes(out / L"Booklet.jpg"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((out / L"back.jpg").c_str()));

    for (int left = 3; left > 0; --left) {
      Select(sheet, 0);
      Key(sheet, VK_DELETE);
      ASSERT_TRUE(WaitForCount(sheet, left - 1));
    }
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTMP3));
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_EXPORTIMAGE));
    EXPECT_EQ(4, Count(sheet));

    // Another backup file shows its own pictures.
    ASSERT_TRUE(Go(sheet, kBack, IDD_WIZ97_SELECTMP3));
    info_->backupPath = L"C:\\backups\\second.mp3";
    info_->discs[0].pictures = {PictureFrame(L"only", jpeg_)};
    ASSERT_TRUE(Go(sheet, kNext, IDD_WIZ97_EXPORTIMAGE));
    ASSERT_EQ(1, Count(sheet));
    EXPECT_EQ(L"only", ItemText(sheet, 0));
  });
}

}  // namespace

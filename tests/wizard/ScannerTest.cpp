// Scanning through the test scanner (tests/support/vscanner), registered in
// the prefix as the system's device manager: the product's acquisition runs
// unchanged against it. The pages are written to ..\fixtures\scanner\out for
// check-scanned.sh, which compares them with their sources in ImageMagick.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"
#include "tests/support/TimeScale.h"
#include "tests/wizard/DibTable.h"
#include "tests/wizard/FixtureFiles.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"
#include "wizard/coverart/WiaWrap.h"

namespace {

const std::string kDir = "..\\fixtures\\scanner\\";

std::vector<unsigned char> ReadFile(const std::string& name) { return ReadBytes(kDir + name); }

std::string FullPath(const std::string& name) {
  char full[MAX_PATH];
  GetFullPathNameA((kDir + name).c_str(), MAX_PATH, full, nullptr);
  return full;
}

std::string ReadText(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Points the test scanner at a description in a temporary folder.
class ScannerSetup {
 public:
  ScannerSetup() {
    SetEnvironmentVariableW(L"TAVRIN_VSCAN", (dir_ / L"scanner.txt").c_str());
    SetEnvironmentVariableW(L"TAVRIN_VSCAN_LOG", (dir_ / L"scanner.log").c_str());
  }
  ~ScannerSetup() {
    SetEnvironmentVariableW(L"TAVRIN_VSCAN", nullptr);
    SetEnvironmentVariableW(L"TAVRIN_VSCAN_LOG", nullptr);
  }
  void Describe(const std::string& text) {
    std::ofstream((dir_ / L"scanner.txt").c_str(), std::ios::binary) << text;
    DeleteFileW((dir_ / L"scanner.log").c_str());
  }
  std::string Log() const { return ReadText(dir_ / L"scanner.log"); }

 private:
  TempDir dir_;
};

// A scanner with one item per entry of `items` (each a block of item keys).
std::string OneScanner(const std::vector<std::string>& items, const std::string& device = "") {
  std::string text = "[device]\nid = VSCAN-1\nname = Virtual Flatbed\n" + device;
  for (const std::string& item : items) text += "[item]\n" + item;
  return text;
}

std::string Page(const std::string& file) { return "page = " + FullPath(file) + "\n"; }

struct Pages {
  LONG count = 0;
  IStream** streams = nullptr;
  ~Pages() {
    for (LONG i = 0; i < count; ++i) streams[i]->Release();
    CoTaskMemFree(streams);
  }
  std::vector<unsigned char> Bytes(LONG i) const {
    STATSTG stat = {};
    streams[i]->Stat(&stat, STATFLAG_NONAME);
    std::vector<unsigned char> bytes(size_t(stat.cbSize.QuadPart));
    ULONG got = 0;
    streams[i]->Read(bytes.data(), ULONG(bytes.size()), &got);
    bytes.resize(got);
    return bytes;
  }
};

HRESULT Scan(Pages& pages, LONG flags = Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE,
             const GUID& format = Wia::WiaImgFmt_MEMORYBMP, HWND parent = nullptr) {
  return WiaWrap::AcquireImages(parent, GetModuleHandleW(nullptr), Wia::StiDeviceTypeScanner, flags,
                                Wia::WIA_INTENT_NONE, format, &pages.count, &pages.streams);
}

// Every object of the test scanner has been released.
bool ScannerIdle() {
  HMODULE server = GetModuleHandleW(L"vscanner.dll");
  if (!server) return true;
  auto canUnload = reinterpret_cast<decltype(&::DllCanUnloadNow)>(
      reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")));
  return canUnload && canUnload() == S_OK;
}

void WriteOut(const std::string& name, const std::vector<unsigned char>& bytes) {
  WriteBytes(kDir + "out\\" + name, bytes);
}

class Scanner : public ::testing::Test {
 protected:
  void SetUp() override { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
  void TearDown() override {
    EXPECT_TRUE(ScannerIdle());
    CoUninitialize();
  }
  ScannerSetup scanner_;
};

TEST_F(Scanner, APageComesBackAsTheBmpFileTheScannerRead) {
  scanner_.Describe(OneScanner({Page("scan24.bmp") + "band = 1000\n"}));
  Pages pages;
  ASSERT_EQ(Scan(pages), S_OK);
  ASSERT_EQ(pages.count, 1);
  // The scanner sends the DIB without its file header; the page gets one.
  EXPECT_EQ(pages.Bytes(0), ReadFile("scan24.bmp"));
  const std::string log = scanner_.Log();
  for (const char* line :
       {"SelectDeviceDlg type=1 flags=0\n", "DeviceDlg flags=2 intent=0\n",
        "WriteMultiple TYMED vt=3 value=128 first=4098\n",
        "WriteMultiple FORMAT vt=72 MEMORYBMP first=4098\n",
        "idtGetBandedData size=28 section=0 buffer=65536 double=1 reserved=0,0,0\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << log;
}

// Scanners that send the page's height as 0 (the rows run top-down), that
// announce another buffer size, other depths, and the buffer-size property in
// other types or not at all.
TEST_F(Scanner, LayoutsDepthsAndBufferSizes) {
  struct Case {
    const char* name;
    const char* source;
    std::string keys;
    const char* buffer;  // what the transfer asks for
  };
  const Case cases[] = {
      {"exact", "scan24.bmp", "", "65536"},
      {"noheight", "scan24.bmp", "layout = noheight\nannounce = 0\nband = 777\n", "65536"},
      {"noheight_announced", "scan24.bmp", "layout = noheight\n", "65536"},
      {"noheight_overannounced", "scan24.bmp", "layout = noheight\nannounce = 100000\n", "65536"},
      {"grey_noheight", "scangrey.bmp", "layout = noheight\nannounce = 0\nband = 500\n", "65536"},
      {"mono", "scan1.bmp", "announce = 0\nband = 100\n", "65536"},
      {"mono_noheight", "scan1.bmp", "layout = noheight\nannounce = 0\n", "65536"},
      {"big", "big.bmp", "buffersize = none\n", "131072"},
      {"real_buffer", "scan24.bmp", "buffersize = r8:5000.6\n", "10002"},
      {"short_buffer", "scan24.bmp", "buffersize = i2:3000\n", "6000"},
      {"text_buffer", "scan24.bmp", "buffersize = bstr:4096\n", "131072"},
  };
  for (const Case& c : cases) {
    scanner_.Describe(OneScanner({Page(c.source) + c.keys}));
    Pages pages;
    ASSERT_EQ(Scan(pages), S_OK) << c.name;
    ASSERT_EQ(pages.count, 1) << c.name;
    const std::vector<unsigned char> page = pages.Bytes(0), source = ReadFile(c.source);
    WriteOut(std::string(c.source).substr(0, std::strlen(c.source) - 4) + "__" + c.name + ".bmp",
             page);
    ASSERT_GE(page.size(), 54u) << c.name;
    BITMAPFILEHEADER file;
    BITMAPINFOHEADER info, wanted;
    std::memcpy(&file, page.data(), 14);
    std::memcpy(&info, &page[14], 40);
    std::memcpy(&wanted, &source[14], 40);
    EXPECT_EQ(file.bfType, 0x4D42) << c.name;
    EXPECT_EQ(file.bfSize, page.size()) << c.name;
    EXPECT_EQ(file.bfOffBits, *reinterpret_cast<const DWORD*>(&source[10])) << c.name;
    if (std::string(c.name).find("noheight") != std::string::npos) {
      EXPECT_EQ(info.biHeight, -wanted.biHeight) << c.name;  // top-down
    } else {
      EXPECT_EQ(page, source) << c.name;
    }
    // The same picture, whichever way its rows are stored.
    const SharedBytes got = DecodePictureToDib(page), want = DecodePictureToDib(source);
    ASSERT_NE(got, nullptr) << c.name;
    EXPECT_EQ(*got, *want) << c.name;
    EXPECT_NE(scanner_.Log().find(std::string("buffer=") + c.buffer + " "), std::string::npos)
        << c.name;
  }
}

// Every layout of the DIB table as a scanned page, as stored and (but for
// core headers) with the height left open: the page's bitmap and the cover
// made from it, read as the add-images page reads a scan, show ImageMagick's
// pixels.
TEST_F(Scanner, PagesOfEveryDibLayoutKeepTheirPixels) {
  const std::vector<std::string> names = DibTable::Names();
  ASSERT_GE(names.size(), 20u);
  for (const std::string& name : names) {
    const std::vector<unsigned char> source = DibTable::File(name + ".bmp");
    ASSERT_GT(source.size(), 54u) << name;
    const bool core = source[14] == sizeof(BITMAPCOREHEADER);
    for (const char* layout : {"memorybmp", "noheight"}) {
      const bool stored = std::strcmp(layout, "memorybmp") == 0;
      if (!stored && core) continue;  // the scanner leaves the height open in info headers only
      char path[MAX_PATH];
      GetFullPathNameA((DibTable::kDir + name + ".bmp").c_str(), MAX_PATH, path, nullptr);
      scanner_.Describe(
          OneScanner({std::string("page = ") + path + "\nlayout = " + layout + "\n"}));
      Pages pages;
      ASSERT_EQ(Scan(pages), S_OK) << name << " " << layout;
      ASSERT_EQ(pages.count, 1);
      const std::vector<unsigned char> page = pages.Bytes(0);
      if (stored) {
        EXPECT_EQ(page, source) << name;
      }
      BITMAPFILEHEADER file;
      ASSERT_GE(page.size(), sizeof file);
      std::memcpy(&file, page.data(), sizeof file);
      ASSERT_LE(file.bfSize, page.size()) << name << " " << layout;
      const std::vector<unsigned char> dib(page.begin() + sizeof file, page.begin() + file.bfSize);
      const SharedBytes normal = NormalizeDib(dib.data(), dib.size());
      ASSERT_NE(normal, nullptr) << name << " " << layout;
      EXPECT_EQ(TopDownRgb(*normal), DibTable::File(name + ".rgb")) << name << " " << layout;
      const SharedBytes cover = DecodePictureToDib(PrepareScannedImage(dib, 3780));
      ASSERT_NE(cover, nullptr) << name << " " << layout;
      EXPECT_EQ(TopDownRgb(*cover), DibTable::AsCover(name)) << name << " " << layout;
    }
  }
}

TEST_F(Scanner, EveryItemAndPageInOrderAndTheFileFormat) {
  // Without the single-image flag the scan dialog gives both items; the first
  // feeds two sheets.
  scanner_.Describe(OneScanner({Page("scan24.bmp") + Page("scangrey.bmp") + "band = 4000\n",
                                Page("scan1.bmp") + "layout = noheight\nannounce = 0\n"}));
  {
    Pages pages;
    ASSERT_EQ(Scan(pages, 0), S_OK);
    ASSERT_EQ(pages.count, 3);
    EXPECT_EQ(pages.Bytes(0), ReadFile("scan24.bmp"));
    EXPECT_EQ(pages.Bytes(1), ReadFile("scangrey.bmp"));
    EXPECT_EQ(*DecodePictureToDib(pages.Bytes(2)), *DecodePictureToDib(ReadFile("scan1.bmp")));
  }
  {
    Pages pages;
    ASSERT_EQ(Scan(pages), S_OK);
    EXPECT_EQ(pages.count, 2);  // one item, both its sheets
  }
  // A BMP file transfer: the scanner's own file header is kept.
  scanner_.Describe(OneScanner({Page("scan24.bmp") + "band = 2048\n"}));
  Pages file;
  ASSERT_EQ(Scan(file, Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE, Wia::WiaImgFmt_BMP), S_OK);
  ASSERT_EQ(file.count, 1);
  EXPECT_EQ(file.Bytes(0), ReadFile("scan24.bmp"));
  Pages refused;
  EXPECT_EQ(Scan(refused, Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE, Wia::WiaImgFmt_JPEG), E_INVALIDARG);
}

TEST_F(Scanner, ClosedDialogsMissingDevicesAndDeviceErrors) {
  const std::string item = Page("scan24.bmp") + "band = 1000\n";
  struct Case {
    const char* name;
    std::string description;
    HRESULT result;
    LONG pages;
  };
  const Case cases[] = {
      {"no device", "", Wia::WIA_S_NO_DEVICE_AVAILABLE, 0},
      {"only a camera", OneScanner({item}, "type = camera\n"), Wia::WIA_S_NO_DEVICE_AVAILABLE, 0},
      {"selection closed", "select = cancel\n" + OneScanner({item}), S_FALSE, 0},
      {"scan dialog closed", OneScanner({item}, "dialog = cancel\n"), S_FALSE, 0},
      {"scanner busy", OneScanner({item}, "dialog = 80210006\n"), Wia::WIA_ERROR_BUSY, 0},
      {"paper jam", OneScanner({item + "fail = 5 80210002\n"}), Wia::WIA_ERROR_PAPER_JAM, 0},
      {"jam in the second item", OneScanner({item, item + "fail = 2 80210002\n"}),
       Wia::WIA_ERROR_PAPER_JAM, 1},
      {"two status bits", OneScanner({item + "status = 3\n"}), E_INVALIDARG, 0},
      {"negative offset", OneScanner({item + "hostile = negative-offset\n"}), E_INVALIDARG, 0},
      {"offset past 2 GiB", OneScanner({item + "hostile = huge-offset\n"}), E_OUTOFMEMORY, 0},
      {"short data header", OneScanner({item + "hostile = short-header\n"}), E_INVALIDARG, 0},
      {"no pages", OneScanner({"band = 10\n"}), Wia::WIA_ERROR_PAPER_EMPTY, 0},
  };
  for (const Case& c : cases) {
    scanner_.Describe(c.description);
    Pages pages;
    EXPECT_EQ(Scan(pages, 0), c.result) << c.name;
    EXPECT_EQ(pages.count, c.pages) << c.name;
    // Closed dialogs and missing devices never reach a transfer.
    if (c.result == S_FALSE || c.result == Wia::WIA_S_NO_DEVICE_AVAILABLE ||
        c.result == Wia::WIA_ERROR_BUSY) {
      EXPECT_EQ(scanner_.Log().find("idtGetBandedData"), std::string::npos) << c.name;
    }
  }
  LONG count = 5;
  IStream** streams = nullptr;
  EXPECT_EQ(WiaWrap::AcquireImages(nullptr, nullptr, 1, 2, 0, Wia::WiaImgFmt_MEMORYBMP, nullptr,
                                   &streams),
            E_POINTER);
  EXPECT_EQ(
      WiaWrap::AcquireImages(nullptr, nullptr, 1, 2, 0, Wia::WiaImgFmt_MEMORYBMP, &count, nullptr),
      E_POINTER);
  EXPECT_EQ(WiaWrap::ProgressCallback(1, 5, nullptr), E_POINTER);
}

// A progress dialog that cannot be shown (here: its owner does not exist)
// leaves the scan to run without one.
TEST_F(Scanner, ScanRunsWithoutAProgressDialogWhereNoneCanBeShown) {
  scanner_.Describe(OneScanner({Page("scan24.bmp") + "band = 3000\n"}));
  Pages pages;
  ASSERT_EQ(Scan(pages, Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE, Wia::WiaImgFmt_MEMORYBMP,
                 reinterpret_cast<HWND>(0x7FF0)),
            S_OK);
  ASSERT_EQ(pages.count, 1);
  EXPECT_EQ(pages.Bytes(0), ReadFile("scan24.bmp"));
}

std::wstring Text(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// The dialog of this process whose caption is that text.
HWND FindDialog(const wchar_t* caption) {
  for (HWND h = FindWindowExW(nullptr, nullptr, L"#32770", caption); h;
       h = FindWindowExW(nullptr, h, L"#32770", caption)) {
    DWORD process = 0;
    GetWindowThreadProcessId(h, &process);
    if (process == GetCurrentProcessId()) return h;
  }
  return nullptr;
}

TEST_F(Scanner, CancelInTheProgressDialogStopsTheTransfer) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 100, 100, 400, 300,
                               nullptr, nullptr, nullptr, nullptr);
  if (!owner) GTEST_SKIP() << "no display";
  HANDLE paused = CreateEventW(nullptr, FALSE, FALSE, L"TavrinVScanPaused");
  HANDLE resume = CreateEventW(nullptr, FALSE, FALSE, L"TavrinVScanResume");
  scanner_.Describe(OneScanner({Page("big.bmp") + "band = 92165\npause = 4\n"}));

  std::atomic<bool> seen{false};
  std::wstring status, button;
  LRESULT position = -1;
  BOOL enabled = TRUE;
  RECT dialogRect = {}, ownerRect = {};
  int controls = 0;
  std::thread user([&] {
    if (WaitForSingleObject(paused, ScaledMs(60000)) == WAIT_OBJECT_0) {
      HWND dialog = FindDialog(L"Scan in Progress...");
      if (dialog) {
        seen = true;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) ++controls;
        wchar_t className[64] = {};
        GetClassNameW(GetDlgItem(dialog, 102), className, 64);
        if (std::wstring(className) != L"msctls_progress32") controls = -1;
        status = Text(GetDlgItem(dialog, 101));
        position = SendDlgItemMessageW(dialog, 102, PBM_GETPOS, 0, 0);
        GetWindowRect(dialog, &dialogRect);
        GetWindowRect(owner, &ownerRect);
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
        button = Text(GetDlgItem(dialog, IDCANCEL));
        enabled = IsWindowEnabled(GetDlgItem(dialog, IDCANCEL));
      }
    }
    SetEvent(resume);
  });
  Pages pages;
  const HRESULT hr =
      Scan(pages, Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE, Wia::WiaImgFmt_MEMORYBMP, owner);
  user.join();
  ASSERT_TRUE(seen) << "no progress dialog";
  EXPECT_EQ(hr, S_FALSE);
  EXPECT_EQ(pages.count, 0);
  EXPECT_EQ(controls, 3);
  EXPECT_EQ(status, L"reading... 40%");  // four of ten bands
  EXPECT_EQ(position, 40);
  EXPECT_EQ(button, L"...");
  EXPECT_FALSE(enabled);
  // Centred over its owner.
  EXPECT_NEAR((dialogRect.left + dialogRect.right) / 2, (ownerRect.left + ownerRect.right) / 2, 2);
  EXPECT_NEAR((dialogRect.top + dialogRect.bottom) / 2, (ownerRect.top + ownerRect.bottom) / 2, 2);
  // The transfer stopped at the next band; the dialog is gone.
  EXPECT_EQ(scanner_.Log().find("offset=460825"), std::string::npos);
  EXPECT_EQ(FindDialog(L"Scan in Progress..."), nullptr);
  CloseHandle(paused);
  CloseHandle(resume);
  DestroyWindow(owner);
}

HRESULT GoOn(LONG, LONG, void*) { return S_OK; }

// Whatever a device sends, the callback neither crashes nor stores a page
// whose file header claims more than the page holds.
TEST(ScannerDataCallback, SurvivesHostileBands) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::mt19937 random(11);
  const auto dib = ReadFile("scan24.bmp");
  ASSERT_GT(dib.size(), 54u);
  for (int round = 0; round < 200; ++round) {
    LONG count = 0;
    IStream** streams = nullptr;
    auto* callback = new WiaWrap::CDataCallback(&GoOn, nullptr, &count, &streams);
    callback->AddRef();
    WIA_DATA_CALLBACK_HEADER header = {sizeof header, Wia::WiaImgFmt_MEMORYBMP,
                                       LONG(random() % 70000) - 100, 1};
    callback->BandedDataCallback(Wia::IT_MSG_DATA_HEADER, 4, 0, 0, LONG(random() % 40), 0, 0,
                                 reinterpret_cast<BYTE*>(&header));
    for (int message = 0; message < 6; ++message) {
      // A band cut from the real DIB, perhaps damaged, at a possibly absurd place.
      std::vector<unsigned char> band(dib.begin() + 14, dib.end());
      band.resize(random() % (band.size() + 1));
      for (int i = 0; i < 3 && !band.empty(); ++i)
        band[random() % std::min<size_t>(band.size(), 60)] = static_cast<unsigned char>(random());
      const LONG offsets[] = {0, LONG(random() % 30000), -1, 0x7FFFFFFF, LONG(random())};
      const LONG offset = offsets[random() % 5];
      const LONG length = random() % 8 ? LONG(band.size()) : -LONG(random() % 100);
      const LONG kind = LONG(random() % 6);
      callback->BandedDataCallback(kind, 4, 50, offset, length, 0, 0,
                                   band.empty() ? nullptr : band.data());
    }
    callback->BandedDataCallback(Wia::IT_MSG_TERMINATION, 4, 100, 0, 0, 0, 0, nullptr);
    callback->Release();
    for (LONG i = 0; i < count; ++i) {
      STATSTG stat = {};
      streams[i]->Stat(&stat, STATFLAG_NONAME);
      BITMAPFILEHEADER file = {};
      ULONG got = 0;
      streams[i]->Read(&file, sizeof file, &got);
      if (got == sizeof file && file.bfType == 0x4D42) {
        EXPECT_LE(file.bfSize, stat.cbSize.QuadPart) << round;
      }
      streams[i]->Release();
    }
    CoTaskMemFree(streams);
  }
  CoUninitialize();
}

// DIB sizes against the header versions ImageMagick writes.
TEST(ScannerDibSizes, TotalSizeAndPixelOffsetOfEveryHeaderVersion) {
  for (const char* name :
       {"scan24.bmp", "core24.bmp", "v5rgb24.bmp", "v5rgb565.bmp", "info8.bmp", "info1.bmp"}) {
    const auto bmp = ReadFile(name);
    ASSERT_GT(bmp.size(), 54u) << name;
    const unsigned char* dib = &bmp[14];
    const size_t size = bmp.size() - 14;
    EXPECT_EQ(WiaWrap::DibTotalSize(dib, size), size) << name;
    EXPECT_EQ(WiaWrap::DibPixelOffset(dib, size) + 14, *reinterpret_cast<const DWORD*>(&bmp[10]))
        << name;
    BITMAPFILEHEADER file = {};
    ASSERT_TRUE(WiaWrap::DibFillFileHeader(dib, size, &file)) << name;
    EXPECT_EQ(0, std::memcmp(&file, bmp.data(), 14)) << name;
  }
  EXPECT_EQ(WiaWrap::DibRowBytes(10, 24), 32u);
  // An 8-bit DIB with a 40-byte header and no used-colour count has 256 colours.
  BITMAPINFOHEADER h = {};
  h.biSize = 40;
  h.biWidth = 10;
  h.biHeight = 2;
  h.biBitCount = 8;
  EXPECT_EQ(WiaWrap::DibPixelOffset(&h, 40), 40u + 1024);
  EXPECT_EQ(WiaWrap::DibTotalSize(&h, 40), 40u + 1024 + 24);
  // Not DIBs: unknown header sizes, headers longer than the bytes there are.
  for (DWORD headerSize : {0u, 39u, 64u, 125u}) {
    h.biSize = headerSize;
    EXPECT_EQ(WiaWrap::DibHeaderSize(&h, 40), 0u) << headerSize;
    EXPECT_EQ(WiaWrap::DibTotalSize(&h, 40), 0u) << headerSize;
  }
  h.biSize = 40;
  EXPECT_EQ(WiaWrap::DibHeaderSize(&h, 39), 0u);
  h.biCompression = BI_JPEG;
  EXPECT_EQ(WiaWrap::DibTotalSize(&h, 40), 0u);  // no size without an image size
}

TEST(ScannerDibSizes, HeightFromTheDataSize) {
  struct Case {
    DWORD headerSize;
    WORD bits;
    DWORD compression;
    size_t data;  // bytes after the header and table
    LONG height;
  };
  // 10 pixels wide: 24-bit rows of 32 bytes, 16-bit rows of 20.
  for (const Case& c : {Case{40, 24, BI_RGB, 32 * 7, -7}, Case{40, 24, BI_RGB, 32 * 7 + 31, -7},
                        Case{40, 16, BI_BITFIELDS, 12 + 20 * 3, -3},
                        Case{124, 24, BI_RGB, 32 * 2, -2}, Case{12, 24, BI_RGB, 32 * 5, 5}}) {
    std::vector<unsigned char> dib(c.headerSize + c.data, 0);
    if (c.headerSize == 12) {
      const BITMAPCOREHEADER core = {12, 10, 0, 1, c.bits};
      std::memcpy(dib.data(), &core, 12);
    } else {
      BITMAPINFOHEADER h = {};
      h.biSize = c.headerSize;
      h.biWidth = 10;
      h.biBitCount = c.bits;
      h.biCompression = c.compression;
      std::memcpy(dib.data(), &h, 40);
    }
    ASSERT_TRUE(WiaWrap::DibFixHeight(dib.data(), dib.size(), true)) << c.headerSize;
    if (c.headerSize == 12) {
      EXPECT_EQ(reinterpret_cast<BITMAPCOREHEADER*>(dib.data())->bcHeight, c.height);
    } else {
      const auto* h = reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
      EXPECT_EQ(h->biHeight, c.height) << c.headerSize << " " << c.data;
      EXPECT_EQ(h->biSizeImage, c.data - (c.compression == BI_BITFIELDS ? 12 : 0));
    }
  }
  BITMAPINFOHEADER zeroWidth = {};
  zeroWidth.biSize = 40;
  zeroWidth.biBitCount = 24;
  EXPECT_FALSE(WiaWrap::DibFixHeight(&zeroWidth, 40, true));
}

}  // namespace

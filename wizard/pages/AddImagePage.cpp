#include "wizard/pages/AddImagePage.h"

#include <shellapi.h>

#include <memory>
#include <vector>

#include "common/DropTarget.h"
#include "common/Localizer.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/WiaWrap.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/PictureFiles.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"
#include "wizard/ui/Module.h"

namespace {

// Every picture is kept at 96 dots per inch.
const unsigned kPelsPerMeter = 3780;
// The longest description taken from the description box.
const int kDescriptionLength = 255;
// A BMP file header and the smallest info header after it.
const ULONG kFileHeaderBytes = sizeof(BITMAPFILEHEADER);
const ULONG kSmallestBmp = kFileHeaderBytes + sizeof(BITMAPINFOHEADER);

const wchar_t* const kDescriptions[] = {L"CD-Label{ART_LABEL}", L"Cover (Front){ART_COVERFRONT}",
                                        L"Cover (Back){ART_COVERBACK}", L"Leaflet{ART_LEAFLET}",
                                        L"Booklet{ART_BOOKLET}"};

// The BMP file image of a scanned page without its file header: a packed DIB;
// empty when the stream does not hold the whole file its header announces.
std::vector<unsigned char> ReadScannedPage(IStream* stream) {
  STATSTG stat = {};
  BITMAPFILEHEADER header = {};
  ULONG read = 0;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME)) ||
      FAILED(stream->Read(&header, kFileHeaderBytes, &read)) || read != kFileHeaderBytes)
    return {};
  if (header.bfSize < kSmallestBmp || header.bfSize > stat.cbSize.QuadPart) return {};
  std::vector<unsigned char> dib(header.bfSize - kFileHeaderBytes);
  if (FAILED(stream->Read(dib.data(), static_cast<ULONG>(dib.size()), &read)) || read != dib.size())
    return {};
  return dib;
}

}  // namespace

CWizardAddImagePage::CWizardAddImagePage(const CWizardInfo& info)
    : CWizardPicturePage(
          info, IDD_WIZ97_ADDIMAGE,
          L"Here you can add images to your TAVRIN Back-up file...{ADDIMAGEPAGE_TITLE}",
          L"Scan images or add pictures from your harddisk.{ADDIMAGEPAGE_SUBTITLE}") {}

void CWizardAddImagePage::InitControls() {
  // Drops on the list come to this page as WM_DROPFILES.
  dropTarget_ = ShellUtils::RegisterDropTarget(list_);
  InitDescriptions();
}

bool CWizardAddImagePage::OnCommand(int command, int code) {
  if (code == BN_CLICKED && command == IDC_ADD_FILE) {
    OnAddFile();
  } else if (code == BN_CLICKED && command == IDC_ADD_SCAN) {
    OnScan();
  } else if (code == BN_CLICKED && command == kCommandPaste) {
    OnPaste();
  } else if (code == BN_CLICKED && command >= kCommandFirstKind && command <= kCommandLastKind) {
    SetKind(command - kCommandFirstKind);
  } else {
    return CWizardPicturePage::OnCommand(command, code);
  }
  return true;
}

LRESULT CWizardAddImagePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message == WM_DROPFILES) {
    OnDropFiles(wParam, lParam);
    handled = true;
    return 0;
  }
  if (message == WM_DESTROY) {
    ShellUtils::RevokeDropTarget(dropTarget_);
    dropTarget_ = nullptr;
  }
  return CWizardPicturePage::OnMessage(message, wParam, lParam, handled);
}

void CWizardAddImagePage::InitDescriptions() {
  descriptions_ = GetDlgItem(Window(), IDC_IMAGE_TYPE);
  SendMessageW(descriptions_, CBEM_SETEXTENDEDSTYLE, 0,
               CBES_EX_PATHWORDBREAKPROC | CBES_EX_TEXTENDELLIPSIS);
  HWND combo = reinterpret_cast<HWND>(SendMessageW(descriptions_, CBEM_GETCOMBOCONTROL, 0, 0));
  if (combo) SetWindowLongPtrW(combo, GWL_STYLE, GetWindowLongPtrW(combo, GWL_STYLE) & ~CBS_SORT);
  for (const wchar_t* literal : kDescriptions) {
    const std::wstring text = Localizer::Translate(literal);
    if (ComboBoxEx::Find(descriptions_, text) < 0) ComboBoxEx::Add(descriptions_, text);
  }
  ComboBoxEx::Select(descriptions_, 0);
}

void CWizardAddImagePage::RebuildImages() {
  ResetFolder();
  EmptyList();
  (*this)->coverImages.Clear();
  TakePicturesOfDiscs();
  ShowCollection();
}

std::wstring CWizardAddImagePage::DescriptionText() const {
  HWND edit = reinterpret_cast<HWND>(SendMessageW(descriptions_, CBEM_GETEDITCONTROL, 0, 0));
  wchar_t text[kDescriptionLength + 1] = L"";
  GetWindowTextW(edit ? edit : descriptions_, text, kDescriptionLength + 1);
  return text;
}

bool CWizardAddImagePage::AddPicture(const SharedBytes& dib, const std::wstring& path, bool shift) {
  std::vector<unsigned char> jpeg =
      shift ? PrepareScannedImage(*dib, kPelsPerMeter) : EncodeJpeg(*dib);
  if (jpeg.empty()) return false;
  std::wstring description;
  const bool fromFile = PictureFiles::DescriptionOfPath(path, description);
  if (!fromFile) description = DescriptionText();
  if (AddThumbnail(-1, std::make_shared<const std::vector<unsigned char>>(std::move(jpeg)),
                   description) < 0)
    return false;
  if (fromFile) {
    folder_ = PictureFiles::FolderOfPath(path);
    (*this)->mruPics.Add(folder_);
  }
  return true;
}

void CWizardAddImagePage::AddFromFile(const std::wstring& path, bool shift) {
  std::vector<unsigned char> bytes;
  if (!PictureFiles::ReadPictureFile(path, bytes)) return;
  const SharedBytes dib = DecodePictureToDib(bytes);
  if (dib) AddPicture(dib, path, shift);
}

void CWizardAddImagePage::AddDibBlock(HGLOBAL block) {
  // The block stays its owner's (the clipboard's or the drop's): it is only read.
  const void* bits = GlobalLock(block);
  if (!bits) return;
  const SharedBytes dib = NormalizeDib(static_cast<const unsigned char*>(bits), GlobalSize(block));
  const bool shift = SystemDialogs::ShiftHeld();
  GlobalUnlock(block);
  if (dib) AddPicture(dib, L"", shift);
}

void CWizardAddImagePage::OnAddFile() {
  const bool shift = SystemDialogs::ShiftHeld();
  std::wstring path;
  if (ChoosePictureFile(false, path)) AddFromFile(path, shift);
}

void CWizardAddImagePage::OnDropFiles(WPARAM data, LPARAM kind) {
  if (kind == ShellUtils::kDroppedDib) {
    AddDibBlock(reinterpret_cast<HGLOBAL>(data));
    return;
  }
  if (kind != ShellUtils::kDroppedFiles) return;
  // The drop target keeps the list of names and releases it after this message.
  HDROP drop = reinterpret_cast<HDROP>(data);
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    wchar_t name[MAX_PATH] = L"";
    if (DragQueryFileW(drop, i, name, MAX_PATH)) AddFromFile(name, SystemDialogs::ShiftHeld());
  }
}

void CWizardAddImagePage::OnPaste() {
  const PictureFiles::ClipboardScope clipboard(Window());
  if (!clipboard.IsOpen()) return;
  if (IsClipboardFormatAvailable(CF_DIB))
    if (HANDLE block = GetClipboardData(CF_DIB)) AddDibBlock(block);
}

void CWizardAddImagePage::OnScan() {
  LONG count = 0;
  IStream** streams = nullptr;
  const HRESULT hr = WiaWrap::AcquireImages(Window(), ui::Instance(), Wia::StiDeviceTypeScanner,
                                            Wia::WIA_DEVICE_DIALOG_SINGLE_IMAGE, 0,
                                            Wia::WiaImgFmt_MEMORYBMP, &count, &streams);
  // Only the first page becomes a picture; every stream goes back.
  std::vector<unsigned char> page;
  if (hr == S_OK && count > 0 && streams && streams[0]) page = ReadScannedPage(streams[0]);
  for (LONG i = 0; streams && i < count; ++i)
    if (streams[i]) streams[i]->Release();
  CoTaskMemFree(streams);
  if (page.empty()) return;
  std::vector<unsigned char> jpeg = PrepareScannedImage(page, kPelsPerMeter);
  if (jpeg.empty()) return;
  AddThumbnail(-1, std::make_shared<const std::vector<unsigned char>>(std::move(jpeg)),
               DescriptionText());
}

void CWizardAddImagePage::SetKind(int kind) {
  const int item = SelectedItem();
  if (item < 0) return;
  const int id = IdOfItemData(ItemDataAt(item));
  LVITEMW data = {};
  data.mask = LVIF_PARAM;
  data.iItem = item;
  data.lParam = ItemData(id, kind);
  ListView_SetItem(list_, &data);
  CoverImage picture;
  picture.id = id;
  if ((*this)->coverImages.Find(picture)) (*this)->coverImages.Get(id).kind = kind;
}

void CWizardAddImagePage::OnListKey(WORD key, bool control) {
  if (key == VK_APPS) {
    ShowContextMenu(ItemPoint(concerned_, false));
  } else if (key == 'V' && control) {
    PostMessageW(Window(), WM_COMMAND, kCommandPaste, 0);
  } else {
    CWizardPicturePage::OnListKey(key, control);
  }
}

void CWizardAddImagePage::OnRightClick(int item, POINT at) {
  concerned_ = item;
  ShowContextMenu(at);
}

void CWizardAddImagePage::ShowContextMenu(POINT at) {
  const int kind = concerned_ >= 0 ? static_cast<int>(ItemDataAt(concerned_) & 0xFF) : 0;
  HMENU menu = concerned_ >= 0 ? PictureMenu(&kind) : CreatePopupMenu();
  const bool canPaste = IsClipboardFormatAvailable(CF_DIB) != FALSE;
  AppendMenuW(menu, MF_STRING | (canPaste ? 0 : MF_GRAYED), kCommandPaste,
              Localizer::Translate(L"Paste\tCtrl+V{POPUP_PASTE}").c_str());
  TrackMenu(menu, at);
}

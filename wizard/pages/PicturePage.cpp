#include "wizard/pages/PicturePage.h"

#include <memory>
#include <vector>

#include "common/Localizer.h"
#include "engine/backup/BackupFormat.h"
#include "engine/backup/PictureFrame.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/pages/PictureFiles.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/resources/resource.h"

namespace {

// The image list's first room and its growth.
const int kInitialImages = 32;
const int kImageGrowth = 1;
// Thumbnails are never smaller, however small the list.
const int kSmallestSide = 16;

}  // namespace

CWizardPicturePage::CWizardPicturePage(const CWizardInfo& info, int id, const wchar_t* headerTitle,
                                       const wchar_t* headerSubtitle)
    : CWizardPageBase(info, id, headerTitle, headerSubtitle) {}

BOOL CWizardPicturePage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  InitPictureList();
  InitControls();
  RebuildImages();
  return TRUE;
}

int CWizardPicturePage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  RebuildImages();
  return 0;
}

LRESULT CWizardPicturePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  handled = false;
  LRESULT result = 0;
  if (message == WM_COMMAND) {
    handled = OnCommand(LOWORD(wParam), HIWORD(wParam));
  } else if (message == WM_NOTIFY) {
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    if (header.idFrom == IDC_PICTURES) OnListNotify(header, result, handled);
  }
  return result;
}

void CWizardPicturePage::InitPictureList() {
  list_ = GetDlgItem(Window(), IDC_PICTURES);
  RECT client = {};
  GetClientRect(list_, &client);
  // One row of square thumbnails with their labels above a scroll bar.
  side_ = client.bottom - GetSystemMetrics(SM_CYHSCROLL) - (25 * LOWORD(GetDialogBaseUnits())) / 8;
  if (side_ < kSmallestSide) side_ = kSmallestSide;
  images_ = ImageList_Create(side_, side_, ILC_COLOR32 | ILC_MASK, kInitialImages, kImageGrowth);
  ListView_SetImageList(list_, images_, LVSIL_NORMAL);
}

void CWizardPicturePage::ResetFolder() {
  const std::vector<std::wstring> recent = (*this)->mruPics.GetItems();
  folder_ = recent.empty() ? PictureFiles::PicturesFolder() : recent.front();
}

void CWizardPicturePage::EmptyList() {
  ListView_DeleteAllItems(list_);
  ImageList_RemoveAll(images_);
  concerned_ = -1;
}

void CWizardPicturePage::TakePicturesOfDiscs() {
  for (const BackupDisc& disc : (*this)->discs) {
    for (const TagFrame& frame : disc.pictures) {
      int kind = 0;
      std::wstring description;
      ID3::Bytes picture;
      if (!BackupFile::ParsePictureFrame(frame, kind, description, picture)) continue;
      (*this)->coverImages.Add(-1, std::make_shared<const ID3::Bytes>(std::move(picture)),
                               description, kind);
    }
  }
}

void CWizardPicturePage::ShowCollection() {
  CoverImageCollection& pictures = (*this)->coverImages;
  const std::vector<CoverImage> shown(pictures.begin(), pictures.end());
  for (const CoverImage& picture : shown) {
    const int slot = AddThumbnail(picture.id, picture.bytes, picture.description);
    if (slot >= 0) pictures.Get(picture.id).thumbnailSlot = slot;
  }
}

int CWizardPicturePage::AddThumbnail(int id, const PictureBytes& bytes,
                                     const std::wstring& description) {
  HBITMAP color = nullptr;
  HBITMAP mask = nullptr;
  const bool made = bytes && MakeDisplayBitmaps(*bytes, side_, side_, color, mask);
  int slot = -1;
  if (made && color && mask) {
    CoverImageCollection& pictures = (*this)->coverImages;
    slot = pictures.TakeFreeSlot();
    if (slot < 0 || !ImageList_Replace(images_, slot, color, mask))
      slot = ImageList_Add(images_, color, mask);
  }
  if (color) DeleteObject(color);
  if (mask) DeleteObject(mask);
  if (slot < 0) return -1;

  CoverImageCollection& pictures = (*this)->coverImages;
  int kind = 0;
  if (id < 0) {
    id = pictures.Add(slot, bytes, description, kind);
  } else {
    CoverImage known;
    known.id = id;
    if (pictures.Find(known)) kind = known.kind;
  }
  LVITEMW item = {};
  item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
  item.iItem = ListView_GetItemCount(list_);
  item.pszText = const_cast<wchar_t*>(description.c_str());
  item.iImage = slot;
  item.lParam = ItemData(id, kind);
  ListView_InsertItem(list_, &item);
  return slot;
}

LPARAM CWizardPicturePage::ItemDataAt(int item) const {
  LVITEMW data = {};
  data.mask = LVIF_PARAM;
  data.iItem = item;
  return ListView_GetItem(list_, &data) ? data.lParam : 0;
}

int CWizardPicturePage::SelectedItem() const {
  return ListView_GetNextItem(list_, -1, LVNI_SELECTED);
}

bool CWizardPicturePage::OnPictureCommand(int command) {
  if (command != kCommandDelete && command != kCommandExport && command != kCommandCopy)
    return false;
  if (concerned_ < 0 || concerned_ >= ListView_GetItemCount(list_)) return true;
  CoverImageCollection& pictures = (*this)->coverImages;
  CoverImage picture;
  picture.id = IdOfItemData(ItemDataAt(concerned_));
  if (command == kCommandDelete) {
    pictures.Remove(picture);
    ListView_DeleteItem(list_, concerned_);
    concerned_ = -1;
    return true;
  }
  if (!pictures.Find(picture) || !picture.bytes) return true;
  std::wstring path;
  if (command == kCommandExport) {
    if (ChoosePictureFile(true, path)) PictureFiles::WritePictureFile(path, *picture.bytes);
  } else {
    PictureFiles::CopyToClipboard(Window(), *picture.bytes);
  }
  return true;
}

void CWizardPicturePage::OnListNotify(const NMHDR& header, LRESULT& result, bool& handled) {
  handled = true;
  switch (header.code) {
    case LVN_ENDLABELEDITW: {
      const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
      result = FALSE;
      if (!edit.item.pszText) return;
      concerned_ = edit.item.iItem;
      CoverImage picture;
      picture.id = IdOfItemData(ItemDataAt(concerned_));
      if ((*this)->coverImages.Find(picture))
        (*this)->coverImages.Get(picture.id).description = edit.item.pszText;
      result = TRUE;
      return;
    }
    case LVN_KEYDOWN:
      concerned_ = SelectedItem();
      OnListKey(reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey, GetKeyState(VK_CONTROL) < 0);
      result = 0;
      return;
    case NM_RCLICK: {
      const auto& click = reinterpret_cast<const NMITEMACTIVATE&>(header);
      POINT at = click.ptAction;
      ClientToScreen(list_, &at);
      OnRightClick(click.iItem, at);
      result = 0;
      return;
    }
    default:
      handled = false;
  }
}

void CWizardPicturePage::OnListKey(WORD key, bool control) {
  if (key == VK_DELETE && concerned_ >= 0) {
    PostMessageW(Window(), WM_COMMAND, kCommandDelete, 0);
  } else if (key == VK_F2 && concerned_ >= 0) {
    ListView_EditLabel(list_, concerned_);
  } else if (key == 'C' && control) {
    PostMessageW(Window(), WM_COMMAND, kCommandCopy, 0);
  }
}

HMENU CWizardPicturePage::PictureMenu(const int* kind) const {
  static const wchar_t* const kKinds[] = {
      L"Unspecified{POPUP_IMGTYPE_UNKNOWN}", L"Cover Front{POPUP_IMGTYPE_FRONT}",
      L"Cover Back{POPUP_IMGTYPE_BACK}", L"Inlay{POPUP_IMGTYPE_INLAY}",
      L"Label{POPUP_IMGTYPE_LABEL}"};
  HMENU menu = CreatePopupMenu();
  AppendMenuW(menu, MF_STRING, kCommandDelete,
              Localizer::Translate(L"Delete image\tDel{POPUP_DELETE}").c_str());
  AppendMenuW(menu, MF_STRING, kCommandExport,
              Localizer::Translate(L"Export image...{POPUP_EXPORT}").c_str());
  if (kind) {
    HMENU kinds = CreatePopupMenu();
    for (int k = 0; k <= kCommandLastKind - kCommandFirstKind; ++k) {
      const std::wstring text = Localizer::Translate(kKinds[k]);
      MENUITEMINFOW item = {};
      item.cbSize = sizeof(item);
      item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_ID | MIIM_STRING;
      item.fType = MFT_STRING | MFT_RADIOCHECK;
      item.fState = k == *kind ? MFS_CHECKED : MFS_UNCHECKED;
      item.wID = kCommandFirstKind + k;
      item.dwTypeData = const_cast<wchar_t*>(text.c_str());
      InsertMenuItemW(kinds, k, TRUE, &item);
    }
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(kinds),
                Localizer::Translate(L"Image Type{POPUP_IMAGETYPE}").c_str());
  }
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_STRING, kCommandCopy,
              Localizer::Translate(L"Copy\tCtrl+C{POPUP_COPY}").c_str());
  return menu;
}

void CWizardPicturePage::TrackMenu(HMENU menu, POINT at) {
  TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, Window(), nullptr);
  DestroyMenu(menu);
}

POINT CWizardPicturePage::ItemPoint(int item, bool corner) const {
  RECT rect = {};
  if (item < 0 || !ListView_GetItemRect(list_, item, &rect, LVIR_BOUNDS))
    GetClientRect(list_, &rect);
  POINT at = corner ? POINT{rect.right, rect.bottom}
                    : POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
  ClientToScreen(list_, &at);
  return at;
}

bool CWizardPicturePage::ChoosePictureFile(bool save, std::wstring& path) const {
  SystemDialogs::FileDialog dialog;
  dialog.filter =
      save ? L"JPEG images|*.jpg;*jpeg|all files|*.*|{JPEG_FILTER}"
           : L"Image files|*.jpg;*jpeg;*.bmp;*.gif;*.tiff;*.tif;*.png|all files|*.*|{IMAGE_FILTER}";
  dialog.extension = L"jpg|{FTYPE_JPG}";
  dialog.folder = folder_;
  dialog.flags = save ? OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST : OFN_FILEMUSTEXIST;
  path = SystemDialogs::ChooseFile(Window(), dialog, save);
  return !path.empty();
}

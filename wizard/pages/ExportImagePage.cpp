#include "wizard/pages/ExportImagePage.h"

#include "common/Localizer.h"
#include "engine/backup/BackupNames.h"
#include "wizard/pages/PictureDialogs.h"
#include "wizard/pages/PictureFiles.h"
#include "wizard/resources/resource.h"

CWizardExportImagePage::CWizardExportImagePage(const CWizardInfo& info)
    : CWizardPicturePage(info, IDD_WIZ97_EXPORTIMAGE,
                         L"Export the images from your TAVRIN Back-up file to a "
                         L"Label-Editor...{EXPORTIMAGEPAGE_TITLE}",
                         L"Write the embedded images to a folder on your "
                         L"harddisk.{EXPORTIMAGEPAGE_SUBTITLE}") {}

BOOL CWizardExportImagePage::OnInitDialog() {
  Localizer::TranslateDialog(Window());
  InitPictureList();
  RebuildImages();
  return TRUE;
}

int CWizardExportImagePage::OnSetActive() {
  SetWizardButtons(PSWIZB_BACK | PSWIZB_NEXT);
  RebuildImages();
  return 0;
}

LRESULT CWizardExportImagePage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                          bool& handled) {
  handled = true;
  if (message == WM_COMMAND) {
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_EXPORT_ALL)
      OnExportAll();
    else
      handled = OnPictureCommand(LOWORD(wParam));
    return 0;
  }
  if (message == WM_NOTIFY) {
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    LRESULT result = 0;
    if (header.idFrom == IDC_PICTURES)
      OnListNotify(header, result, handled);
    else
      handled = false;
    return result;
  }
  handled = false;
  return 0;
}

void CWizardExportImagePage::RebuildImages() {
  ResetFolder();
  EmptyList();
  CoverImageCollection& pictures = (*this)->coverImages;
  // The thumbnails are made anew: no slot of the emptied image list is kept.
  pictures.ForgetSlots();
  // The pictures of another backup file than the one shown before replace
  // those; for the same file, deletions and new descriptions stay.
  if ((*this)->backupPath != shownFile_) {
    pictures.Clear();
    shownFile_ = (*this)->backupPath;
  }
  if (pictures.empty()) TakePicturesOfDiscs();
  ShowCollection();
}

void CWizardExportImagePage::OnExportAll() {
  std::wstring folder;
  if (!PictureDialogs::BrowseFolder(Window(), folder_, folder)) return;
  (*this)->mruPics.Add(folder);
  const std::wstring extension = Localizer::Translate(L"jpg{FTYPE_JPG}");
  for (const CoverImage& picture : (*this)->coverImages) {
    if (!picture.bytes) continue;
    const std::wstring path =
        folder + L"/" + BackupFile::FileNameOf(picture.description) + L"." + extension;
    // A file that cannot be created is passed over; a failed write ends the export.
    if (PictureFiles::WritePictureFile(path, *picture.bytes) == PictureFiles::WriteResult::kFailed)
      return;
  }
}

void CWizardExportImagePage::OnListKey(WORD key, bool control) {
  if (key == VK_APPS) {
    if (concerned_ >= 0) ShowContextMenu(ItemPoint(concerned_, true));
  } else {
    CWizardPicturePage::OnListKey(key, control);
  }
}

void CWizardExportImagePage::OnRightClick(int item, POINT at) {
  if (item < 0) return;
  concerned_ = item;
  ShowContextMenu(at);
}

void CWizardExportImagePage::ShowContextMenu(POINT at) { TrackMenu(PictureMenu(nullptr), at); }

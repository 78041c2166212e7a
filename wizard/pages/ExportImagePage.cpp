#include "wizard/pages/ExportImagePage.h"

#include "common/Localizer.h"
#include "engine/backup/BackupNames.h"
#include "wizard/pages/SystemDialogs.h"
#include "wizard/pages/PictureFiles.h"
#include "wizard/resources/resource.h"

CWizardExportImagePage::CWizardExportImagePage(const CWizardInfo& info)
    : CWizardPicturePage(info, IDD_WIZ97_EXPORTIMAGE,
                         L"Export the images from your TAVRIN Back-up file to a "
                         L"Label-Editor...{EXPORTIMAGEPAGE_TITLE}",
                         L"Write the embedded images to a folder on your "
                         L"harddisk.{EXPORTIMAGEPAGE_SUBTITLE}") {}

bool CWizardExportImagePage::OnCommand(int command, int code) {
  if (code == BN_CLICKED && command == IDC_EXPORT_ALL) {
    OnExportAll();
    return true;
  }
  return CWizardPicturePage::OnCommand(command, code);
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
  if (!SystemDialogs::BrowseFolder(Window(), folder_, folder)) return;
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

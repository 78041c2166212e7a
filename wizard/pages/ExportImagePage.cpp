#include "wizard/pages/ExportImagePage.h"

#include <algorithm>

#include "common/Localizer.h"
#include "engine/backup/BackupNames.h"
#include "wizard/TaskDialog.h"
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

// Whether the files of these names, already in the folder, may be replaced.
bool CWizardExportImagePage::MayReplace(const std::vector<std::wstring>& names) const {
  std::wstring list;
  for (const std::wstring& name : names) list += name + L"\n";
  TaskDialogDesc question;
  question.title = Localizer::Translate(L"Velmora TAVRIN Wizard...{WINDOWTITLE}");
  question.mainInstruction = Localizer::Translate(
      L"These files are already in the folder. Do you want to replace them?{ASK_REPLACE_PICTURES}");
  question.content = list;
  question.mainIcon = 0xFFFF;
  question.flags = TDF_USE_COMMAND_LINKS;
  question.buttons = {
      {IDYES, Localizer::Translate(
                  L"Replace\nThe pictures take the place of these files{TASK_PICTURES_REPLACE}")},
      {IDNO, Localizer::Translate(L"Keep\nThese files stay as they are; only the other pictures "
                                  L"are written{TASK_PICTURES_KEEP}")}};
  question.messageBoxText =
      question.mainInstruction + L"\n\n" + list + L"\n" +
      Localizer::Translate(
          L"Select 'Yes' to replace them or 'No' to keep them.{MBASK_REPLACE_PICTURES}");
  question.messageBoxType = MB_YESNO | MB_ICONEXCLAMATION;
  return ShowTaskDialog(Window(), question) == IDYES;
}

void CWizardExportImagePage::OnExportAll() {
  std::wstring folder;
  if (!SystemDialogs::BrowseFolder(Window(), folder_, folder)) return;
  (*this)->mruPics.Add(folder);
  const std::wstring extension = Localizer::Translate(L"jpg{FTYPE_JPG}");
  // The files of the folder that the export would replace, asked about once.
  struct Target {
    std::wstring path;
    const CoverImage* picture;
    bool existed;
  };
  std::vector<Target> targets;
  std::vector<std::wstring> existing;
  for (const CoverImage& picture : (*this)->coverImages) {
    if (!picture.bytes) continue;
    const std::wstring name = BackupFile::FileNameOf(picture.description) + L"." + extension;
    const std::wstring path = folder + L"/" + name;
    const bool existed = PictureFiles::FileExists(path);
    if (existed && std::find(existing.begin(), existing.end(), name) == existing.end())
      existing.push_back(name);
    targets.push_back({path, &picture, existed});
  }
  const bool replace = existing.empty() || MayReplace(existing);
  for (const Target& target : targets) {
    if (target.existed && !replace) continue;
    // A file that cannot be created is passed over; a failed write ends the export.
    if (PictureFiles::WritePictureFile(target.path, *target.picture->bytes) ==
        PictureFiles::WriteResult::kFailed)
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

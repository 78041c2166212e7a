#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include <boost/shared_ptr.hpp>

#include "common/FolderAliasList.h"
#include "common/MRUList.h"
#include "engine/backup/DiscRecords.h"
#include "engine/cd/CdDevice.h"
#include "wizard/coverart/CoverImage.h"

class ExtracterData;

// The operation the user chose on the operation page.
enum WizardOperation : int32_t { OpNone = 0, OpBackup = 1, OpExtract = 2, OpRestore = 3 };

// The shared state of the wizard: every choice of the user, what one page
// hands to a later one and what a job takes when it starts. The sheet, each
// page and each job hold a handle; all handles share one record, which lives
// until the last handle goes. The record has no lock: it is used on the
// user-interface thread only, except that the ripper reads coverImages while
// no page can change it.
class CWizardInfo {
 public:
  class CWizardInfoData {
   public:
    // Loads the stored settings and the known folders.
    CWizardInfoData();
    ~CWizardInfoData();
    CWizardInfoData(const CWizardInfoData&) = delete;
    CWizardInfoData& operator=(const CWizardInfoData&) = delete;

    HWND sheetWindow = nullptr;
    int32_t operation = OpNone;
    int32_t newerVersion = 0;                     // 0..4, from the update check
    const CdDevice::DriveEntry* drive = nullptr;  // into the source-drive page's list
    DiscInfo disc;
    std::wstring backupPath;
    int32_t quality = 255;
    std::vector<BackupDisc> discs;
    std::vector<int32_t> trackIndices;
    std::vector<std::wstring> outputPaths;
    std::vector<int32_t> discQueue;
    int32_t discsChosen = 0;
    int32_t nameFormat = 0;
    std::wstring writeEngine;
    int32_t writeMode = 0;  // CD-Text: 0 as the recorder allows, 1 off, 2 on
    std::wstring imagePath;
    int32_t restoreTarget = 0;  // 0: disc-image file, else the recorder's drive number
    bool eraseFirst = false;
    bool cdTextCapable = false;
    Settings::MRUList mruBackup;
    Settings::MRUList mruExport;
    Settings::MRUList mruPics;
    Settings::MRUList mruDiscImage;
    boost::shared_ptr<ExtracterData> extracter;
    FolderAliasList folderAliases;
    CoverImageCollection coverImages;
    std::wstring resultMessage;
  };

  // A new record.
  CWizardInfo();
  CWizardInfoData* operator->() const { return data_.get(); }

  // Writes the settings chosen in the wizard (only ever at Finish) and tells
  // about a newer version; always true, so that Finish always closes.
  bool SaveSettings(HWND owner);

  // Where Next and Back lead from a page for the chosen operation: a page id,
  // or 0 for the next or previous page in the sheet's order (Navigation.cpp).
  int NextPageId(int pageId) const;
  int PrevPageId(int pageId) const;
  // The help file's topic of a page, and the pop-up text of one control
  // (Help.cpp).
  void ShowPageHelp(int pageId, int controlId = 0) const;
  void ShowContextHelp(const HELPINFO& help) const;

 private:
  boost::shared_ptr<CWizardInfoData> data_;
};

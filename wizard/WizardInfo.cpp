#include "wizard/WizardInfo.h"

#include <shlobj.h>

#include "common/Localizer.h"
#include "common/Settings.h"

namespace {

const wchar_t kMruBackup[] = L"mruBackup\\file";
const wchar_t kMruExport[] = L"mruExport\\file";
const wchar_t kMruPics[] = L"mruPics\\file";
const wchar_t kMruDiscImage[] = L"mruDiscImage\\file";
const wchar_t kQuality[] = L"Quality";
const wchar_t kNameFormat[] = L"NameFormat";
const wchar_t kWriteEngine[] = L"WriteEngine";
const wchar_t kWriteMode[] = L"WriteMode";

// The `machine` flag of the settings calls: the wizard writes the user's own settings.
const bool kMachine = false;

enum FolderMask { kPictures = 1, kMusic = 2, kGeneral = 4 };
struct KnownFolder {
  int id;
  const wchar_t* name;
  int mask;
};
const KnownFolder kKnownFolders[] = {
    {CSIDL_MYMUSIC, L"My Music{MY_MUSIC}", kMusic},
    {CSIDL_COMMON_MUSIC, L"Public Music{PUBLIC_MUSIC}", kMusic},
    {CSIDL_MYPICTURES, L"My Pictures{MY_PICTURES}", kPictures},
    {CSIDL_COMMON_PICTURES, L"Public Pictures{PUBLIC_PICTURES}", kPictures},
    {CSIDL_PERSONAL, L"My Documents{MY_DOCUMENTS}", kGeneral},
    {CSIDL_COMMON_DOCUMENTS, L"Public Documents{PUBLIC_DOCUMENTS}", kGeneral},
    {CSIDL_DESKTOP, L"Desktop{DESKTOP}", kGeneral},
};

}  // namespace

CWizardInfo::CWizardInfoData::CWizardInfoData()
    : mruBackup(10, false), mruExport(10, true), mruPics(1, true), mruDiscImage(10, true) {
  mruBackup.Load(kMruBackup);
  mruExport.Load(kMruExport);
  mruPics.Load(kMruPics);
  mruDiscImage.Load(kMruDiscImage);
  // Stored values are taken as they are; the pages that show them clamp them.
  int value = 0;
  if (Settings::GetInt(kQuality, value)) quality = value;
  if (Settings::GetInt(kNameFormat, value)) nameFormat = value;
  Settings::GetString(kWriteEngine, writeEngine);
  if (Settings::GetInt(kWriteMode, value)) writeMode = value;
  for (const KnownFolder& f : kKnownFolders)
    folderAliases.Add(f.id, Localizer::Translate(f.name), f.mask);
}

CWizardInfo::CWizardInfoData::~CWizardInfoData() = default;

CWizardInfo::CWizardInfo() : data_(new CWizardInfoData) {}

bool CWizardInfo::SaveSettings(HWND owner) {
  data_->mruBackup.Save(kMruBackup, kMachine);
  data_->mruExport.Save(kMruExport, kMachine);
  data_->mruPics.Save(kMruPics, kMachine);
  data_->mruDiscImage.Save(kMruDiscImage, kMachine);
  Settings::SetInt(kQuality, data_->quality, kMachine);
  Settings::SetInt(kNameFormat, data_->nameFormat, kMachine);
  if (data_->newerVersion != 0) {
    MessageBoxW(owner,
                Localizer::Translate(L"There is a newer version of TAVRIN available\nPlease visit "
                                     L"www.velmora.com to get it.{NEWER_VERSION}")
                    .c_str(),
                Localizer::Translate(L"Velmora TAVRIN Wizard...{WINDOWTITLE}").c_str(),
                MB_ICONINFORMATION);
  }
  return true;
}

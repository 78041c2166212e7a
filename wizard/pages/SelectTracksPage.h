#pragma once
#include <string>
#include <utility>
#include <vector>

#include "wizard/pages/PageBase.h"

// The extraction's choice of songs: every track of every disc of the backup
// file with a check box, the destination folder and the file-name format.
// The page starts the extraction engine's frame scan as soon as it becomes
// active, so that the file is indexed while the user chooses; Next hands the
// chosen songs to the extraction and, into an empty folder, writes a playlist
// and the front cover as the folder's picture.
class CWizardSelectTracksPage : public CWizardPageBase {
 public:
  explicit CWizardSelectTracksPage(const CWizardInfo& info);

  // The file name of one song in one of the fourteen formats (7..13 are the
  // WAV ones), with the characters file names cannot hold made full stops.
  static std::wstring MakeTrackFileName(int format, const std::wstring& number,
                                        const std::wstring& album, const std::wstring& artist,
                                        const std::wstring& title);
  // Fills the wizard state's extraction lists from the checked tracks;
  // false when no track is checked or the destination folder is unusable.
  bool CollectSelection();

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  int OnWizardBack() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  struct Item {
    int disc;
    int track;
  };

  void SetUpControls();
  void Fill();
  void FillTracks();
  void FillFolders();
  void StartScan();
  void StopScan();
  void CountChecked();
  void UpdateButtons() const;
  void Browse();
  std::wstring DestinationFolder() const;
  void WriteFolderExtras(const std::wstring& folder) const;

  HWND list_ = nullptr;
  HWND folders_ = nullptr;
  HWND formats_ = nullptr;
  std::vector<Item> items_;
  std::wstring folder_;
  int checked_ = 0;
  bool filling_ = false;  // the list is being rebuilt: its changes are not counted
};

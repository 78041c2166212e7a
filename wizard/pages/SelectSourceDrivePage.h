#pragma once
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <vector>

#include "engine/cd/CdDevice.h"
#include "wizard/dbhost/DiscLookup.h"
#include "wizard/pages/PageBase.h"

// The drive whose disc is to be backed up: the optical drives with their
// icons, the artist and title of the selected drive's disc as the lookup
// thread finds them, discs coming and going. Next hands the drive and the
// disc's texts to the wizard state and skips the track editor when the
// database knew the disc (unless Shift is held).
class CWizardSelectSourceDrivePage : public CWizardPageBase {
 public:
  using Data_t = DiscLookup::Data_t;
  // The timer of the refresh two seconds after the page's activation and each
  // volume change; a WM_TIMER with it refreshes at once and ends the wait.
  static constexpr UINT_PTR kRefreshTimer = 0x12345;

  explicit CWizardSelectSourceDrivePage(const CWizardInfo& info);
  ~CWizardSelectSourceDrivePage() override;

  // A volume arrived or went away.
  void OnDeviceChange(const DEV_BROADCAST_HDR* header);
  void UpdatePage();
  LRESULT OnLookupNotify(WPARAM code);

 private:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  BOOL OnKillActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void Refresh(const std::vector<CdDevice::DriveEntry>& drives);
  void StartTimer();
  // The slot of the selected item; null without a selection. Under the mutex.
  CdDevice::DriveEntry* SelectedSlot() const;
  void SetLabels(const std::wstring& artist, const std::wstring& title) const;
  void ShowLookupTexts(const DiscLookup::Entry& entry) const;
  bool CommitSelection();
  void ChooseMatch();

  DiscLookup lookup_;
  bool active_ = false;
  bool choosing_ = false;
  UINT_PTR timerId_ = 0;
  HWND combo_ = nullptr;
  HIMAGELIST images_ = nullptr;
  // The disc the wizard state's texts were taken for: the drive's slot is
  // overwritten when another disc is put in.
  std::vector<unsigned char> discToc_;
};

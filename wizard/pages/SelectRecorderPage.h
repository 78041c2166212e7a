#pragma once
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <string>
#include <vector>

#include "wizard/pages/PageBase.h"
#include "wizard/pages/RecorderMedia.h"

// Where the current disc of a restore goes: one of the recorders that write
// raw CDs, or a disc image (a .cue sheet beside a .bin file). Shown once per
// disc of the restore queue. The status line tells whether the medium in the
// chosen recorder takes the disc; the media are looked at again two seconds
// after every activation and volume change.
class CWizardSelectRecorderPage : public CWizardPageBase {
 public:
  // The timer of the look at the media two seconds after the page's activation
  // and each volume change; a WM_TIMER with it looks at once and ends the wait.
  static constexpr UINT_PTR kRefreshTimer = 0x12346;

  explicit CWizardSelectRecorderPage(const CWizardInfo& info);

  // A volume arrived or went away.
  void OnDeviceChange(const DEV_BROADCAST_HDR* header);

 protected:
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  BOOL OnKillActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  using Recorders = std::vector<ComPtr<IDiscRecorder2>>;

  void InitControls();
  void PrepareForDisc();
  void FillImagePaths();
  // The index of the recorder's list item; kAppend for a new one, or a
  // RecorderMedia result for a recorder left out.
  int ProbeRecorder(const ComPtr<IDiscRecorder2>& recorder, std::wstring& text, int& letter);
  void RefreshRecorders(const Recorders& recorders);
  void UpdateMediaState();
  void OnTimer();
  void OnEject();
  void OnImagePathSelect();
  bool CommitTarget();
  // True when no file of the disc image exists, or the user lets the job
  // replace those that do.
  bool MayReplaceImageFiles(const std::wstring& cuePath);
  void EmptyRecorderList();
  void ShowImagePath(bool show) const;
  int SelectedLetter() const;
  void StartTimer() const;

  RecorderInfo infos_[RecorderMedia::kLetters];
  HIMAGELIST images_ = nullptr;
  HWND recorders_ = nullptr;
  HWND imagePaths_ = nullptr;
  HWND eject_ = nullptr;
  std::size_t disc_ = 0;
  std::wstring defaultName_;
  std::wstring imageFolder_;
  bool active_ = false;
};

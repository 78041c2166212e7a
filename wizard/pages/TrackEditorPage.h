#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

#include "wizard/pages/PageBase.h"

// The texts of the disc to be backed up, typed or corrected by the user:
// album, artist, one genre and one year for the disc, title and artist of
// every track in rows of edits, four in view at a time. Next takes them into
// the wizard state and submits complete texts that the database did not
// deliver (any texts while Shift is held).
class CWizardTrackEditorPage : public CWizardPageBase {
 public:
  explicit CWizardTrackEditorPage(const CWizardInfo& info);

 private:
  // Where one row in view stands: number, title edit, artist edit.
  using RowSlot = std::array<RECT, 3>;

  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void SetUpRows();
  void CreateRow(unsigned row) const;
  void ShowDisc();
  void Scroll(int code, int position);
  void MoveTop(unsigned newTop);
  void PlaceRow(unsigned row, const RECT* slot) const;
  void BringIntoView(unsigned row, HWND edit);
  void CarryDiscArtist();
  bool Commit();
  std::wstring Text(int control, int room) const;
  unsigned MaxTop() const { return rows_ > kRowsInView ? rows_ - kRowsInView : 0; }

  static const unsigned kRowsInView = 4;
  unsigned rows_ = 0;
  unsigned top_ = 0;
  std::wstring previousArtist_;
  std::vector<RowSlot> slots_;
};

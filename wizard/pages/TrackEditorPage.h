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
// deliver (any texts while Shift is held). Back keeps the user's edits; texts
// the page only filled in ("Track n") are not taken for the user's.
class CWizardTrackEditorPage : public CWizardPageBase {
 public:
  explicit CWizardTrackEditorPage(const CWizardInfo& info);

 private:
  // Where one row in view stands: number, title edit, artist edit.
  using RowSlot = std::array<RECT, 3>;

  BOOL OnInitDialog() override;
  int OnSetActive() override;
  int OnWizardNext() override;
  int OnWizardBack() override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  void SetUpRows();
  void CreateRow(unsigned row) const;
  void ShowDisc();
  void Scroll(int code, int position);
  void MoveTop(unsigned newTop);
  void PlaceRow(unsigned row, const RECT* slot) const;
  void BringIntoView(unsigned row, HWND edit);
  void CarryDiscArtist();
  // What the controls show, in a fixed order.
  std::vector<std::wstring> Shown() const;
  // The key of the chosen genre; empty when none is.
  std::wstring SelectedGenre() const;
  // The controls' texts into the wizard state, with the genre's key as genre
  // and category when one is chosen.
  void TakeTexts(const std::wstring& key);
  bool Commit();
  std::wstring Text(int control, int room) const;
  unsigned MaxTop() const { return rows_ > kRowsInView ? rows_ - kRowsInView : 0; }

  static const unsigned kRowsInView = 4;
  unsigned rows_ = 0;
  unsigned top_ = 0;
  std::wstring previousArtist_;
  std::vector<RowSlot> slots_;
  // The wizard state's disc before the page filled it in, and what the
  // controls showed then.
  DiscInfo before_;
  std::vector<std::wstring> shown_;
};

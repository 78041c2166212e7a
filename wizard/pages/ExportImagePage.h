#pragma once
#include <string>
#include <vector>

#include "wizard/pages/PicturePage.h"

// The cover pictures of the backup file to restore, to be written out for a
// label editor: all into a folder under their descriptions, one under a
// chosen name, or one to the clipboard. Pictures taken out of the list stay
// out for the rest of the run; the backup file itself is never changed.
class CWizardExportImagePage : public CWizardPicturePage {
 public:
  explicit CWizardExportImagePage(const CWizardInfo& info);

 private:
  LPARAM ItemData(int id, int) const override { return id; }
  int IdOfItemData(LPARAM data) const override { return static_cast<int>(data); }
  void OnListKey(WORD key, bool control) override;
  void ShowContextMenu(POINT at) override;
  void OnRightClick(int item, POINT at) override;

  void RebuildImages() override;
  bool OnCommand(int command, int code) override;
  void OnExportAll();
  bool MayReplace(const std::vector<std::wstring>& names) const;

  // The backup file whose pictures the collection holds.
  std::wstring shownFile_;
};

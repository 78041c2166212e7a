#pragma once
#include <ole2.h>

#include "wizard/coverart/Picture.h"
#include "wizard/pages/PicturePage.h"

// The cover pictures a backup will carry: those already in the target backup
// file, and those the user adds from files, the clipboard, drag and drop or a
// scanner, each stored as a JPEG with a kind and a description. Holding Shift
// while adding cleans a picture up as a scanned cover (straightened, cropped,
// brought to 96 dpi) instead of encoding it as it is.
class CWizardAddImagePage : public CWizardPicturePage {
 public:
  explicit CWizardAddImagePage(const CWizardInfo& info);

 protected:
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  LPARAM ItemData(int id, int kind) const override { return id * 256 + (kind & 0xFF); }
  int IdOfItemData(LPARAM data) const override { return static_cast<int>(data / 256); }
  void OnListKey(WORD key, bool control) override;
  void ShowContextMenu(POINT at) override;
  void OnRightClick(int item, POINT at) override;

  void InitControls() override;
  void InitDescriptions();
  void RebuildImages() override;
  bool OnCommand(int command, int code) override;
  std::wstring DescriptionText() const;
  bool AddPicture(const SharedBytes& dib, const std::wstring& path, bool shift);
  void AddFromFile(const std::wstring& path, bool shift);
  void AddDibBlock(HGLOBAL block);
  void OnAddFile();
  void OnDropFiles(WPARAM data, LPARAM kind);
  void OnPaste();
  void OnScan();
  void SetKind(int kind);

  HWND descriptions_ = nullptr;
  IDropTarget* dropTarget_ = nullptr;
};

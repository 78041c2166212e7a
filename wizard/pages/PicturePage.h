#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "wizard/pages/PageBase.h"

// Command ids that the two picture pages share, menus and keys alike.
enum PictureCommand {
  kCommandDelete = 32775,
  kCommandExport = 32776,
  kCommandCopy = 32777,
  kCommandPaste = 32778,
  kCommandFirstKind = 32779,  // kinds 0 .. 4: 32779 .. 32783
  kCommandLastKind = 32783,
};

// What the add-images and export-images pages share: the list of the wizard
// state's cover pictures as thumbnails, the current picture folder, and the
// commands that work on one picture (delete, export as a JPEG file, copy to
// the clipboard, rename by editing its label).
class CWizardPicturePage : public CWizardPageBase {
 protected:
  CWizardPicturePage(const CWizardInfo& info, int id, const wchar_t* headerTitle,
                     const wchar_t* headerSubtitle);

  // Translates the dialog, sets up the list and the page's own controls and
  // shows the pictures; every activation shows them anew.
  BOOL OnInitDialog() override;
  int OnSetActive() override;
  // The list's notifications and the commands.
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
  virtual void InitControls() {}
  virtual void RebuildImages() = 0;
  // A command or a button's notification; false when not the page's.
  virtual bool OnCommand(int command, int code) {
    return code == BN_CLICKED && OnPictureCommand(command);
  }

  // The picture list with its thumbnail image list.
  void InitPictureList();
  // The newest folder of the recent pictures folders, else the user's
  // pictures folder.
  void ResetFolder();
  // Empties the list and the image list.
  void EmptyList();
  // Adds every picture of the discs of the backup file to the collection.
  void TakePicturesOfDiscs();
  // Shows every picture of the collection, keeping its thumbnail slot.
  void ShowCollection();
  // Makes the thumbnail and the list item of a picture; id -1 adds a new
  // picture of kind 0 to the collection. The slot, or -1 when the picture
  // cannot be shown (and nothing was added).
  int AddThumbnail(int id, const PictureBytes& bytes, const std::wstring& description);

  // The item data of a picture's list item, and the picture id it holds.
  virtual LPARAM ItemData(int id, int kind) const = 0;
  virtual int IdOfItemData(LPARAM data) const = 0;
  LPARAM ItemDataAt(int item) const;
  int SelectedItem() const;

  // Commands on the concerned item; false for other commands.
  bool OnPictureCommand(int command);
  // The list's notifications.
  void OnListNotify(const NMHDR& header, LRESULT& result, bool& handled);
  // Keys on the list: Delete, F2 and Ctrl+C here; the pages add theirs.
  virtual void OnListKey(WORD key, bool control);
  // The context menu for the concerned item at a point of the screen.
  virtual void ShowContextMenu(POINT at) = 0;
  // A right click on the list at a point of the screen, on `item` or -1.
  virtual void OnRightClick(int item, POINT at) = 0;
  // Delete, export, the kinds with the mark on `kind` (none when null) and
  // copy, for the concerned item.
  HMENU PictureMenu(const int* kind) const;
  void TrackMenu(HMENU menu, POINT at);
  // The middle of an item (or of the list for -1), or its bottom right corner.
  POINT ItemPoint(int item, bool corner) const;
  // The open dialog over image files or the save dialog for a JPEG file,
  // starting in the current picture folder with an empty name; false when the
  // user cancelled.
  bool ChoosePictureFile(bool save, std::wstring& path) const;

  HWND list_ = nullptr;
  HIMAGELIST images_ = nullptr;
  std::wstring folder_;
  int side_ = 0;
  int concerned_ = -1;
};

#include "wizard/HelpIds.h"

#include "wizard/resources/resource.h"

namespace {

// The dialog whose pop-up texts the first track row and the disc artist of
// the source-drive page share.
const int kTrackTextsDialog = 201;

struct Exception {
  int dialog;
  int control;
  int formedWith;  // 0: no help id
};

const Exception kExceptions[] = {
    {IDD_WIZ97_SELECTSOURCEDRIVE, IDC_TITLE, 0},
    {IDD_WIZ97_SELECTDESTFILE, IDC_TITLE, 0},
    {IDD_WIZ97_SELECTMP3, IDC_TITLE, 0},
    {IDD_WIZ97_ADDIMAGE, IDC_ADD_FILE, 0},
    {IDD_WIZ97_ADDIMAGE, IDC_ADD_SCAN, 0},
    {IDD_WIZ97_ADDIMAGE, IDC_IMAGE_TYPE, 0},
    {IDD_WIZ97_EXPORTIMAGE, IDC_EXPORT_ALL, 0},
    {IDD_WIZ97_SELECTRECORDER, IDC_RECORDER_HEADING, 0},
    {IDD_WIZ97_SELECTRECORDER, IDC_IMAGE_LABEL, 0},
    {IDD_WIZ97_SELECTRECORDER, IDC_DISC_INFO, 0},
    {IDD_WIZ97_SELECTSOURCEDRIVE, IDC_DISC_ARTIST, kTrackTextsDialog},
    {IDD_WIZ97_TRACKEDITOR, IDC_TRACK_NUMBER, kTrackTextsDialog},
    {IDD_WIZ97_TRACKEDITOR, IDC_TRACK_TITLE, kTrackTextsDialog},
    {IDD_WIZ97_TRACKEDITOR, IDC_TRACK_ARTIST, kTrackTextsDialog},
    {IDD_WIZ97_EXPORTIMAGE, IDC_PICTURES, IDD_WIZ97_ADDIMAGE},
};

// Rows after the first of the track editor: 1102..1199, 1202..1299, 1302..1399.
bool IsLaterTrackRow(int control) {
  const int column = control / 100;
  return (column == 11 || column == 12 || column == 13) && control % 100 != 1;
}

}  // namespace

DWORD WizardHelpId(int dialogId, int controlId) {
  if (dialogId == IDD_WIZ97_WELCOME || dialogId == IDD_WIZ97_COMPLETE) return 0;
  // Controls without an id of their own (labels) have no pop-up text.
  if (controlId <= 0 || controlId == 0xFFFF) return 0;
  if (dialogId == IDD_WIZ97_TRACKEDITOR && IsLaterTrackRow(controlId)) return 0;
  for (const Exception& e : kExceptions)
    if (e.dialog == dialogId && e.control == controlId)
      return e.formedWith ? MakeHelpId(e.formedWith, controlId) : 0;
  return MakeHelpId(dialogId, controlId);
}

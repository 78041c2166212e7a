#include "wizard/WizardInfo.h"
#include "wizard/resources/resource.h"

namespace {

bool FirstDiscHasPictures(const CWizardInfo::CWizardInfoData& state) {
  return !state.discs.empty() && !state.discs.front().pictures.empty();
}

bool SeveralDiscs(const CWizardInfo::CWizardInfoData& state) { return state.discs.size() > 1; }

}  // namespace

int CWizardInfo::NextPageId(int pageId) const {
  const CWizardInfoData& state = *data_;
  switch (pageId) {
    case IDD_WIZ97_WELCOME:
      return IDD_WIZ97_SELECTOP;
    case IDD_WIZ97_SELECTOP:
      switch (state.operation) {
        case OpBackup:
          return IDD_WIZ97_SELECTSOURCEDRIVE;
        case OpExtract:
        case OpRestore:
          return IDD_WIZ97_SELECTMP3;
        default:
          return IDD_WIZ97_SELECTOP;
      }
    case IDD_WIZ97_SELECTSOURCEDRIVE:
      return IDD_WIZ97_SELECTDESTFILE;
    case IDD_WIZ97_SELECTDESTFILE:
      return IDD_WIZ97_ADDIMAGE;
    case IDD_WIZ97_SELECTMP3:
      if (state.operation == OpExtract) return IDD_WIZ97_SELECTTRACKS;
      if (state.operation != OpRestore) return IDD_WIZ97_COMPLETE;
      if (state.discs.empty()) return 0;
      if (FirstDiscHasPictures(state)) return IDD_WIZ97_EXPORTIMAGE;
      return SeveralDiscs(state) ? IDD_WIZ97SELDISCS : IDD_WIZ97_SELECTRECORDER;
    case IDD_WIZ97_EXPORTIMAGE:
      return SeveralDiscs(state) ? IDD_WIZ97SELDISCS : IDD_WIZ97_SELECTRECORDER;
    case IDD_WIZ97SELDISCS:
      return IDD_WIZ97_SELECTRECORDER;
    case IDD_WIZ97_SELECTTRACKS:
    case IDD_WIZ97_ADDIMAGE:
    case IDD_WIZ97_SELECTRECORDER:
      return IDD_WIZ97_PROGRESS;
    case IDD_WIZ97_PROGRESS:
      return IDD_WIZ97_COMPLETE;
    default:
      return 0;
  }
}

int CWizardInfo::PrevPageId(int pageId) const {
  const CWizardInfoData& state = *data_;
  switch (pageId) {
    case IDD_WIZ97_SELECTSOURCEDRIVE:
    case IDD_WIZ97_SELECTMP3:
    case IDD_WIZ97_PROGRESS:
    case IDD_WIZ97_COMPLETE:
      return IDD_WIZ97_SELECTOP;
    case IDD_WIZ97_SELECTDESTFILE:
    case IDD_WIZ97_TRACKEDITOR:
      return IDD_WIZ97_SELECTSOURCEDRIVE;
    case IDD_WIZ97_ADDIMAGE:
      return IDD_WIZ97_SELECTDESTFILE;
    case IDD_WIZ97_SELECTRECORDER:
      if (SeveralDiscs(state)) return IDD_WIZ97SELDISCS;
      return FirstDiscHasPictures(state) ? IDD_WIZ97_EXPORTIMAGE : IDD_WIZ97_SELECTMP3;
    case IDD_WIZ97SELDISCS:
      return FirstDiscHasPictures(state) ? IDD_WIZ97_EXPORTIMAGE : IDD_WIZ97_SELECTMP3;
    case IDD_WIZ97_SELECTTRACKS:
    case IDD_WIZ97_EXPORTIMAGE:
      return IDD_WIZ97_SELECTMP3;
    default:
      return 0;
  }
}

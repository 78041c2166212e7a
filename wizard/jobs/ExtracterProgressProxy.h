#pragma once
#include <optional>
#include <string>

#include "engine/jobs/ExtracterData.h"
#include "wizard/WizardInfo.h"
#include "wizard/jobs/Action.h"

// The extraction as the progress page drives it. It owns no thread: the
// extraction engine that the select-tracks page made and left in the wizard
// state does the work, and this job hands it the chosen songs and stops it.
class ExtracterProgressProxy : public Action {
 public:
  // Name formats from this one on write WAV files; the others copy MP3 frames.
  static const int32_t kFirstWaveFormat = 7;

  // The engine's progress range: 0 when it did not accept the songs.
  int Start(HWND notify, CWizardInfo info) override {
    if (!info_) {
      info_ = info;
      if (info->extracter)
        info->extracter->StartExtraction(notify, info->trackIndices, info->outputPaths,
                                         info->discQueue, info->nameFormat < kFirstWaveFormat);
    }
    return (*info_)->extracter ? (*info_)->extracter->ProgressRange() : 0;
  }

  // Stops the engine; after a successful extraction the wizard state's result
  // text, when still empty, gets the engine's success message.
  bool Finish() override {
    if (!info_) return succeeded_;
    const CWizardInfo info = *info_;  // keeps the record for this call
    info_.reset();
    if (info->extracter) {
      succeeded_ = info->extracter->Succeeded();
      info->extracter->Stop(info->resultMessage);
    }
    return succeeded_;
  }

  void Continue() override {}
  // The extraction's text reaches the page through the wizard state instead.
  std::wstring Message() override { return std::wstring(); }

 private:
  std::optional<CWizardInfo> info_;
  bool succeeded_ = false;
};

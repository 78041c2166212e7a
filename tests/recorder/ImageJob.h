#pragma once
#include <windows.h>

#include "recorder/ImageRecorderData.h"

// The wizard state does not take part in these tests: the job is driven
// through Setup and StartThread, which its Start calls.
class CWizardInfo {};

class ImageJob final : public ImageRecorderData {
 public:
  int Start(HWND, CWizardInfo) override { return 0; }
};

#pragma once
#include "engine/cd/imapi2/Imapi2.h"

namespace Recorder {

// The program's own raw (disc-at-once) CD writer: it drives the recorder with
// MMC commands and hands the sectors to IMAPI2's write engine. One reference;
// null when it cannot be made.
IDiscFormat2RawCD* CreateRawCdWriter();

}  // namespace Recorder

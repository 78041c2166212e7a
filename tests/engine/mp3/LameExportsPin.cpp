// The entry points of the LAME library, as its own header declares them for
// callers, are cdecl: the convention the program's BladeEnc layer
// (engine/mp3/BladeEnc.h) calls them with.
#include <windows.h>

#include "BladeMP3EncDLL.h"
#include "common/CallingConvention.h"

PIN_CDECL(BEINITSTREAM);
PIN_CDECL(BEENCODECHUNK);
PIN_CDECL(BEDEINITSTREAM);
PIN_CDECL(BECLOSESTREAM);
PIN_CDECL(BEVERSION);
PIN_CDECL(BEWRITEVBRHEADER);
PIN_CDECL(BEWRITEINFOTAG);

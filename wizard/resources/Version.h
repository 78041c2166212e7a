#pragma once
// The product version, readable by the resource compiler as well.
#define TAVRIN_VERSION_MAJOR 1
#define TAVRIN_VERSION_MINOR 0
#define TAVRIN_VERSION_BUILD 117
#define TAVRIN_VERSION_REVISION 0
#define TAVRIN_VERSION_TEXT "1.0.117.0"

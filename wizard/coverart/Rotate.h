#pragma once
#include "wizard/coverart/DibResize.h"

namespace DIB {

// A bottom-up RGB24 DIB turned by `degrees` (positive turns clockwise on
// screen) with bilinear interpolation, on a canvas grown to hold the whole
// turned picture; the uncovered corners take the grey value `background`.
// Empty when too large.
Bytes Rotate24(const Bytes& dib, float degrees, unsigned char background);

}  // namespace DIB

#pragma once
#include <windows.h>

#include <vector>

// The packed 24-bit DIB as a JPEG file at quality 80, with the DIB's resolution
// as its JFIF density; empty when the DIB is not a valid 24-bit DIB.
std::vector<unsigned char> EncodeJpeg(const std::vector<unsigned char>& dib);

// A scanned cover cleaned up as a JPEG at quality 80: the sheet's edges found
// against a near-black or near-white background, the picture straightened
// when it lies askew by more than 2 degrees, cropped to the sheet and brought
// to `pelsPerMeter`. Takes a packed DIB of any layout; empty when it is no
// picture or the result cannot be made.
std::vector<unsigned char> PrepareScannedImage(const std::vector<unsigned char>& dib,
                                               unsigned pelsPerMeter);

// A colour bitmap of width x height with the picture (the bytes of a picture
// file) scaled to fit and centred on black bars, and a monochrome mask that is
// black (opaque) over the picture and white in the bars. Both handles are set
// to null first; false when the picture cannot be decoded or the size is not
// one a bitmap can have. The caller deletes both bitmaps.
bool MakeDisplayBitmaps(const std::vector<unsigned char>& picture, int width, int height,
                        HBITMAP& color, HBITMAP& mask);

// The steps of the clean-up, on the border profiles of the working picture.
namespace ScanCleanup {

// Drops the runs between two unfound entries (-1) that are shorter than 20
// entries, then removes every -1.
void DropShortRuns(std::vector<int>& profile);
// The slope of a border from the means of 48-entry windows; 0 for fewer than
// 64 entries.
float EstimateBorderSlope(const std::vector<int>& profile);
// Whether at least three of the slopes lie within 0.15 of the reference.
bool AgreeOnSlope(std::vector<float> slopes, float& reference);
// The angle in degrees (positive turns clockwise on screen) that straightens
// a border of that slope.
float SlopeToDegrees(float slope);

}  // namespace ScanCleanup

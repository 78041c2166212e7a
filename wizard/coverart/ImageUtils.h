#pragma once
#include <vector>

// The packed 24-bit DIB as a JPEG file at quality 80, with the DIB's resolution
// as its JFIF density; empty when the DIB is not a valid 24-bit DIB.
std::vector<unsigned char> EncodeJpeg(const std::vector<unsigned char>& dib);

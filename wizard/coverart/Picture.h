#pragma once
// Picture files as the cover-art code meets them: recognised by their leading
// bytes, decoded into a packed 24-bit DIB (a BITMAPINFOHEADER followed by
// bottom-up rows, as CF_DIB), and DIBs encoded as JPEG.
#include <cstddef>
#include <memory>
#include <vector>

using SharedBytes = std::shared_ptr<std::vector<unsigned char>>;

// Format codes of the picture decoders.
enum PictureFormat { FormatBmp = 1, FormatGif = 2, FormatJpeg = 3, FormatPng = 4, FormatTiff = 6 };

// Largest picture taken in, by side and by pixel count; larger ones are refused.
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 40LL * 1000 * 1000;

// True and the format when the first bytes name one of the five formats.
bool GetPictureFormat(const std::vector<unsigned char>& bytes, int& format);

// The packed 24-bit DIB of a picture file; null when it is not a picture that
// can be decoded.
SharedBytes DecodePictureToDib(const std::vector<unsigned char>& bytes);

// Any packed DIB (every header size, depth and compression GDI draws) as a
// packed bottom-up 24-bit DIB with biSizeImage set; null when the header or the
// block's size does not hold up.
SharedBytes NormalizeDib(const unsigned char* dib, size_t size);

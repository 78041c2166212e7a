#pragma once
// The program's own pixel code for packed DIBs (a 40-byte BITMAPINFOHEADER
// followed directly by the rows, no palette): making, copying, converting and
// filtering them, and the box-filter resizer with letterbox and pillarbox bars.
#include <windows.h>

#include <memory>
#include <vector>

namespace DIB {

using Bytes = std::vector<unsigned char>;

// Pixel formats; any other code counts as grey.
enum Format { FormatRgb24 = 0, FormatRgb32 = 1, FormatYuy2 = 2, FormatGrey = 3 };

// Aspect modes of a resizer's source and target.
enum Aspect { AspectNone = 0, Aspect16x9 = 1, Aspect4x3 = 2, AspectPicture = 3 };

// The biCompression of YUY2 DIBs.
constexpr DWORD kFourccYuy2 = 0x32595559;

int BitsPerPixel(int format);
int RowBytes(int width, int format);
// The format code from a header's biBitCount.
int FormatOf(const void* dib);

// A new bottom-up DIB; RGB24 pixels hold the bytes (c >> 16), (c >> 8), c in
// memory order (B, G, R for a COLORREF), other formats are all zero. Empty
// when the size is negative or too large to allocate.
Bytes Create(int width, int height, int color, int format);

// Copies a rectangle between two DIBs of the same format, rows counted from
// the top of both; the rectangle is clipped to both pictures. False when it
// starts outside either picture.
bool CopyRect(const void* source, int x, int y, int width, int height, void* target, int targetX,
              int targetY);

// A new 8-bit grey DIB of the same size: (B + G + R) / 3, the byte itself for
// grey, Y for YUY2.
Bytes ToGrey(const void* dib);

// 3 x 3 median over the interior of an 8-bit grey DIB whose width mod 8 is 2;
// false and nothing changed for any other DIB.
bool Median3x3(void* dib);

class IResize {
 public:
  virtual ~IResize() = default;
  // A zeroed DIB of the target size and format.
  virtual Bytes NewTargetDib() = 0;
  // The same in a zero-initialised global block: the locked pointer, the
  // block's handle through the argument (null and null on failure).
  virtual void* NewTargetDibGlobal(HGLOBAL& block) = 0;
  // A zeroed DIB of the source size and format with the source row bytes.
  virtual Bytes NewSourceDib() = 0;
  // Scales bare pixel rows of the sizes and row bytes given to Init.
  virtual bool ResizeBits(const void* source, void* target) = 0;
  // Scales a packed DIB into a packed DIB; false when the headers do not
  // carry the sizes given to Init.
  virtual bool ResizeDib(const void* source, void* target) = 0;
  // Row bytes 0 are computed from width and format.
  virtual bool Init(int sourceWidth, int sourceHeight, int sourceAspect, int sourceRowBytes,
                    bool sourceTopDown, int targetWidth, int targetHeight, int targetAspect,
                    int targetRowBytes, bool targetTopDown, int format) = 0;
};

class CResize : public IResize {
 public:
  CResize() = default;
  CResize(const CResize&) = delete;
  CResize& operator=(const CResize&) = delete;

  Bytes NewTargetDib() override;
  void* NewTargetDibGlobal(HGLOBAL& block) override;
  Bytes NewSourceDib() override;
  bool ResizeBits(const void* source, void* target) override;
  bool ResizeDib(const void* source, void* target) override;
  bool Init(int sourceWidth, int sourceHeight, int sourceAspect, int sourceRowBytes,
            bool sourceTopDown, int targetWidth, int targetHeight, int targetAspect,
            int targetRowBytes, bool targetTopDown, int format) override;

  virtual void Scale(const unsigned char* source, int sourceWidth, int sourceHeight,
                     int sourceRowBytes, unsigned char* target, int targetWidth, int targetHeight,
                     int targetRowBytes);
  virtual void ScaleYuy2(const unsigned char* source, int sourceWidth, int sourceHeight,
                         int sourceRowBytes, unsigned char* target, int targetWidth,
                         int targetHeight, int targetRowBytes);
  virtual void ScaleRgb(const unsigned char* source, int sourceWidth, int sourceHeight,
                        int sourceRowBytes, unsigned char* target, int targetWidth,
                        int targetHeight, int targetRowBytes);

 private:
  // Copies the rows into the padded source (reversing them when `flip`) and
  // scales the padded source, or scales the rows directly when there are no bars.
  bool Run(const unsigned char* sourceRows, unsigned char* targetRows, bool flipIntoPadding);
  unsigned char* Intermediate(int rows, int rowBytes);

  Bytes padded_;
  int sourceAspect_ = 0;
  int targetAspect_ = 0;
  int format_ = FormatRgb24;
  bool plainCopy_ = false;
  bool oneField_ = false;
  unsigned char* paddedRows_ = nullptr;
  int sourceRowBytes_ = 0;
  int targetRowBytes_ = 0;
  Bytes intermediate_;
  int leftBar_ = 0, topBar_ = 0, rightBar_ = 0, bottomBar_ = 0;
  bool fieldWise_ = false;
  int targetHeight_ = 0, targetWidth_ = 0, sourceHeight_ = 0, sourceWidth_ = 0;
  bool flip_ = false;
  bool sourceTopDown_ = false, targetTopDown_ = false;
  // Whether the scaling passes reverse the rows; false when the copy into the
  // padded source has already done it.
  bool flipInScale_ = false;
};

std::unique_ptr<IResize> CreateResizer(int sourceWidth, int sourceHeight, int sourceAspect,
                                       int sourceRowBytes, bool sourceTopDown, int targetWidth,
                                       int targetHeight, int targetAspect, int targetRowBytes,
                                       bool targetTopDown, int format);

}  // namespace DIB

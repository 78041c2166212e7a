// The box-filter resizer. Along one axis of n source pixels and m outputs the
// bound of output k is floor((n - 1) * k / m). Shrinking averages the source
// pixels after the previous bound up to this one; otherwise outputs keep a
// running average: a new source pixel restarts the sums when the bound reaches
// it, else the next pixel is added once more. Sums are integers and every
// average truncates; the two axes are scaled one after the other.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "wizard/coverart/DibResize.h"

namespace DIB {

namespace {

// Output k of an axis: the sum of source pixels lo .. hi plus `extra` times
// pixel `again`, divided by `count`.
struct Tap {
  int lo, hi;
  int again, extra;
  int count;
};

std::vector<Tap> Plan(int n, int m) {
  std::vector<Tap> taps(size_t(std::max(m, 0)));
  if (n > m) {
    int previous = -1;
    for (int k = 0; k < m; ++k) {
      const int bound = int(int64_t(n - 1) * k / m);
      taps[k] = {previous + 1, bound, 0, 0, bound - previous};
      previous = bound;
    }
    return taps;
  }
  int taken = 0;
  Tap current = {0, 0, 0, 0, 1};
  for (int k = 0; k < m; ++k) {
    const int bound = int(int64_t(n - 1) * k / m);
    if (bound >= taken) {
      current = {taken, taken, 0, 0, 1};
      ++taken;
    } else {
      // A one-pixel source has no pixel after the last one taken.
      current.again = std::min(taken, n - 1);
      ++current.extra;
      ++current.count;
    }
    taps[k] = current;
  }
  return taps;
}

template <class Get>
unsigned Average(const Tap& t, Get get) {
  unsigned sum = 0;
  for (int i = t.lo; i <= t.hi; ++i) sum += get(i);
  if (t.extra) sum += unsigned(t.extra) * get(t.again);
  return t.count == 2 ? sum >> 1 : sum / unsigned(t.count);
}

// The vertical pass: `bytes` channel bytes per row (skipping every fourth for
// RGB32), output row k written to the target's row height - 1 - k.
void VerticalPass(const unsigned char* rows, int sourceHeight, int rowBytes, int bytes,
                  bool skipFourth, unsigned char* target, int targetHeight, int targetRowBytes) {
  const std::vector<Tap> taps = Plan(sourceHeight, targetHeight);
  std::vector<unsigned> sum(static_cast<size_t>(bytes));
  for (int k = 0; k < targetHeight; ++k) {
    const Tap& t = taps[k];
    std::fill(sum.begin(), sum.end(), 0u);
    for (int i = t.lo; i <= t.hi; ++i) {
      const unsigned char* row = rows + size_t(i) * rowBytes;
      for (int j = 0; j < bytes; ++j) sum[j] += row[j];
    }
    if (t.extra) {
      const unsigned char* row = rows + size_t(t.again) * rowBytes;
      for (int j = 0; j < bytes; ++j) sum[j] += unsigned(t.extra) * row[j];
    }
    unsigned char* out = target + size_t(targetHeight - 1 - k) * targetRowBytes;
    for (int j = 0; j < bytes; ++j) {
      if (skipFourth && j % 4 == 3) continue;
      out[j] = static_cast<unsigned char>(t.count == 2 ? sum[j] >> 1 : sum[j] / unsigned(t.count));
    }
  }
}

}  // namespace

bool CResize::Init(int sourceWidth, int sourceHeight, int sourceAspect, int sourceRowBytes,
                   bool sourceTopDown, int targetWidth, int targetHeight, int targetAspect,
                   int targetRowBytes, bool targetTopDown, int format) {
  padded_.clear();
  paddedRows_ = nullptr;
  intermediate_.clear();
  if (format < FormatRgb24 || format > FormatGrey) format = FormatGrey;
  sourceWidth_ = std::max(sourceWidth, 0);
  sourceHeight_ = std::max(sourceHeight, 0);
  targetWidth_ = std::max(targetWidth, 0);
  targetHeight_ = std::max(targetHeight, 0);
  sourceAspect_ = sourceAspect;
  targetAspect_ = targetAspect;
  format_ = format;
  sourceTopDown_ = sourceTopDown;
  targetTopDown_ = targetTopDown;
  flip_ = format != FormatYuy2 && sourceTopDown != targetTopDown;
  flipInScale_ = flip_;
  plainCopy_ = oneField_ = fieldWise_ = false;
  leftBar_ = topBar_ = rightBar_ = bottomBar_ = 0;
  sourceRowBytes_ = sourceRowBytes ? sourceRowBytes : RowBytes(sourceWidth_, format);
  targetRowBytes_ = targetRowBytes ? targetRowBytes : RowBytes(targetWidth_, format);

  const uint64_t sw = uint64_t(sourceWidth_), sh = uint64_t(sourceHeight_);
  if (!sw || !sh || !targetWidth_ || !targetHeight_) return true;
  if (sourceWidth_ == targetWidth_ && sourceHeight_ == targetHeight_ &&
      !(sourceAspect_ && targetAspect_ && sourceAspect_ != targetAspect_)) {
    if (sourceRowBytes_ == targetRowBytes_) {
      plainCopy_ = true;
      return true;
    }
  }
  if (!sourceAspect_ || !targetAspect_) return true;
  // Video frames are 4:3 whatever their pixel size.
  if (targetAspect_ == Aspect4x3 && sourceAspect_ == AspectPicture &&
      (((sw == 704 || sw == 720) && (sh == 576 || sh == 480)) ||
       ((sw == 352 || sw == 360) && (sh == 288 || sh == 240))))
    sourceAspect_ = Aspect4x3;

  if (sourceAspect_ == Aspect16x9 && targetAspect_ == Aspect4x3) {
    const uint64_t extra = sh * 4 / 3 - sh;
    topBar_ = int(extra / 2);
    bottomBar_ = int(extra - extra / 2);
  } else if (sourceAspect_ == Aspect4x3 && targetAspect_ == Aspect16x9) {
    const uint64_t extra = sw * 4 / 3 - sw;
    leftBar_ = int(extra / 2);
    rightBar_ = int(extra - extra / 2);
  } else if (sourceAspect_ == AspectPicture) {
    uint64_t a = 0, b = 256;
    if (targetAspect_ == Aspect16x9) {
      a = 16, b = 9;
    } else if (targetAspect_ == Aspect4x3) {
      a = 4, b = 3;
    } else {
      a = uint64_t(targetWidth_) * 256 / uint64_t(targetHeight_);
    }
    if (a == 0) return true;  // a target far taller than wide: nothing to fit
    if (sw * b > sh * a) {
      const uint64_t extra = (sw * b / a - sh) & ~uint64_t(1);
      topBar_ = bottomBar_ = int(std::min<uint64_t>(extra / 2, 0x7FFFFFF));
    } else {
      const uint64_t extra = (sh * a / b - sw) & ~uint64_t(1);
      leftBar_ = rightBar_ = int(std::min<uint64_t>(extra / 2, 0x7FFFFFF));
    }
  }

  if ((sh == 480 && targetHeight_ == 576) || (sh == 576 && targetHeight_ == 480))
    fieldWise_ = true;
  else if ((sh == 480 || sh == 576) && (targetHeight_ == 288 || targetHeight_ == 240))
    oneField_ = true;

  if (!leftBar_ && !topBar_ && !rightBar_ && !bottomBar_) return true;
  padded_ =
      Create(sourceWidth_ + leftBar_ + rightBar_, sourceHeight_ + topBar_ + bottomBar_, 0, format);
  if (padded_.empty()) return false;
  paddedRows_ = padded_.data() + sizeof(BITMAPINFOHEADER);
  if (format == FormatYuy2) {
    const unsigned char black[4] = {16, 128, 16, 128};
    for (size_t i = 0; i + 4 <= padded_.size() - sizeof(BITMAPINFOHEADER); i += 4)
      std::memcpy(paddedRows_ + i, black, 4);
  }
  return true;
}

namespace {

// A zeroed DIB whose rows take `rowBytes` each, top-down when asked.
Bytes NewDib(int width, int height, int rowBytes, bool topDown, int format) {
  Bytes dib = Create(width, height, 0, format);
  if (dib.empty()) return dib;
  auto& h = *reinterpret_cast<BITMAPINFOHEADER*>(dib.data());
  if (topDown) h.biHeight = -height;
  h.biSizeImage = DWORD(uint64_t(height) * unsigned(rowBytes));
  dib.resize(sizeof h + h.biSizeImage);
  return dib;
}

}  // namespace

Bytes CResize::NewTargetDib() {
  return NewDib(targetWidth_, targetHeight_, targetRowBytes_, targetTopDown_, format_);
}

void* CResize::NewTargetDibGlobal(HGLOBAL& block) {
  block = nullptr;
  const Bytes dib = NewTargetDib();
  if (dib.empty()) return nullptr;
  block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dib.size());
  void* p = block ? GlobalLock(block) : nullptr;
  if (!p) {
    if (block) GlobalFree(block);
    block = nullptr;
    return nullptr;
  }
  std::memcpy(p, dib.data(), sizeof(BITMAPINFOHEADER));
  return p;
}

Bytes CResize::NewSourceDib() {
  return NewDib(sourceWidth_, sourceHeight_, sourceRowBytes_, sourceTopDown_, format_);
}

bool CResize::ResizeBits(const void* source, void* target) {
  return Run(static_cast<const unsigned char*>(source), static_cast<unsigned char*>(target), false);
}

bool CResize::ResizeDib(const void* source, void* target) {
  const auto& s = *static_cast<const BITMAPINFOHEADER*>(source);
  const auto& t = *static_cast<const BITMAPINFOHEADER*>(target);
  if (s.biWidth != sourceWidth_ || std::llabs(s.biHeight) != sourceHeight_ ||
      t.biWidth != targetWidth_ || std::llabs(t.biHeight) != targetHeight_)
    return false;
  return Run(static_cast<const unsigned char*>(source) + s.biSize,
             static_cast<unsigned char*>(target) + t.biSize, flip_);
}

bool CResize::Run(const unsigned char* rows, unsigned char* target, bool flipIntoPadding) {
  const int sw = sourceWidth_, sh = sourceHeight_, tw = targetWidth_, th = targetHeight_;
  if (!sw || !sh || !tw || !th) return true;
  if (plainCopy_) {
    for (int i = 0; i < th; ++i)
      std::memcpy(target + size_t(th - 1 - i) * targetRowBytes_,
                  rows + size_t(flip_ ? i : sh - 1 - i) * sourceRowBytes_,
                  size_t(std::min(sourceRowBytes_, targetRowBytes_)));
    return true;
  }
  int width = sw, height = sh, rowBytes = sourceRowBytes_;
  flipInScale_ = flip_;
  if (paddedRows_) {
    width = sw + leftBar_ + rightBar_;
    height = sh + topBar_ + bottomBar_;
    rowBytes = RowBytes(width, format_);
    const int bytesPerPixel = BitsPerPixel(format_) / 8;
    for (int i = 0; i < sh; ++i)
      std::memcpy(paddedRows_ + size_t(height - topBar_ - 1 - i) * rowBytes +
                      size_t(leftBar_) * bytesPerPixel,
                  rows + size_t(flipIntoPadding ? i : sh - 1 - i) * sourceRowBytes_,
                  size_t(sw) * bytesPerPixel);
    rows = paddedRows_;
    // The copy has turned the rows already.
    if (flipIntoPadding) flipInScale_ = false;
  }
  if (fieldWise_) {
    Scale(rows, width, height / 2, 2 * rowBytes, target, tw, th / 2, 2 * targetRowBytes_);
    Scale(rows + rowBytes, width, height / 2, 2 * rowBytes, target + targetRowBytes_, tw, th / 2,
          2 * targetRowBytes_);
  } else if (oneField_) {
    Scale(rows, width, height / 2, 2 * rowBytes, target, tw, th, targetRowBytes_);
  } else {
    Scale(rows, width, height, rowBytes, target, tw, th, targetRowBytes_);
  }
  return true;
}

unsigned char* CResize::Intermediate(int rows, int rowBytes) {
  const size_t need = size_t(rows) * size_t(rowBytes);
  if (intermediate_.size() < need) intermediate_.resize(need);
  return intermediate_.data();
}

void CResize::Scale(const unsigned char* source, int sourceWidth, int sourceHeight,
                    int sourceRowBytes, unsigned char* target, int targetWidth, int targetHeight,
                    int targetRowBytes) {
  if (format_ == FormatYuy2)
    ScaleYuy2(source, sourceWidth, sourceHeight, sourceRowBytes, target, targetWidth, targetHeight,
              targetRowBytes);
  else
    ScaleRgb(source, sourceWidth, sourceHeight, sourceRowBytes, target, targetWidth, targetHeight,
             targetRowBytes);
}

void CResize::ScaleRgb(const unsigned char* source, int sourceWidth, int sourceHeight,
                       int sourceRowBytes, unsigned char* target, int targetWidth, int targetHeight,
                       int targetRowBytes) {
  const int step = BitsPerPixel(format_) / 8;
  const int channels = std::min(step, 3);
  const int rowBytes = RowBytes(targetWidth, format_);
  unsigned char* between = Intermediate(sourceHeight, rowBytes);
  const std::vector<Tap> taps = Plan(sourceWidth, targetWidth);
  for (int i = 0; i < sourceHeight; ++i) {
    const unsigned char* in =
        source + size_t(flipInScale_ ? i : sourceHeight - 1 - i) * sourceRowBytes;
    unsigned char* out = between + size_t(i) * rowBytes;
    for (int k = 0; k < targetWidth; ++k)
      for (int c = 0; c < channels; ++c)
        out[k * step + c] = static_cast<unsigned char>(
            Average(taps[k], [&](int p) -> unsigned { return in[p * step + c]; }));
  }
  VerticalPass(between, sourceHeight, rowBytes, targetWidth * step, step == 4, target, targetHeight,
               targetRowBytes);
}

void CResize::ScaleYuy2(const unsigned char* source, int sourceWidth, int sourceHeight,
                        int sourceRowBytes, unsigned char* target, int targetWidth,
                        int targetHeight, int targetRowBytes) {
  const int rowBytes = RowBytes(targetWidth, FormatYuy2);
  unsigned char* between = Intermediate(sourceHeight, rowBytes);
  const std::vector<Tap> taps = Plan(sourceWidth, targetWidth);
  const bool shrinking = sourceWidth > targetWidth;
  for (int i = 0; i < sourceHeight; ++i) {
    const unsigned char* in = source + size_t(sourceHeight - 1 - i) * sourceRowBytes;
    unsigned char* out = between + size_t(i) * rowBytes;
    for (int k = 0; k < targetWidth; ++k) {
      const Tap& t = taps[k];
      out[2 * k] =
          static_cast<unsigned char>(Average(t, [&](int p) -> unsigned { return in[2 * p]; }));
      if (k % 2 || k + 1 >= targetWidth) continue;
      // The chroma of a pixel is that of its pair; enlarging takes it only
      // from pixels at even positions.
      unsigned u = 0, v = 0, n = 0;
      auto add = [&](int p, unsigned times) {
        if (!shrinking && p % 2) return;
        const unsigned char* pair = in + 4 * (p / 2);
        u += times * pair[1];
        v += times * pair[3];
        n += times;
      };
      for (int p = t.lo; p <= t.hi; ++p) add(p, 1);
      if (t.extra) add(t.again, unsigned(t.extra));
      if (!n) add(t.lo - t.lo % 2, 1);
      out[2 * k + 1] = static_cast<unsigned char>(u / n);
      out[2 * k + 3] = static_cast<unsigned char>(v / n);
    }
  }
  VerticalPass(between, sourceHeight, rowBytes, targetWidth * 2, false, target, targetHeight,
               targetRowBytes);
}

std::unique_ptr<IResize> CreateResizer(int sourceWidth, int sourceHeight, int sourceAspect,
                                       int sourceRowBytes, bool sourceTopDown, int targetWidth,
                                       int targetHeight, int targetAspect, int targetRowBytes,
                                       bool targetTopDown, int format) {
  auto resizer = std::make_unique<CResize>();
  if (!resizer->Init(sourceWidth, sourceHeight, sourceAspect, sourceRowBytes, sourceTopDown,
                     targetWidth, targetHeight, targetAspect, targetRowBytes, targetTopDown,
                     format))
    return nullptr;
  return resizer;
}

}  // namespace DIB

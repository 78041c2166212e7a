// Clean-up of scanned covers. The working picture is a bottom-up RGB24 DIB;
// its rows are counted from the bottom. Border profiles hold, per row (left,
// right) or per column (bottom, top), where the background seen from that
// edge ends, -1 where none was found, and one trailing -1.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "wizard/coverart/Dib.h"
#include "wizard/coverart/DibResize.h"
#include "wizard/coverart/ImageUtils.h"
#include "wizard/coverart/Picture.h"
#include "wizard/coverart/Rotate.h"

namespace ScanCleanup {

namespace {

constexpr int kDarkBackground = 25;
constexpr int kLightBackground = 231;
constexpr int kContentDifference = 25;
constexpr int kShortestRun = 20;
constexpr int kSlopeWindow = 48;
constexpr int kFewestForSlope = 64;
constexpr unsigned kLargestMeanStart = 0;
constexpr unsigned kSmallestMeanStart = 999999;
constexpr float kAgreement = 0.15f;
constexpr int kAgreeingSlopes = 3;
constexpr float kDegreesPerRadian = 180 / 3.1415f;
constexpr float kRotationThreshold = 2;
constexpr int kTrimAfterRotation = 8;

struct Profiles {
  std::vector<int> left, right, bottom, top;
};

bool IsBackground(int v) { return v < kDarkBackground || v > kLightBackground; }
bool Differs(int a, int b) { return std::abs(a - b) > kContentDifference; }

int Rows(const DIB::Bytes& dib) {
  return int(std::llabs(reinterpret_cast<const BITMAPINFOHEADER*>(dib.data())->biHeight));
}
int Width(const DIB::Bytes& dib) {
  return reinterpret_cast<const BITMAPINFOHEADER*>(dib.data())->biWidth;
}

// The grey, median-filtered copy of the working picture and its profiles.
Profiles FindBorders(const DIB::Bytes& work) {
  const int w = Width(work), h = Rows(work);
  const int gw = (w + 5) / 8 * 8 + 2;
  DIB::Bytes wide = DIB::Create(gw, h, 0, DIB::FormatRgb24);
  if (wide.empty()) throw std::bad_alloc();
  DIB::CopyRect(work.data(), 0, 0, w, h, wide.data(), 0, 0);
  DIB::Bytes grey = DIB::ToGrey(wide.data());
  if (grey.empty()) throw std::bad_alloc();
  DIB::Median3x3(grey.data());
  const int stride = DIB::RowBytes(gw, DIB::FormatGrey);
  const unsigned char* g = grey.data() + sizeof(BITMAPINFOHEADER);
  auto at = [&](int x, int r) -> int { return g[size_t(r) * stride + x]; };

  Profiles p;
  p.left.assign(size_t(h) + 1, -1);
  p.right.assign(size_t(h) + 1, -1);
  p.bottom.assign(size_t(w) + 1, -1);
  p.top.assign(size_t(w) + 1, -1);
  for (int r = 0; r < h; ++r) {
    const int first = at(0, r), last = at(w - 1, r);
    if (IsBackground(first))
      for (int x = 1; x < w; ++x)
        if (Differs(at(x, r), first)) {
          p.left[r] = x - 1;
          break;
        }
    if (IsBackground(last))
      for (int x = w - 2; x >= 1; --x)
        if (Differs(at(x, r), last)) {
          p.right[r] = x + 1;
          break;
        }
  }
  for (int x = 0; x < w; ++x) {
    const int first = at(x, 0), last = at(x, h - 1);
    if (IsBackground(first))
      for (int r = 1; r < h; ++r)
        if (Differs(at(x, r), first)) {
          p.bottom[x] = r - 1;
          break;
        }
    if (IsBackground(last))
      for (int r = h - 2; r >= 1; --r)
        if (Differs(at(x, r), last)) {
          p.top[x] = r + 1;
          break;
        }
  }
  for (auto* v : {&p.left, &p.right, &p.bottom, &p.top}) DropShortRuns(*v);
  return p;
}

// The scanner's background as far as the corners tell: black when most of
// them are dark, else white; the corners that a turn uncovers take it.
unsigned char BackgroundOf(const DIB::Bytes& work) {
  const int w = Width(work), h = Rows(work);
  const int rowBytes = DIB::RowBytes(w, DIB::FormatRgb24);
  int dark = 0;
  for (int r : {0, h - 1})
    for (int x : {0, w - 1}) {
      const unsigned char* p =
          work.data() + sizeof(BITMAPINFOHEADER) + size_t(r) * rowBytes + 3 * x;
      dark += (p[0] + p[1] + p[2]) / 3 < 128;
    }
  return dark >= 3 ? 0 : 255;
}

// The (w - 16) x (h - 16) middle of a turned picture.
DIB::Bytes Trim(const DIB::Bytes& turned) {
  const int w = Width(turned) - 2 * kTrimAfterRotation, h = Rows(turned) - 2 * kTrimAfterRotation;
  if (w <= 0 || h <= 0) return turned;
  DIB::Bytes out = DIB::Create(w, h, 0, DIB::FormatRgb24);
  if (out.empty()) throw std::bad_alloc();
  DIB::CopyRect(turned.data(), kTrimAfterRotation, kTrimAfterRotation, w, h, out.data(), 0, 0);
  return out;
}

// The picture inside the crop box of the profiles, or the whole picture.
DIB::Bytes Crop(const DIB::Bytes& work, Profiles& p) {
  const int w = Width(work), h = Rows(work);
  for (auto* v : {&p.left, &p.right, &p.bottom, &p.top}) std::sort(v->begin(), v->end());
  const auto low = [](const std::vector<int>& v, int otherwise) {
    return v.empty() ? otherwise : v[v.size() / 32];
  };
  const auto high = [](const std::vector<int>& v, int otherwise) {
    return v.empty() ? otherwise : v[v.size() * 31 / 32];
  };
  const int L = low(p.left, 0), R = high(p.right, w), B = low(p.bottom, 0), T = high(p.top, h);
  if (!(L < R && B < T)) return work;
  DIB::Bytes out = DIB::Create(R - L, T - B, 0, DIB::FormatRgb24);
  if (out.empty()) throw std::bad_alloc();
  DIB::CopyRect(work.data(), L, h - T, R - L, T - B, out.data(), 0, 0);
  return out;
}

// The new side for a resolution, 0 when it cannot be made.
int Rescaled(int side, LONG pelsPerMeter, unsigned target) {
  const uint64_t n =
      pelsPerMeter > 0 ? uint64_t(target) * uint64_t(side) / uint64_t(pelsPerMeter) : side;
  return n > 0 && n <= uint64_t(kMaxPictureSide) ? int(n) : 0;
}

}  // namespace

void DropShortRuns(std::vector<int>& v) {
  size_t start = 0;
  for (size_t j = 0; j < v.size(); ++j) {
    if (v[j] != -1) continue;
    if (j - start < size_t(kShortestRun)) std::fill(v.begin() + start, v.begin() + j, -1);
    start = j;
  }
  v.erase(std::remove(v.begin(), v.end(), -1), v.end());
}

float EstimateBorderSlope(const std::vector<int>& v) {
  const int n = int(v.size());
  if (n < kFewestForSlope) return 0;
  auto mean = [&v](int start) {
    unsigned sum = 0;
    for (int i = start; i < start + kSlopeWindow; ++i) sum += unsigned(v[i]);
    return sum / kSlopeWindow;
  };
  unsigned largest = kLargestMeanStart, smallest = kSmallestMeanStart;
  int largestCentre = kSlopeWindow / 2, smallestCentre = kSlopeWindow / 2;
  for (int i = 0; i < n - kSlopeWindow; ++i) {
    const unsigned m = mean(i);
    if (m > largest) largest = m, largestCentre = i + kSlopeWindow / 2;
    if (m < smallest) smallest = m, smallestCentre = i + kSlopeWindow / 2;
  }
  const int half = n / 2;
  const bool useSmallest = std::abs(smallestCentre - half) < std::abs(largestCentre - half);
  const unsigned extreme = useSmallest ? smallest : largest;
  const int centre = useSmallest ? smallestCentre : largestCentre;
  const int referenceStart = centre < half ? n - kSlopeWindow : 0;
  const int divisor = centre - referenceStart;
  if (divisor == 0) return 0;
  return (float(extreme) - float(mean(referenceStart))) / float(divisor);
}

bool AgreeOnSlope(std::vector<float> s, float& reference) {
  if (s.empty()) return false;
  std::sort(s.begin(), s.end());
  const size_t n = s.size();
  reference = (s[n / 2] + s[(n + 1) / 2]) / 2;
  const float r = reference;
  return std::count_if(s.begin(), s.end(),
                       [r](float v) { return std::fabs(r - v) < kAgreement; }) >= kAgreeingSlopes;
}

float SlopeToDegrees(float slope) { return -std::atan(slope) * kDegreesPerRadian; }

}  // namespace ScanCleanup

std::vector<unsigned char> PrepareScannedImage(const std::vector<unsigned char>& input,
                                               unsigned pelsPerMeter) try {
  using namespace ScanCleanup;
  // Other layouts than a packed 24-bit DIB are brought to one first.
  SharedBytes normal;
  const unsigned char* source = input.data();
  if (!DibLayout::Check24(input)) {
    normal = NormalizeDib(input.data(), input.size());
    if (!normal) return {};
    source = normal->data();
  }
  const auto& header = *reinterpret_cast<const BITMAPINFOHEADER*>(source);
  const LONG xResolution = header.biXPelsPerMeter, yResolution = header.biYPelsPerMeter;
  const int w = header.biWidth, h = int(std::llabs(header.biHeight));

  DIB::Bytes work = DIB::Create(w, h, 0, DIB::FormatRgb24);
  const auto copier = DIB::CreateResizer(w, h, DIB::AspectNone, 0, header.biHeight < 0, w, h,
                                         DIB::AspectNone, 0, false, DIB::FormatRgb24);
  if (work.empty() || !copier || !copier->ResizeDib(source, work.data())) return {};

  Profiles profiles;
  for (int pass = 0; pass < 2; ++pass) {
    profiles = FindBorders(work);
    const std::vector<float> slopes = {
        EstimateBorderSlope(profiles.left), EstimateBorderSlope(profiles.right),
        -EstimateBorderSlope(profiles.bottom), -EstimateBorderSlope(profiles.top)};
    float reference = 0;
    if (pass == 1 || !AgreeOnSlope(slopes, reference)) break;
    const float degrees = SlopeToDegrees(reference);
    if (std::fabs(degrees) <= kRotationThreshold) break;
    DIB::Bytes turned = DIB::Rotate24(work, degrees, BackgroundOf(work));
    if (turned.empty()) return {};
    work = Trim(turned);
  }

  const DIB::Bytes cropped = Crop(work, profiles);
  const int cw = Width(cropped), ch = Rows(cropped);
  const int nw = Rescaled(cw, xResolution, pelsPerMeter);
  const int nh = Rescaled(ch, yResolution, pelsPerMeter);
  if (!nw || !nh || int64_t(nw) * nh > kMaxPicturePixels) return {};
  DIB::Bytes out = DIB::Create(nw, nh, 0, DIB::FormatRgb24);
  const auto scaler = DIB::CreateResizer(cw, ch, DIB::AspectPicture, 0, false, nw, nh,
                                         DIB::AspectPicture, 0, false, DIB::FormatRgb24);
  if (out.empty() || !scaler || !scaler->ResizeDib(cropped.data(), out.data())) return {};
  auto& outHeader = *reinterpret_cast<BITMAPINFOHEADER*>(out.data());
  outHeader.biXPelsPerMeter = outHeader.biYPelsPerMeter = LONG(pelsPerMeter);
  return EncodeJpeg(out);
} catch (const std::bad_alloc&) {
  return {};
}

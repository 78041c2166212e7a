#include "VOVudorod/core/Toc.h"

#include "VOVudorod/core/SessionCore.h"
#include "common/Sha1.h"

namespace DbCore {
namespace {

int Seconds(const TocEntry& e) { return e.minute * 60 + e.second; }

}  // namespace

std::vector<TocEntry> SessionCore::ParseToc(const std::vector<unsigned char>& rawToc) {
  std::vector<TocEntry> entries;
  if (rawToc.size() <= 11) return entries;
  const std::size_t length = rawToc[0] * 256u + rawToc[1];
  const unsigned first = rawToc[2], last = rawToc[3];
  if (first != 1 || length != last * kTocDescriptorSize + 10 || rawToc.size() < length + 2)
    return entries;
  for (unsigned i = 0; i <= last; ++i) {
    const unsigned char* d = &rawToc[kTocHeaderSize + kTocDescriptorSize * i];
    TocEntry e;
    e.control = d[1];
    e.track = i < last ? static_cast<unsigned char>(i + 1) : kLeadOut;
    e.minute = d[5];
    e.second = d[6];
    e.frame = d[7];
    entries.push_back(e);
  }
  return entries;
}

int DigitSum(int value) {
  int sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

uint32_t ComputeDiscId(const std::vector<TocEntry>& entries) {
  if (entries.empty()) return 0;
  const std::size_t tracks = entries.size() - 1;
  uint32_t n = 0;
  for (std::size_t k = 0; k < tracks; ++k) n += DigitSum(Seconds(entries[k]));
  const int t = Seconds(entries[tracks]) - Seconds(entries[0]);
  return (n % 255) << 24 | static_cast<uint32_t>(t) << 8 | static_cast<uint32_t>(tracks);
}

void Sha1OfBuffer(unsigned char* dest, const unsigned char* bytes, std::size_t length) {
  Crypt::CSha1 sha;
  sha.Reset();
  sha.Update(bytes, length);
  sha.Final();
  sha.CopyDigest(dest);
}

TocHash HashToc(const std::vector<unsigned char>& rawToc) {
  TocHash hash;
  Sha1OfBuffer(hash.data(), rawToc.data(), rawToc.size());
  return hash;
}

}  // namespace DbCore

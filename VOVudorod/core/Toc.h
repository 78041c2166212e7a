#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "VOVudorod/core/Records.h"

// Disc identity from the raw TOC (the drive's READ TOC reply, format 0, MSF,
// header included).
namespace DbCore {

// The raw TOC: a header of data length (2 bytes), first and last track, then
// one descriptor per track and one for the lead-out.
const std::size_t kTocHeaderSize = 4;
const std::size_t kTocDescriptorSize = 8;

// The CDDB disc id; 0 for an empty list.
uint32_t ComputeDiscId(const std::vector<TocEntry>& entries);
int DigitSum(int value);

// SHA-1 over every byte of the raw TOC.
TocHash HashToc(const std::vector<unsigned char>& rawToc);
void Sha1OfBuffer(unsigned char* dest, const unsigned char* bytes, std::size_t length);

}  // namespace DbCore

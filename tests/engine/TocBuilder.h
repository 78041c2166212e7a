#pragma once
#include <vector>

// Builds a READ TOC (format 0, MSF) reply from LBAs: one per track, then the lead-out.
inline std::vector<unsigned char> MakeToc(const std::vector<int>& lbas, int firstTrack = 1,
                                          unsigned char control = 0x10) {
  const int tracks = static_cast<int>(lbas.size()) - 1;
  const int length = 8 * (tracks + 1) + 2;
  std::vector<unsigned char> toc = {
      static_cast<unsigned char>(length >> 8), static_cast<unsigned char>(length & 0xFF),
      static_cast<unsigned char>(firstTrack), static_cast<unsigned char>(firstTrack + tracks - 1)};
  for (int i = 0; i <= tracks; ++i) {
    const int frames = lbas[i] + 150;
    const unsigned char number = i == tracks ? 0xAA : static_cast<unsigned char>(firstTrack + i);
    for (int b : {0, int(control), int(number), 0, 0, frames / 4500, frames / 75 % 60, frames % 75})
      toc.push_back(static_cast<unsigned char>(b));
  }
  return toc;
}

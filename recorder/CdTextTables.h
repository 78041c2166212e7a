#pragma once
#include <cstddef>
#include <cstdint>

// The double-byte CD-Text character tables, (character, code) pairs in
// character order, generated at build time.
namespace Recorder {

struct CharPair {
  uint16_t character;
  uint16_t code;
};

extern const CharPair kMsJisPairs[];
extern const std::size_t kMsJisPairsCount;
extern const CharPair kKoreanPairs[];
extern const std::size_t kKoreanPairsCount;
extern const CharPair kMandarinPairs[];
extern const std::size_t kMandarinPairsCount;

}  // namespace Recorder

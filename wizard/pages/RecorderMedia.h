#pragma once
#include <cstdint>
#include <string>

#include "common/ComPtr.h"
#include "engine/cd/imapi2/Imapi2.h"

// What the recorder page knows of the recorder with one drive letter.
struct RecorderInfo {
  ComPtr<IDiscRecorder2> recorder;
  bool rewritable = false;     // writes CD-RW
  bool rawSubchannel = false;  // writes R-W subchannel: CD-Text
  bool noMedium = false;
  bool erasable = false;
  bool blank = false;
  int32_t capacity = 0;  // last possible lead-out start in CD frames (MSF); 0: none given
};

namespace RecorderMedia {

// One record per drive-letter number (A = 1 ... Z = 26).
constexpr int kLetters = 32;
// Results of a probe besides a drive-letter number.
constexpr int kSkip = -2;    // not usable now
constexpr int kNotRaw = -3;  // cannot write raw CDs
// The frames of the longest disc the platform's raw writer burns.
constexpr uint32_t kPlatformWriterLimit = 326250;
extern const wchar_t kPlatformWriter[];

// Reads the recorder's capabilities and its medium into the record of its
// drive letter; returns that letter's number (root: its "X:\"), kSkip or kNotRaw.
int Probe(const ComPtr<IDiscRecorder2>& recorder, RecorderInfo (&infos)[kLetters],
          std::wstring& root);

// 3 blank, 2 erasable, 0 neither or an erasable disc in a recorder that
// cannot write CD-RW: the ranking of the automatic choice and the rule of the
// status line alike.
int StateOf(const RecorderInfo& info);

// Whether the medium takes a disc whose lead-out starts at leadOut, and the
// status line (a user-visible literal) that says so.
struct Verdict {
  bool canWrite;
  const wchar_t* status;
};
Verdict Judge(const RecorderInfo& info, uint32_t leadOut, const std::wstring& writeEngine);

}  // namespace RecorderMedia

// The rules of the select-tracks and recorder pages that need no window.
#include <gtest/gtest.h>

#include "wizard/pages/ExtractFolder.h"
#include "wizard/pages/SelectTracksPage.h"

namespace {

TEST(TrackFileName, JoinsThePartsOfEachFormatAndMendsWhatNamesCannotHold) {
  struct Case {
    int format;
    const wchar_t* name;
  } cases[] = {
      {0, L"7 - Al.bum - A.B - Song..mp3"},
      {1, L"Al.bum - 7 - A.B - Song..mp3"},
      {2, L"7 - A.B - Al.bum - Song..mp3"},
      {3, L"A.B - Song..mp3"},
      {4, L"7 - A.B - Song..mp3"},
      {5, L"Song. - A.B.mp3"},
      {6, L"7 - Song. - A.B.mp3"},
      {7, L"7 - Al.bum - A.B - Song..wav"},
      {10, L"A.B - Song..wav"},
      {13, L"7 - Song. - A.B.wav"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.name, CWizardSelectTracksPage::MakeTrackFileName(c.format, L"7", L"Al:bum", L"A/B",
                                                                 L"Song?"))
        << c.format;
  EXPECT_EQ(L"........ .x", ExtractFolder::FileNameOf(L":\\\"/<>|? .x"));
}

}  // namespace

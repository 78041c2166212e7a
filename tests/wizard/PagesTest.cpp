// The rules of the select-tracks and recorder pages that need no page, and
// the pages' extended combo box helpers on a bare control.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "engine/backup/BackupNames.h"
#include "wizard/pages/ComboBoxEx.h"
#include "wizard/pages/RecorderMedia.h"
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
  EXPECT_EQ(L"........ .x", BackupFile::FileNameOf(L":\\\"/<>|? .x"));
  // Control characters, which no file name may hold either, become spaces.
  EXPECT_EQ(L"A B - Song .mp3",
            CWizardSelectTracksPage::MakeTrackFileName(3, L"7", L"", L"A\tB", L"Song\x1F"));
}

RecorderInfo Medium(bool blank, bool erasable, bool rewritable, int32_t capacity) {
  RecorderInfo info;
  info.blank = blank;
  info.erasable = erasable;
  info.rewritable = rewritable;
  info.capacity = capacity;
  return info;
}

TEST(RecorderMedium, StatusLineAndNextFollowTheMediumAndTheDisc) {
  const int32_t k80 = 79 * 4500 + 59 * 75 + 74;  // 79:59:74
  RecorderInfo none;
  none.noMedium = true;
  struct Case {
    RecorderInfo info;
    uint32_t leadOut;
    const wchar_t* engine;
    bool canWrite;
    const wchar_t* key;
  } cases[] = {
      {Medium(true, false, false, k80), 200000, L"", true, L"{COMPATIBLE_EMPTY_MEDIA}"},
      // The capacity is an MSF time: the lead-out LBA must stay 150 frames below it.
      {Medium(true, false, false, k80), k80 - 150, L"", true, L"{COMPATIBLE_EMPTY_MEDIA}"},
      {Medium(true, false, false, k80), k80 - 149, L"", false, L"{COMPATIBLE_MEDIA_NOSPACE}"},
      // The platform's writer stops at 326250 frames; only its exact name counts.
      {Medium(true, false, false, k80), 326250, L"MsftDiscFormat2RawCD", true,
       L"{COMPATIBLE_EMPTY_MEDIA}"},
      {Medium(true, false, false, k80), 326251, L"MsftDiscFormat2RawCD", false, L"{IMAPI_LIMIT}"},
      {none, 326251, L"MsftDiscFormat2RawCD", false, L"{IMAPI_LIMIT}"},
      {Medium(true, false, false, k80), 326251, L"msftdiscformat2rawcd", true,
       L"{COMPATIBLE_EMPTY_MEDIA}"},
      {none, 1000, L"", false, L"{NO_MEDIA}"},
      {Medium(false, false, false, k80), 1000, L"", false, L"{INCOMPATIBLE_MEDIA}"},
      // An erasable disc is no use to a recorder that does not write CD-RW.
      {Medium(false, true, false, k80), 1000, L"", false, L"{INCOMPATIBLE_MEDIA}"},
      {Medium(false, true, true, k80), 1000, L"", true, L"{COMPATIBLE_MEDIA}"},
      {Medium(false, true, true, 0), 1000, L"", false, L"{COMPATIBLE_MEDIA_NOSPACE}"},
  };
  for (const Case& c : cases) {
    const RecorderMedia::Verdict v = RecorderMedia::Judge(c.info, c.leadOut, c.engine);
    EXPECT_EQ(c.canWrite, v.canWrite) << c.leadOut << " " << c.key;
    EXPECT_NE(nullptr, wcsstr(v.status, c.key)) << c.leadOut << " " << c.key;
  }
}

TEST(ComboBoxExItems, TextsOfAnyLengthComeBackWholeAndAreFoundOnce) {
  INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_USEREX_CLASSES};
  ASSERT_TRUE(InitCommonControlsEx(&classes));
  HWND combo = CreateWindowExW(0, WC_COMBOBOXEXW, L"", WS_POPUP | CBS_DROPDOWN, 0, 0, 200, 200,
                               nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(nullptr, combo);
  // Around the sizes of the buffers a text is first read into, and far beyond.
  const std::size_t lengths[] = {0, 259, 260, 261, 520, 1039, 1040, 1041, 5000};
  for (std::size_t length : lengths) {
    std::wstring text(length, L'a');
    if (length) text.back() = L'Z';
    const int index = ComboBoxEx::Count(combo);
    EXPECT_EQ(index, ComboBoxEx::Add(combo, text));
    EXPECT_EQ(text, ComboBoxEx::ItemText(combo, index)) << length;
  }
  EXPECT_EQ(L"", ComboBoxEx::ItemText(combo, ComboBoxEx::Count(combo)));

  const std::wstring last(5000, L'a');
  EXPECT_EQ(-1, ComboBoxEx::Find(combo, last.substr(0, 4999) + L"z"));
  EXPECT_EQ(8, ComboBoxEx::Find(combo, last.substr(0, 4999) + L"z", true));
  // From `first` on only; a missing text is added at the end and selected.
  const int count = ComboBoxEx::Count(combo);
  ComboBoxEx::SelectOrAdd(combo, L"", true, 1);
  EXPECT_EQ(count, ComboBoxEx::Selection(combo));
  EXPECT_EQ(count + 1, ComboBoxEx::Count(combo));
  ComboBoxEx::SelectOrAdd(combo, std::wstring(259, L'A') + L"z", true);
  EXPECT_EQ(2, ComboBoxEx::Selection(combo));
  EXPECT_EQ(count + 1, ComboBoxEx::Count(combo));
  DestroyWindow(combo);
}

}  // namespace

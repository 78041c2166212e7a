#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Utf8.h"
#include "recorder/CdText.h"
#include "recorder/DiscSubchannel.h"
#include "tests/recorder/QDecoder.h"

using namespace Recorder;
using Bytes = std::vector<unsigned char>;

namespace {

DiscInfo Texts(const std::vector<std::pair<std::wstring, std::wstring>>& artistTitle) {
  DiscInfo d;
  for (const auto& [artist, title] : artistTitle) {
    TrackText t;
    t.artist = artist;
    t.title = title;
    d.tracks.push_back(t);
  }
  return d;
}

// A TOC of 300-sector tracks numbered from `first`.
Bytes Toc(int tracks, int first = 1) {
  const int length = 8 * (tracks + 1) + 2;
  Bytes toc = {Bytes::value_type(length >> 8), Bytes::value_type(length), Bytes::value_type(first),
               Bytes::value_type(first + tracks - 1)};
  for (int i = 0; i <= tracks; ++i) {
    const int frames = 150 + 300 * i;
    for (int b : {0, 0x10, i == tracks ? 0xAA : first + i, 0, 0, frames / 4500, frames / 75 % 60,
                  frames % 75})
      toc.push_back(Bytes::value_type(b));
  }
  return toc;
}

Bytes Pack(const Bytes& data, std::size_t i) {
  return Bytes(data.begin() + 18 * i, data.begin() + 18 * i + 18);
}

void ExpectCrcs(const Bytes& data) {
  ASSERT_EQ(data.size() % 72, 0u);
  for (std::size_t at = 0; at < data.size(); at += 18) {
    const unsigned crc = QDecoder::Crc16(&data[at], 16);
    EXPECT_EQ(data[at + 16], crc >> 8) << "pack at " << at;
    EXPECT_EQ(data[at + 17], crc & 0xFF) << "pack at " << at;
  }
}

}  // namespace

TEST(CdText, AlbumBandSongByteForByte) {
  const Bytes data = BuildCdText(Texts({{L"Band", L"Album"}, {L"Band", L"Song"}}), Toc(1));
  ASSERT_EQ(data.size(), 360u);  // five packs, four times
  ExpectCrcs(data);
  EXPECT_EQ(Pack(data, 0), (Bytes{0x80, 0x00, 0x00, 0x00, 'A', 'l', 'b', 'u', 'm', 0, 'S', 'o', 'n',
                                  'g', 0, 0, 0x81, 0xA9}));
  EXPECT_EQ(Pack(data, 1), (Bytes{0x81, 0x00, 0x01, 0x00, 'B', 'a', 'n', 'd', 0, 'B', 'a', 'n', 'd',
                                  0, 0, 0, 0x3D, 0x4E}));
  EXPECT_EQ(Pack(data, 2), (Bytes{0x8F, 0x00, 0x02, 0x00, 0x00, 0x01, 0x01, 0x00, 0x01, 0x01, 0, 0,
                                  0, 0, 0, 0, 0x30, 0xE8}));
  EXPECT_EQ(Pack(data, 3),
            (Bytes{0x8F, 0x01, 0x03, 0x00, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x04, 0, 0, 0, 0x89, 0xE8}));
  EXPECT_EQ(Pack(data, 4),
            (Bytes{0x8F, 0x02, 0x04, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x3E, 0xE8}));
  for (std::size_t copy = 1; copy < 4; ++copy)
    EXPECT_TRUE(std::equal(data.begin(), data.begin() + 90, data.begin() + 90 * copy));
}

// A disc whose first track was not 1 is burned numbered 1..N: the size block
// names the tracks the packs carry.
TEST(CdText, SizeBlockNumbersTheTracksFromOne) {
  for (const auto& [first, tracks] : {std::make_pair(3, 3), std::make_pair(99, 1)}) {
    SCOPED_TRACE(first);
    std::vector<std::pair<std::wstring, std::wstring>> entries = {{L"Band", L"Album"}};
    for (int t = 1; t <= tracks; ++t) entries.push_back({L"Band", L"Song " + std::to_wstring(t)});
    const Bytes data = BuildCdText(Texts(entries), Toc(tracks, first));
    ExpectCrcs(data);
    int packTracks = 0;
    std::size_t size = 0;
    for (std::size_t at = 0; at < data.size() && !size; at += 18) {
      if (data[at] == kPackSizeInfo)
        size = at;
      else
        packTracks = std::max<int>(packTracks, data[at + 1]);
    }
    ASSERT_NE(size, 0u);
    EXPECT_EQ(packTracks, tracks);
    EXPECT_EQ(data[size + 5], 1);
    EXPECT_EQ(data[size + 6], tracks);
  }
}

TEST(CdText, CharacterPositionsAndTracksOfPacks) {
  std::vector<CdTextPack> packs;
  // A 14-character disc title, then a 30-character track title.
  Bytes bytes = EncodeCdText(kCharIso8859, L"Fourteen chars");
  const Bytes second = EncodeCdText(kCharIso8859, std::wstring(30, L'x'));
  bytes.insert(bytes.end(), second.begin(), second.end());
  AppendCdTextPacks(packs, kPackTitle, 0, kCharIso8859, bytes);
  ASSERT_EQ(packs.size(), (15u + 31u + 11) / 12);
  EXPECT_EQ(packs[0].id4, 0);
  EXPECT_EQ(packs[1].id4, 12);  // twelve characters of the disc title before it
  EXPECT_EQ(packs[1].track, 0);
  EXPECT_EQ(packs[2].track, 1);
  EXPECT_EQ(packs[2].id4, 9);   // 24 - 15
  EXPECT_EQ(packs[3].id4, 15);  // 21 characters before it, at most 15
  for (std::size_t i = 0; i < packs.size(); ++i) EXPECT_EQ(packs[i].sequence, i);
  EXPECT_EQ(packs.back().payload[12 - 1], 0);  // the last pack's unused bytes stay 0

  std::vector<CdTextPack> wide;
  AppendCdTextPacks(wide, kPackPerformer, 2, kCharMsJis,
                    EncodeCdText(kCharMsJis, L"\x3042\x3044\x3046\x3048\x304A\x304B\x304D"));
  ASSERT_EQ(wide.size(), 2u);
  EXPECT_EQ(wide[1].id4, 0x80 | 2 << 4 | 6);

  // Mixed widths: a two-byte character and an aligning terminator cross pack
  // boundaries and still count to their own text; the next text starts on a
  // two-byte boundary, and a half-width katakana is one character of one byte.
  std::vector<CdTextPack> mixed;
  Bytes texts = EncodeCdText(kCharMsJis, L"ABCDEFGHIJK\x65E5");
  const Bytes next = EncodeCdText(kCharMsJis, L"\x66F2xyzuvw\xFF71");
  texts.insert(texts.end(), next.begin(), next.end());
  ASSERT_EQ(texts.size(), 16u + 12u);
  AppendCdTextPacks(mixed, kPackTitle, 0, kCharMsJis, texts);
  ASSERT_EQ(mixed.size(), 3u);
  EXPECT_EQ(mixed[0].payload[11], 0x93);
  EXPECT_EQ(mixed[1].payload[0], 0xFA);
  EXPECT_EQ(mixed[1].track, 0);
  EXPECT_EQ(mixed[1].id4, 0x80 | 11);
  EXPECT_EQ(mixed[1].payload[4], 0x8B);  // after 00 00 00, on a two-byte boundary
  EXPECT_EQ(mixed[1].payload[11], 'w');
  EXPECT_EQ(mixed[2].track, 1);  // from the second text's eighth character on
  EXPECT_EQ(mixed[2].id4, 0x80 | 7);
  EXPECT_EQ(mixed[2].payload[0], 0xB1);
}

TEST(CdText, CharacterCodesAndTheirChoice) {
  struct Row {
    std::wstring text;
    unsigned char chosen;
  };
  const Row rows[] = {
      {L"Plain ASCII keeps ISO 8859-1", kCharIso8859},
      {L"Caf\x00E9 \x00DC"
       L"ber",
       kCharIso8859},
      {L"\x3072\x3089\x304C\x306A", kCharMsJis},     // kana
      {L"\xD55C\xAD6D\xC5B4", kCharKorean},          // hangul
      {L"\x4E2D\x6587\x6B4C\x66F2", kCharMsJis},     // kanji: MS-JIS has them first
      {L"\x8FD9\x662F\x6211\x4EEC", kCharMandarin},  // simplified hanzi
      {L"", kCharIso8859},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(Utf8::Encode(r.text));
    EXPECT_EQ(ChooseCdTextCharCode(Texts({{L"", r.text}})), r.chosen);
  }

  EXPECT_EQ(EncodeCdText(kCharIso8859, L"A\x2588\x2580\x266A\x2117\x271D\x00FF"),
            (Bytes{'A', 0x7F, 0xA0, 0xA8, 0xAD, 0xB8, 0xFF, 0}));
  // Characters without a code are left out, NUL included.
  EXPECT_EQ(EncodeCdText(kCharIso8859,
                         std::wstring(L"a\x007F\x00A0\x00A8\x00AD\x00B8\x3042") + L'\0' + L"b"),
            (Bytes{'a', 'b', 0}));
  EXPECT_EQ(EncodeCdText(kCharMsJis,
                         L"\x3042"
                         L"A\x00A5\x203E\\\x301C\x2212\xFF61~"),
            (Bytes{0x82, 0xA0, 0x41, 0x5C, 0x7E, 0x81, 0x5F, 0x81, 0x60, 0x81, 0x7C, 0xA1, 0, 0}));
  // Below 0x80 one byte, as Shift-JIS and EUC write it, and half-width
  // katakana as Shift-JIS does; every text ends 00 00, and one of odd byte
  // count gets a zero before it that keeps the next text on a two-byte boundary.
  EXPECT_EQ(EncodeCdText(kCharKorean,
                         L"\xD55C"
                         L"a"),
            (Bytes{0xC7, 0xD1, 0x61, 0, 0, 0}));
  EXPECT_EQ(EncodeCdText(kCharKorean, L"ab"), (Bytes{0x61, 0x62, 0, 0}));
  EXPECT_EQ(EncodeCdText(kCharMsJis, L"\xFF71\xFF9D\x30A2"), (Bytes{0xB1, 0xDD, 0x83, 0x41, 0, 0}));
  // A code that the text's bytes cannot carry alone: the euro sign of the
  // Mandarin table (0x80, a lead byte in GB 2312's EUC form).
  EXPECT_EQ(EncodeCdText(kCharMandarin, L"\x4E2D\x20AC"),
            (Bytes{0xD6, 0xD0, kCdTextSubstitute, 0, 0, 0}));
  EXPECT_TRUE(EncodeCdText(0x01, L"abc").empty());
}

TEST(CdText, DoubleByteDiscFlagsEveryPack) {
  const Bytes data = BuildCdText(
      Texts({{L"\x6B4C\x624B", L"\x65E5\x672C"}, {L"\x6B4C\x624B", L"\x6B4C"}}), Toc(1));
  ExpectCrcs(data);
  // titles 6 + 4 bytes, performers 6 + 6: one pack each, three size packs.
  ASSERT_EQ(data.size(), 4 * 5 * 18u);
  for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(data[18 * i + 3] & 0x80, 0x80) << i;
  EXPECT_EQ(data[2 * 18 + 4], kCharMsJis);  // size block: character code
}

TEST(CdText, NoTextsGiveTheSizePacksAlone) {
  const Bytes data = BuildCdText(DiscInfo{}, Toc(1));
  ASSERT_EQ(data.size(), 216u);
  ExpectCrcs(data);
  EXPECT_EQ(data[0], kPackSizeInfo);
  EXPECT_EQ(data[4 + 4], 0);       // no title packs
  EXPECT_EQ(data[18 + 4 + 8], 2);  // last sequence number (size byte 20)
}

// Texts that need more packs than a block holds are cut, all to one length,
// and the counters of the size block stay true.
TEST(CdText, LongTextsAreCutToOneBlock) {
  std::vector<std::pair<std::wstring, std::wstring>> entries;
  for (int t = 0; t <= 99; ++t)
    entries.push_back({L"Performer " + std::to_wstring(t) + std::wstring(40, L'p'),
                       L"Title " + std::to_wstring(t) + std::wstring(60, L't')});
  const Bytes data = BuildCdText(Texts(entries), Toc(99));
  ExpectCrcs(data);
  const std::size_t packs = data.size() / 18;
  ASSERT_LE(packs, 4 * 256u);
  std::size_t inBlock = 0;  // packs of one copy: up to the third size pack
  while (inBlock < packs && !(data[18 * inBlock] == kPackSizeInfo && data[18 * inBlock + 1] == 2))
    ++inBlock;
  ++inBlock;
  // One copy: sequence numbers 0..n-1 without wrapping, and the size block agrees.
  for (std::size_t i = 0; i < inBlock; ++i) ASSERT_EQ(data[18 * i + 2], i);
  auto size = [&](int i) { return data[18 * (inBlock - 3 + i / 12) + 4 + i % 12]; };
  std::size_t titles = 0, performers = 0;
  for (std::size_t i = 0; i < inBlock; ++i) {
    titles += data[18 * i] == kPackTitle;
    performers += data[18 * i] == kPackPerformer;
  }
  EXPECT_EQ(size(4), titles);
  EXPECT_EQ(size(5), performers);
  EXPECT_EQ(size(20), inBlock - 1);
  EXPECT_GE(titles + performers, 240u);  // the block is used, not emptied
  EXPECT_LE(titles + performers, 253u);

  // Texts that fit are not touched.
  entries.resize(10);
  std::size_t titleBytes = 0;
  for (const auto& e : entries) titleBytes += e.second.size() + 1;
  const Bytes small = BuildCdText(Texts(entries), Toc(9));
  std::size_t titlePacks = 0;
  while (small[18 * titlePacks] == kPackTitle) ++titlePacks;
  EXPECT_EQ(titlePacks, (titleBytes + 11) / 12);
}

// Writes, for libcdio on the host, the CD-Text that the lead-in's R-W channels
// carry, taken back out of the subchannel of the lead-in sectors.
TEST(LeadInCdTextFiles, DiscsOfAllKinds) {
  struct Case {
    std::string name;
    DiscInfo texts;
    int firstTrack = 1;  // the number of the source disc's first track
    DiscInfo read{};     // what readers must show, when it is not the texts themselves
  };
  std::vector<Case> cases;
  cases.push_back({"one-track", Texts({{L"Band", L"Album"}, {L"Band", L"Song"}})});
  std::vector<std::pair<std::wstring, std::wstring>> many = {{L"Les \x00C9l\x00E8ves",
                                                              L"Ch\x00E2teau \x00DC"
                                                              L"ber Stra\x00DF"
                                                              L"e"}};
  for (int t = 1; t <= 12; ++t)
    many.push_back({t % 2 ? L"Ens\x00E9mble " + std::to_wstring(t) : L"",
                    L"Pi\x00E8"
                    L"ce n\x00B0" +
                        std::to_wstring(t)});
  cases.push_back({"many-tracks", Texts(many)});
  std::vector<std::pair<std::wstring, std::wstring>> ninetyNine = {{L"Various", L"Ninety-nine"}};
  for (int t = 1; t <= 99; ++t)
    ninetyNine.push_back({L"A" + std::to_wstring(t), L"Track " + std::to_wstring(t)});
  cases.push_back({"99-tracks", Texts(ninetyNine)});
  cases.push_back({"japanese", Texts({{L"\x6B4C\x624B", L"\x65E5\x672C\x306E\x6B4C"},
                                      {L"\x6B4C\x624B", L"\x3055\x304F\x3089"},
                                      {L"\x30D0\x30F3\x30C9", L"\x6D77"}})});
  cases.push_back({"korean", Texts({{L"\xAC00\xC218", L"\xD55C\xAD6D\xB178\xB798"},
                                    {L"\xAC00\xC218", L"\xC0AC\xB791"}})});
  cases.push_back({"kanji", Texts({{L"\x6B4C\x624B", L"\x4E2D\x6587\x6B4C\x66F2"},
                                   {L"\x6B4C\x624B", L"\x5C0F\x6CB3"}})});
  // simplified characters that only the Mandarin code has
  cases.push_back(
      {"mandarin", Texts({{L"\x6B4C\x624B\x4EEC", L"\x8FD9\x662F\x6211\x4EEC\x7684\x6B4C"},
                          {L"\x6B4C\x624B\x4EEC", L"\x7231"}})});
  // Latin letters inside double-byte texts
  cases.push_back({"mixed-japanese", Texts({{L"\x6B4C\x624B", L"A\x65E5\x672C"},
                                            {L"Band B",
                                             L"\x66F2"
                                             L"B"},
                                            {L"\x6B4C\x624B", L"Live 2024 \x6771\x4EAC"}})});
  cases.push_back({"mixed-korean", Texts({{L"\xAC00\xC218 K", L"Seoul \xD55C\xAD6D"},
                                          {L"\xAC00\xC218", L"\xC0AC\xB791 2"}})});
  cases.push_back({"mixed-mandarin", Texts({{L"\x6B4C\x624B\x4EEC", L"A\x8FD9\x662F"},
                                            {L"DJ \x4EEC", L"\x7231 Love"}})});
  // Half-width katakana, one Shift-JIS byte each, in texts of even byte counts.
  cases.push_back(
      {"halfwidth-kana", Texts({{L"\x6B4C\x624B", L"\xFF76\xFF97\xFF75\xFF79"},
                                {L"\xFF8A\xFF9E\xFF9D\xFF84\xFF9E!", L"\xFF7B\xFF78\xFF97 12"}})});
  // The Mandarin table's euro sign has no byte form of its own there.
  cases.push_back({"mandarin-euro",
                   Texts({{L"\x6B4C\x624B\x4EEC",
                           L"\x4EF7\x683C\x20AC"
                           L"5"},
                          {L"DJ\x4EEC", L"\x7231"}}),
                   1,
                   Texts({{L"\x6B4C\x624B\x4EEC", L"\x4EF7\x683C?5"}, {L"DJ\x4EEC", L"\x7231"}})});
  std::vector<std::pair<std::wstring, std::wstring>> cut;
  for (int t = 0; t <= 99; ++t)
    cut.push_back({L"Performer number " + std::to_wstring(t) + L" with a long name",
                   L"A rather long title for track " + std::to_wstring(t) + L" of this disc"});
  cases.push_back({"cut-long-texts", Texts(cut)});
  cases.push_back({"from-track-3",
                   Texts({{L"Band", L"Album"}, {L"A", L"Three"}, {L"B", L"Four"}, {L"C", L"Five"}}),
                   3});
  cases.push_back({"only-track-99", Texts({{L"Band", L"Album"}, {L"Solo", L"Last"}}), 99});

  const char* out = std::getenv("TAVRIN_CDTEXT_OUT");
  if (out) CreateDirectoryA(out, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int tracks = int(c.texts.tracks.size()) - 1;
    const Bytes toc = Toc(tracks, c.firstTrack);
    const Bytes cdText = BuildCdText(c.texts, toc);
    DiscSubchannel sub(toc, cdText);
    const std::size_t units = cdText.size() / 72;
    Bytes fromLeadIn, raw(96);
    for (int x = -22650; fromLeadIn.size() < cdText.size(); ++x) {
      sub.LeadIn(x, raw.data());
      const QDecoder::Sector s = QDecoder::Decode(raw.data());
      ASSERT_TRUE(s.crcOk);
      fromLeadIn.insert(fromLeadIn.end(), s.rw.begin(), s.rw.end());
    }
    ASSERT_EQ(fromLeadIn, cdText) << units << " units";
    if (!out) continue;
    const std::string base = std::string(out) + "\\" + c.name;
    FILE* f = std::fopen((base + ".cdt").c_str(), "wb");
    ASSERT_TRUE(f);
    std::fwrite(fromLeadIn.data(), 1, fromLeadIn.size(), f);
    std::fclose(f);
    f = std::fopen((base + ".expected").c_str(), "wb");
    ASSERT_TRUE(f);
    const DiscInfo& read = c.read.tracks.empty() ? c.texts : c.read;
    std::fprintf(f, "TRACKS 1 %d\n", tracks);
    for (int t = 0; t <= tracks; ++t) {
      const TrackText& text = read.tracks[t];
      std::fprintf(f, "TITLE %d %s\n", t, Utf8::Encode(text.title).c_str());
      std::fprintf(f, "PERFORMER %d %s\n", t, Utf8::Encode(text.artist).c_str());
    }
    std::fclose(f);
  }
}

#include "recorder/CdText.h"

#include <algorithm>
#include <memory>

#include "recorder/CdTextTables.h"
#include "recorder/Subchannel.h"

namespace Recorder {
namespace {

const unsigned kSizeInfoPacks = 3;
const std::size_t kMaxTextEntries = 100;  // the disc and 99 tracks

bool IsDoubleByte(unsigned char code) { return code & 0x80; }

// ISO 8859-1 with five characters of its own.
int Iso8859Code(wchar_t c) {
  switch (c) {
    case 0x2588:
      return 0x7F;
    case 0x2580:
      return 0xA0;
    case 0x266A:
      return 0xA8;
    case 0x2117:
      return 0xAD;
    case 0x271D:
      return 0xB8;
    case 0x00:
    case 0x7F:
    case 0xA0:
    case 0xA8:
    case 0xAD:
    case 0xB8:
      return -1;
    default:
      return c < 0x100 ? c : -1;
  }
}

// A double-byte table indexed by the UTF-16 character; 0: no code.
class DoubleByteTable {
 public:
  DoubleByteTable(const CharPair* pairs, std::size_t count) : codes_(new uint16_t[0x10000]()) {
    for (std::size_t i = 0; i < count; ++i) codes_[pairs[i].character] = pairs[i].code;
  }
  uint16_t operator[](wchar_t c) const { return codes_[static_cast<uint16_t>(c)]; }

 private:
  std::unique_ptr<uint16_t[]> codes_;
};

const DoubleByteTable* TableOf(unsigned char code) {
  static const DoubleByteTable msJis(kMsJisPairs, kMsJisPairsCount);
  static const DoubleByteTable korean(kKoreanPairs, kKoreanPairsCount);
  static const DoubleByteTable mandarin(kMandarinPairs, kMandarinPairsCount);
  switch (code) {
    case kCharMsJis:
      return &msJis;
    case kCharKorean:
      return &korean;
    case kCharMandarin:
      return &mandarin;
    default:
      return nullptr;
  }
}

// The code of a character, -1 when it has none.
int CharCode(unsigned char code, wchar_t c) {
  if (code == kCharIso8859) return Iso8859Code(c);
  const DoubleByteTable* table = TableOf(code);
  const int value = table ? (*table)[c] : 0;
  return value ? value : -1;
}

// Whether a byte of a double-byte text is a character of its own: below 0x80,
// and in MS-JIS the half-width katakana, as in Shift-JIS.
bool SingleByte(unsigned char code, unsigned value) {
  return value < 0x80 || (code == kCharMsJis && value >= 0xA1 && value <= 0xDF);
}

// The encoded characters of one text, at most `limit` of them, and the terminator.
// Readers take a double-byte block two bytes at a time and find a text's end
// only in an aligned 00 00: a double-byte text of odd byte count therefore gets
// one more zero, so that its end is seen and the next text starts on a two-byte
// boundary. Without it libcdio loses the next text and libburn files every later
// text under the track before its own.
void AppendText(std::vector<unsigned char>& out, unsigned char code, const std::wstring& text,
                std::size_t limit) {
  const bool wide = IsDoubleByte(code);
  const std::size_t start = out.size();
  std::size_t placed = 0;
  for (wchar_t c : text) {
    if (placed == limit) break;
    const int value = CharCode(code, c);
    if (value < 0) continue;
    if (!wide || SingleByte(code, value)) {
      out.push_back(static_cast<unsigned char>(value));
    } else if (value < 0x100) {
      out.push_back(kCdTextSubstitute);  // `00 xx` would end the text for readers
    } else {
      out.push_back(static_cast<unsigned char>(value >> 8));
      out.push_back(static_cast<unsigned char>(value));
    }
    ++placed;
  }
  if (wide && (out.size() - start) % 2) out.push_back(0);
  out.push_back(0);
  if (wide) out.push_back(0);
}

// The bytes of the character that starts at `at` in encoded texts, given the
// bytes of its text before it; a double-byte terminator is two, with the zero
// that aligns the next text three.
std::size_t CharBytes(const std::vector<unsigned char>& bytes, std::size_t at, unsigned char code,
                      std::size_t textBytes) {
  if (!IsDoubleByte(code)) return 1;
  if (bytes[at] != 0) return SingleByte(code, bytes[at]) ? 1 : 2;
  return textBytes % 2 ? 3 : 2;
}

unsigned PackCount(std::size_t bytes) { return static_cast<unsigned>((bytes + 11) / 12); }

struct EncodedTexts {
  std::vector<unsigned char> titles, performers;
};

EncodedTexts Encode(const DiscInfo& texts, unsigned char code, std::size_t limit) {
  EncodedTexts e;
  const std::size_t entries = std::min(texts.tracks.size(), kMaxTextEntries);
  for (std::size_t i = 0; i < entries; ++i)
    AppendText(e.titles, code, texts.tracks[i].title, limit);
  for (std::size_t i = 0; i < entries; ++i)
    AppendText(e.performers, code, texts.tracks[i].artist, limit);
  return e;
}

bool Fits(const EncodedTexts& e) {
  return PackCount(e.titles.size()) + PackCount(e.performers.size()) <= kMaxCdTextTextPacks;
}

// The texts with every one cut to the longest length that lets them all fit in
// one block.
EncodedTexts EncodeToFit(const DiscInfo& texts, unsigned char code) {
  std::size_t longest = 0;
  for (const TrackText& t : texts.tracks)
    longest = std::max({longest, t.title.size(), t.artist.size()});
  EncodedTexts e = Encode(texts, code, longest);
  if (Fits(e)) return e;
  std::size_t fits = 0, fails = longest;  // Encode(fits) fits, Encode(fails) does not
  while (fails - fits > 1) {
    const std::size_t mid = fits + (fails - fits) / 2;
    (Fits(Encode(texts, code, mid)) ? fits : fails) = mid;
  }
  return Encode(texts, code, fits);
}

void Serialise(const CdTextPack& pack, unsigned char sequence, unsigned char flag,
               std::vector<unsigned char>& out, SubchannelCrc& crc) {
  const std::size_t at = out.size();
  out.insert(out.end(),
             {pack.type, pack.track, sequence, static_cast<unsigned char>(pack.id4 | flag)});
  out.insert(out.end(), pack.payload.begin(), pack.payload.end());
  crc.reset();
  crc.process_bytes(out.data() + at, 16);
  const unsigned sum = crc.checksum();
  out.push_back(static_cast<unsigned char>(sum >> 8));
  out.push_back(static_cast<unsigned char>(sum));
}

}  // namespace

unsigned char ChooseCdTextCharCode(const DiscInfo& texts) {
  unsigned char best = kCharIso8859;
  std::size_t bestCount = 0;
  for (unsigned char code : {kCharIso8859, kCharMsJis, kCharKorean, kCharMandarin}) {
    std::size_t count = 0;
    for (const TrackText& t : texts.tracks) {
      for (wchar_t c : t.artist) count += CharCode(code, c) >= 0;
      for (wchar_t c : t.title) count += CharCode(code, c) >= 0;
    }
    if (count > bestCount) {
      best = code;
      bestCount = count;
    }
  }
  return best;
}

std::vector<unsigned char> EncodeCdText(unsigned char code, const std::wstring& text) {
  std::vector<unsigned char> out;
  if (code == kCharIso8859 || TableOf(code)) AppendText(out, code, text, text.size());
  return out;
}

void AppendCdTextPacks(std::vector<CdTextPack>& packs, unsigned char type, unsigned block,
                       unsigned char code, const std::vector<unsigned char>& bytes) {
  const bool wide = IsDoubleByte(code);
  unsigned track = 0, position = 0;
  std::size_t filled = 0, textBytes = 0;
  auto start = [&] {
    CdTextPack pack;
    pack.type = type;
    pack.track = static_cast<unsigned char>(track);
    pack.id4 =
        static_cast<unsigned char>((code & 0x80) | (block & 7) << 4 | std::min(position, 15u));
    return pack;
  };
  CdTextPack pack = start();
  auto flushWhenFull = [&] {
    if (filled < pack.payload.size()) return;
    pack.sequence = static_cast<unsigned char>(packs.size());
    packs.push_back(pack);
    pack = start();
    filled = 0;
  };
  // A character may end in the next pack; that pack still counts it to the
  // text it started in.
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t width = CharBytes(bytes, i, code, textBytes);
    if (i + width > bytes.size()) break;
    const bool terminator = bytes[i] == 0 && (!wide || bytes[i + 1] == 0);
    for (std::size_t b = 0; b < width; ++b) {
      if (b > 0) flushWhenFull();
      pack.payload[filled++] = bytes[i + b];
    }
    i += width;
    textBytes += width;
    ++position;
    if (terminator) {
      ++track;
      position = 0;
      textBytes = 0;
    }
    flushWhenFull();
  }
  if (filled > 0) {
    pack.sequence = static_cast<unsigned char>(packs.size());
    packs.push_back(pack);
  }
}

std::vector<unsigned char> BuildCdText(const DiscInfo& texts, const RawToc::Bytes& toc) {
  const unsigned char code = ChooseCdTextCharCode(texts);
  const EncodedTexts e = EncodeToFit(texts, code);
  const unsigned titlePacks = PackCount(e.titles.size());
  const unsigned performerPacks = PackCount(e.performers.size());

  std::array<unsigned char, 36> size{};
  size[0] = code;
  // Tracks 1..N, as the packs and the burned lead-in number them.
  size[1] = 1;
  size[2] = static_cast<unsigned char>(RawToc::TrackCount(toc));
  size[4] = static_cast<unsigned char>(titlePacks);
  size[5] = static_cast<unsigned char>(performerPacks);
  size[19] = kSizeInfoPacks;
  size[20] = static_cast<unsigned char>(titlePacks + performerPacks + kSizeInfoPacks - 1);

  std::vector<CdTextPack> packs;
  AppendCdTextPacks(packs, kPackTitle, 0, code, e.titles);
  AppendCdTextPacks(packs, kPackPerformer, 0, code, e.performers);
  for (unsigned i = 0; i < kSizeInfoPacks; ++i) {
    CdTextPack pack;
    pack.type = kPackSizeInfo;
    pack.track = static_cast<unsigned char>(i);
    std::copy_n(size.begin() + 12 * i, 12, pack.payload.begin());
    packs.push_back(pack);
  }

  std::vector<unsigned char> data;
  SubchannelCrc crc;
  const unsigned char flag = code & 0x80;
  for (std::size_t i = 0; i < packs.size(); ++i)
    Serialise(packs[i], static_cast<unsigned char>(i), flag, data, crc);
  const std::size_t copies = packs.size() % 4 == 0 ? 1 : packs.size() % 4 == 2 ? 2 : 4;
  const std::vector<unsigned char> once = data;
  for (std::size_t c = 1; c < copies; ++c) data.insert(data.end(), once.begin(), once.end());
  return data;
}

}  // namespace Recorder

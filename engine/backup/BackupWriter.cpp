#include <algorithm>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/CueSheet.h"
#include "engine/backup/ElementIds.h"
#include "engine/cd/RawToc.h"
#include "engine/id3/ID3Header.h"

namespace BackupFile {
namespace {

using ID3::Bytes;
using ID3::ID3TagLib;

const char kCommentDescription[] = "TAVRIN cue sheet data";

void AppendId(Bytes& out, const std::string& id) {
  out.insert(out.end(), id.begin(), id.end());
  out.push_back(0);
}

void Add(ID3TagLib& tag, const TagFrame& f) { tag.FrameData(tag.AddFrame(f.id, f.flags)) = f.data; }

void AddAll(ID3TagLib& tag, const std::vector<TagFrame>& frames) {
  for (const TagFrame& f : frames) Add(tag, f);
}

void Embed(const ID3TagLib& tag, Bytes& parent, const std::vector<TagFrame>& frames) {
  for (const TagFrame& f : frames) {
    const Bytes bytes = tag.SerializeFrame(f.id, f.flags, f.data);
    parent.insert(parent.end(), bytes.begin(), bytes.end());
  }
}

Bytes Ctoc(const std::string& id, unsigned char flags, const std::vector<std::string>& children) {
  Bytes d;
  AppendId(d, id);
  d.push_back(flags);
  d.push_back(static_cast<unsigned char>(children.size() & 0xFF));
  for (const std::string& child : children) AppendId(d, child);
  return d;
}

Bytes Chap(const std::string& id, uint32_t startMs, uint32_t endMs, uint32_t startOffset,
           uint32_t endOffset) {
  Bytes d;
  AppendId(d, id);
  for (uint32_t v : {startMs, endMs, startOffset, endOffset}) ID3::AppendBE32(d, v);
  return d;
}

TagFrame CommentFrame(const BackupDisc& disc, const std::wstring& fileName) {
  Bytes d(1, 0x00);
  const std::string language = CommentLanguage();
  d.insert(d.end(), language.begin(), language.end());
  d.insert(d.end(), kCommentDescription, kCommentDescription + sizeof kCommentDescription);
  for (char c : MakeCueSheet(disc, ToAnsi(fileName), "MP3", false)) {
    if (c == '\n') d.push_back('\r');
    d.push_back(static_cast<unsigned char>(c));
  }
  return TagFrame{"COMM", 0, std::move(d)};
}

TagFrame McdiFrame(const BackupDisc& disc) { return TagFrame{"MCDI", kReadOnly, disc.toc}; }

// Only discs whose entries match their TOC are written: entry 0 is always there.
unsigned TrackEntries(const BackupDisc& disc) {
  return static_cast<unsigned>(disc.disc.tracks.size() - 1);
}

std::vector<std::string> TrackIds(unsigned disc, unsigned tracks) {
  std::vector<std::string> ids;
  for (unsigned k = 1; k <= tracks; ++k) ids.push_back(TrackElementId(disc, k));
  return ids;
}

void AddTrackChapters(ID3TagLib& tag, const BackupDisc& disc, unsigned number, int32_t base,
                      int32_t& lastEnd) {
  const unsigned tracks = TrackEntries(disc);
  for (unsigned k = 1; k <= tracks; ++k) {
    const int32_t start = base + RawToc::TrackStartMs(k, disc.toc);
    lastEnd = start + RawToc::TrackLengthMs(k, disc.toc);
    const unsigned i = tag.AddFrame("CHAP", kReadOnly);
    tag.FrameData(i) = Chap(TrackElementId(number, k), start, lastEnd, kNoOffset, kNoOffset);
    Embed(tag, tag.FrameData(i),
          MakeTextFrames(tag, k, 0, 0, disc.disc, RawToc::TrackLengthMs(k, disc.toc)));
  }
}

bool OffsetFits(int64_t offset) { return offset >= 0 && offset <= kMaxBackupBytes; }

bool WriteSingleDisc(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
                     const std::wstring& fileName) {
  if (discs.empty() || !EntriesMatchToc(discs[0])) return false;
  const BackupDisc& disc = discs[0];
  std::unique_ptr<ID3TagLib> tag = ID3::CreateEmpty();
  if (!tag) return false;
  const std::vector<TagFrame> album =
      MakeTextFrames(*tag, 0, 0, 0, disc.disc, RawToc::TrackStartMs(0, disc.toc));
  AddAll(*tag, album);
  Add(*tag, CommentFrame(disc, fileName));
  Add(*tag, McdiFrame(disc));
  const unsigned toc = tag->AddFrame("CTOC", kReadOnly);
  tag->FrameData(toc) = Ctoc("TOC", kTopLevelOrdered, TrackIds(0, TrackEntries(disc)));
  Embed(*tag, tag->FrameData(toc), album);
  int32_t lastEnd = 0;
  AddTrackChapters(*tag, disc, 0, 0, lastEnd);
  AddAll(*tag, disc.pictures);
  return tag->Write(os);
}

bool WriteDiscs(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
                const std::wstring& fileName) {
  if (discs.empty() || discs.size() > kMaxDiscs) return false;
  for (const BackupDisc& disc : discs)
    if (!EntriesMatchToc(disc)) return false;
  if (discs.size() == 1) return WriteSingleDisc(os, discs, fileName);
  const int n = static_cast<int>(discs.size());
  const std::streamoff first = discs[0].audioStart;
  // Byte ranges of the discs, counted from the end of the tag; every stored
  // offset must fit the format's 32 bits and the program's 2 GiB.
  std::vector<std::pair<uint32_t, uint32_t>> ranges;
  for (int i = 0; i < n; ++i) {
    const int64_t start = std::streamoff(discs[i].audioStart) - first;
    const int64_t end = start + discs[i].audioSize;
    if (!OffsetFits(start) || (i + 1 < n && !OffsetFits(end))) return false;
    ranges.emplace_back(uint32_t(start), i + 1 < n ? uint32_t(end) : kNoOffset);
  }

  std::unique_ptr<ID3TagLib> tag = ID3::CreateEmpty();
  if (!tag) return false;
  AddAll(*tag, MakeTextFrames(*tag, 0, 0, 0, discs[0].disc, 0));
  std::vector<std::string> discIds;
  for (int i = 1; i <= n; ++i) discIds.push_back(DiscElementId(i));
  Add(*tag, TagFrame{"CTOC", kReadOnly, Ctoc("TOC", kTopLevelOrdered, discIds)});
  for (int i = 1; i <= n; ++i) {
    const BackupDisc& disc = discs[i - 1];
    std::vector<std::string> children = TrackIds(i, TrackEntries(disc));
    children.insert(children.begin(), ChunkElementId(i));
    const unsigned f = tag->AddFrame("CTOC", kReadOnly);
    tag->FrameData(f) = Ctoc(discIds[i - 1], kOrdered, children);
    std::vector<TagFrame> embedded =
        MakeTextFrames(*tag, 0, i, n, disc.disc, RawToc::TrackStartMs(0, disc.toc));
    embedded.push_back(CommentFrame(disc, fileName));
    embedded.push_back(McdiFrame(disc));
    Embed(*tag, tag->FrameData(f), embedded);
  }
  int32_t base = 0;
  for (int i = 1; i <= n; ++i) {
    const BackupDisc& disc = discs[i - 1];
    const int32_t start = base + RawToc::TrackStartMs(1, disc.toc);
    int32_t lastEnd = start + RawToc::TrackLengthMs(0, disc.toc);
    Add(*tag, TagFrame{"CHAP", kReadOnly,
                       Chap(ChunkElementId(i), start, lastEnd, ranges[i - 1].first,
                            ranges[i - 1].second)});
    AddTrackChapters(*tag, disc, i, base, lastEnd);
    base = lastEnd + kGapMs;
  }
  AddAll(*tag, discs[0].pictures);
  return tag->Write(os);
}

}  // namespace

const std::array<unsigned char, kGapBlockBytes>& GapFrame() {
  static const std::array<unsigned char, kGapBlockBytes> block = [] {
    std::array<unsigned char, kGapBlockBytes> b;
    b.fill(0xFF);
    // The padding bit is set: 626 bytes of frame and its padding byte.
    const unsigned char head[] = {0xFF, 0xFB, 0xB2, 0x40, 0x00, 0x00, 0x08, 0x00, 0x00,
                                  0x4B, 0x80, 0x00, 0x00, 0x08, 0x00, 0x00, 0x09, 0x70,
                                  0x00, 0x00, 0x01, 0x00, 0x00, 0x01, 0x2E, 0x00, 0x00,
                                  0x00, 0x20, 0x00, 0x00, 0x25, 0xC0, 0x00, 0x00, 0x04};
    std::copy(std::begin(head), std::end(head), b.begin());
    return b;
  }();
  return block;
}

bool WriteSingleDiscTag(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
                        const std::wstring& fileName) {
  try {
    return WriteSingleDisc(os, discs, fileName);
  } catch (const std::bad_alloc&) {
    return false;  // the tag is built in memory before anything is written
  }
}

bool WriteTag(ID3::ByteOStream& os, const std::vector<BackupDisc>& discs,
              const std::wstring& fileName) {
  try {
    return WriteDiscs(os, discs, fileName);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace BackupFile

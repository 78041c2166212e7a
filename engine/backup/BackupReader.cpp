#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <unordered_map>

#include "engine/backup/BackupFormat.h"
#include "engine/backup/ElementIds.h"
#include "engine/backup/PictureFrame.h"
#include "engine/cd/RawToc.h"
#include "engine/id3/ID3Header.h"

namespace BackupFile {
namespace {

using ID3::Bytes;

// Track numbers above this are refused before anything grows, as are disc
// numbers above kMaxDiscs.
const unsigned kMaxTracks = 99;
const std::size_t kMinChap = 21;
const std::size_t kChapFields = 16;

// The values of the five text frames that the reader takes, as last seen.
class TextTable {
 public:
  bool Take(const std::string& id, const Bytes& data, const ID3::ID3TagLib& tag) {
    static const char* const kIds[] = {"TIT2", "TPE1", "TALB", "TCON", "TYER"};
    for (int i = 0; i < 5; ++i) {
      if (id == kIds[i]) {
        values_[i] = tag.DecodeText(data);
        return true;
      }
    }
    return false;
  }
  void TakeEmbedded(const Bytes& data, std::size_t from) {
    if (from >= data.size()) return;
    const auto frames = ID3::CreateFromFrames(Bytes(data.begin() + from, data.end()));
    if (!frames) return;
    for (unsigned i = 0; i < frames->GetFrameCount(); ++i)
      Take(frames->GetFrameId(i), frames->GetFrameData(i), *frames);
  }
  void Clear() {
    for (std::wstring& v : values_) v.clear();
  }
  void ApplyTo(TrackText& t) const {
    t.artist = artist();
    t.title = title();
    t.genre = genre();
    t.year = year();
  }
  const std::wstring& title() const { return values_[0]; }
  const std::wstring& artist() const { return values_[1]; }
  const std::wstring& album() const { return values_[2]; }
  const std::wstring& genre() const { return values_[3]; }
  int32_t year() const { return ToIntOrW(values_[4], 0); }

 private:
  std::wstring values_[5];
};

// The element id (up to the first zero byte among the first `limit` bytes).
bool ElementId(const Bytes& d, std::size_t limit, std::string& id, std::size_t& zero) {
  const auto end = d.begin() + std::min(limit, d.size());
  const auto at = std::find(d.begin(), end, 0);
  if (at == end) return false;
  id.assign(d.begin(), at);
  zero = static_cast<std::size_t>(at - d.begin());
  return true;
}

// Element ids listed by the CTOC frames, in order; a disc table takes its id off
// the list, so each disc's id matches one table only.
class ChildList {
 public:
  void Add(const std::string& id) { occurrences_[id].push_back(count_++); }
  bool Contains(const std::string& id) const {
    const auto at = occurrences_.find(id);
    return at != occurrences_.end() && !at->second.empty();
  }
  // The first occurrence's position in the listing, from 1; 0 when the id is not
  // listed. Asked only of a file without disc tables, where nothing was taken off.
  std::size_t Position(const std::string& id) const {
    return Contains(id) ? occurrences_.at(id).front() + 1 : 0;
  }
  void RemoveFirst(const std::string& id) { occurrences_[id].pop_front(); }

 private:
  std::unordered_map<std::string, std::deque<std::size_t>> occurrences_;
  std::size_t count_ = 0;
};

class Reader {
 public:
  explicit Reader(ID3::ByteIStream& is) : is_(is) {}
  std::vector<BackupDisc> Read();

 private:
  bool Frame(unsigned i);
  void TopLevelToc(const Bytes& d);
  bool Ctoc(const Bytes& d);
  bool DiscTable(const std::string& id, unsigned count, const Bytes& d, std::size_t rest);
  bool Chap(unsigned i, const Bytes& d);
  bool Chunk(unsigned n, const Bytes& d, std::size_t fields);
  void TopLevelText(const std::string& id, const Bytes& d);
  bool Complete(const BackupDisc& disc) const;
  std::vector<BackupDisc> Finish();

  ID3::ByteIStream& is_;
  std::unique_ptr<ID3::ID3TagLib> tag_;
  uint64_t tagSize_ = 0;
  uint64_t dataSize_ = 0;
  uint64_t fileEnd_ = 0;
  BackupDisc scratch_;
  TextTable table_;
  ChildList children_;
  unsigned tables_ = 0;
  // A single disc's chapters by their place among the listed ids, found once
  // the whole tag is read, so that a tag editor's frame order does not matter.
  std::vector<std::pair<std::string, unsigned>> trackChapters_;
  // Discs whose track chapters came before their table: a tag whose frames
  // were reordered, which cannot be read back faithfully.
  std::set<unsigned> discsWithEarlyChapters_;
  unsigned entries_ = 0;
  std::vector<BackupDisc> discs_;
  bool topLevelToc_ = false;
};

std::vector<BackupDisc> Reader::Read() {
  tag_ = ID3::CreateFromStream(is_);
  if (!tag_) return {};
  tagSize_ = tag_->GetTagSize();
  dataSize_ = tag_->GetDataSize();
  is_.clear();
  is_.seekg(0, std::ios_base::end);
  if (!is_.good()) return {};
  fileEnd_ = static_cast<uint64_t>(std::streamoff(is_.tellg()));
  // A copy cut short inside its tag holds no audio.
  if (tagSize_ > fileEnd_ || dataSize_ > uint64_t(kMaxBackupBytes)) return {};
  scratch_.audioStart = std::streamoff(tagSize_);
  scratch_.audioSize = static_cast<int32_t>(dataSize_);
  for (unsigned i = 0; i < tag_->GetFrameCount(); ++i)
    if (!Frame(i)) return {};
  return Finish();
}

bool Reader::Frame(unsigned i) {
  const std::string id = tag_->GetFrameId(i);
  const Bytes& d = tag_->GetFrameData(i);
  if (id == "MCDI") {
    TopLevelToc(d);
  } else if (id == "CTOC") {
    return Ctoc(d);
  } else if (id == "CHAP") {
    return Chap(i, d);
  } else if (id == "APIC") {
    TagFrame picture{"APIC", 0, d};
    int kind = 0;
    std::wstring description;
    Bytes bytes;
    if (ParsePictureFrame(picture, kind, description, bytes))
      scratch_.pictures.push_back(std::move(picture));
  } else {
    TopLevelText(id, d);
  }
  return true;
}

void Reader::TopLevelToc(const Bytes& d) {
  // Any first track number: a disc numbered from track 3 is a disc like any other.
  if (topLevelToc_ || !RawToc::Usable(d)) return;
  scratch_.toc = d;
  topLevelToc_ = true;
}

void Reader::TopLevelText(const std::string& id, const Bytes& d) {
  if (!table_.Take(id, d, *tag_)) return;
  if (scratch_.disc.tracks.empty()) scratch_.disc.tracks.emplace_back();
  TrackText& album = scratch_.disc.tracks[0];
  if (id == "TIT2") album.title = table_.title();
  if (id == "TPE1") album.artist = table_.artist();
  if (id == "TCON") album.genre = scratch_.disc.category = table_.genre();
  if (id == "TYER") album.year = table_.year();
}

bool Reader::Ctoc(const Bytes& d) {
  // A backup holds one table per disc and the top-level one.
  if (++tables_ > kMaxDiscs + 1) return false;
  if (d.size() < 2) return true;
  std::string id;
  std::size_t zero = 0;
  if (!ElementId(d, d.size() - 2, id, zero)) return true;
  const std::size_t flagsAt = zero + 1;
  const unsigned count = d[flagsAt + 1];
  if (d.size() < flagsAt + count + 2) return true;
  std::size_t at = flagsAt + 2;
  for (unsigned c = 0; c < count; ++c) {
    const auto end = std::find(d.begin() + at, d.end(), 0);
    if (end == d.end()) {
      at = d.size();
      break;
    }
    children_.Add(std::string(d.begin() + at, end));
    at = static_cast<std::size_t>(end - d.begin()) + 1;
  }
  if (d[flagsAt] & 0x02) {
    entries_ = count;
    table_.TakeEmbedded(d, at);
    return true;
  }
  return DiscTable(id, count, d, at);
}

bool Reader::DiscTable(const std::string& id, unsigned count, const Bytes& d, std::size_t rest) {
  unsigned n = 0;
  if (!ParseDiscElementId(id, n) || n < 1 || n > kMaxDiscs) return false;
  if (discs_.size() < n) discs_.resize(n);
  if (!children_.Contains(id) || discsWithEarlyChapters_.count(n)) return false;
  children_.RemoveFirst(id);
  entries_ = count;
  if (rest >= d.size()) return true;
  // Each table carries its own texts: nothing is inherited from the one before.
  table_.Clear();
  const auto frames = ID3::CreateFromFrames(Bytes(d.begin() + rest, d.end()));
  if (!frames) return false;
  bool toc = false;
  for (unsigned i = 0; i < frames->GetFrameCount(); ++i) {
    const std::string fid = frames->GetFrameId(i);
    if (fid == "MCDI") {
      scratch_.toc = frames->GetFrameData(i);
      // The pictures go to the first disc once the whole tag is read.
      BackupDisc& disc = discs_[n - 1];
      disc.disc = scratch_.disc;
      disc.toc = scratch_.toc;
      disc.audioStart = scratch_.audioStart;
      disc.audioSize = scratch_.audioSize;
      toc = true;
    } else {
      table_.Take(fid, frames->GetFrameData(i), *frames);
    }
  }
  if (!toc) return false;
  BackupDisc& disc = discs_[n - 1];
  if (!RawToc::Usable(disc.toc)) return false;
  disc.disc.tracks.resize(RawToc::TrackCount(disc.toc) + 1);
  table_.ApplyTo(disc.disc.tracks[0]);
  disc.disc.category = table_.genre();
  return true;
}

bool Reader::Chap(unsigned i, const Bytes& d) {
  std::string id;
  std::size_t zero = 0;
  if (d.size() < kMinChap || !ElementId(d, d.size(), id, zero)) return true;
  unsigned disc = 0, track = 0;
  const bool chunk = ParseChapterElementId(id, disc, track);
  const std::size_t fields = zero + 1;
  if (disc == 0) {
    trackChapters_.emplace_back(id, i);
    return true;
  }
  if (d.size() < fields + kChapFields) return true;
  if (chunk) return Chunk(disc, d, fields);
  if (track == 0 || disc > kMaxDiscs || track > kMaxTracks) return false;
  if (discs_.size() < disc) discs_.resize(disc);
  if (discs_[disc - 1].toc.empty()) discsWithEarlyChapters_.insert(disc);
  std::vector<TrackText>& tracks = discs_[disc - 1].disc.tracks;
  if (tracks.size() < track + 1) tracks.resize(track + 1);
  table_.Clear();
  table_.TakeEmbedded(d, fields + kChapFields);
  table_.ApplyTo(tracks[track]);
  return true;
}

// A whole disc's byte range, counted from the end of the tag.
bool Reader::Chunk(unsigned n, const Bytes& d, std::size_t fields) {
  if (discs_.size() < n) return false;
  const uint64_t start = ID3::ReadBE32(&d[fields + 8]);
  const uint32_t end = ID3::ReadBE32(&d[fields + 12]);
  if (tagSize_ + start > fileEnd_) return false;
  uint64_t size = 0;
  if (end == kNoOffset) {
    if (start > dataSize_) return false;
    size = dataSize_ - start;
  } else {
    if (end < start || tagSize_ + end > fileEnd_) return false;
    size = end - start;
  }
  if (size > uint64_t(kMaxBackupBytes)) return false;
  discs_[n - 1].audioStart = std::streamoff(tagSize_ + start);
  discs_[n - 1].audioSize = static_cast<int32_t>(size);
  return true;
}

bool Reader::Complete(const BackupDisc& disc) const {
  return RawToc::Usable(disc.toc) && !disc.disc.tracks.empty();
}

std::vector<BackupDisc> Reader::Finish() {
  if (!discs_.empty()) {
    discs_[0].pictures = scratch_.pictures;
    if (topLevelToc_) {
      if (discs_.size() > 1) return {};
      BackupDisc& only = discs_[0];
      only.toc = scratch_.toc;
      if (!scratch_.disc.tracks.empty()) {
        if (only.disc.tracks.empty()) only.disc.tracks.emplace_back();
        only.disc.tracks[0] = scratch_.disc.tracks[0];
      }
      only.audioStart = scratch_.audioStart;
      only.audioSize = scratch_.audioSize;
    }
    for (BackupDisc& disc : discs_) {
      if (!Complete(disc)) return {};
      FitEntriesToToc(disc.disc, disc.toc);
    }
    return discs_;
  }
  std::map<std::size_t, unsigned> chapters;
  for (const auto& chapter : trackChapters_) {
    const std::size_t position = children_.Position(chapter.first);
    if (position >= 1 && position <= kMaxTracks) chapters[position] = chapter.second;
  }
  if (chapters.size() == entries_) {
    std::vector<TrackText>& tracks = scratch_.disc.tracks;
    tracks.resize(entries_ + 1);
    tracks[0].artist = table_.artist();
    tracks[0].genre = scratch_.disc.category = table_.genre();
    tracks[0].year = table_.year();
    tracks[0].title = table_.album();
    for (unsigned k = 1; k <= entries_; ++k) {
      const auto chapter = chapters.find(k);
      if (chapter == chapters.end()) break;
      table_.Clear();
      const Bytes& d = tag_->GetFrameData(chapter->second);
      std::string id;
      std::size_t zero = 0;
      const std::size_t from =
          ElementId(d, d.size() - kChapFields - 1, id, zero) ? zero + kChapFields + 1 : d.size();
      table_.TakeEmbedded(d, from);
      table_.ApplyTo(tracks[k]);
    }
  }
  if (!Complete(scratch_)) return {};
  FitEntriesToToc(scratch_.disc, scratch_.toc);
  return {scratch_};
}

}  // namespace

std::vector<BackupDisc> ReadDiscs(ID3::ByteIStream& is) {
  try {
    return Reader(is).Read();
  } catch (const std::bad_alloc&) {
    return {};  // a file too large to hold in memory is no backup this program can use
  }
}

}  // namespace BackupFile

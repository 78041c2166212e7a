#include "engine/backup/PictureFrame.h"

#include <algorithm>
#include <cstring>

#include "engine/backup/BackupFormat.h"
#include "engine/id3/ID3Frame.h"

namespace BackupFile {
namespace {

const char kJpeg[] = "image/jpeg";
const char kPng[] = "image/png";
const std::size_t kMinPictureFrame = 64;

// ID3v2 picture types of the kinds 0 to 4: other, front cover, back cover,
// leaflet (the inlay) and media (the label).
const unsigned char kPictureTypes[] = {0, 3, 4, 5, 6};

unsigned char PictureTypeOfKind(int kind) { return kind > 0 && kind < 5 ? kPictureTypes[kind] : 0; }

int KindOfPictureType(unsigned char type) {
  for (int kind = 1; kind < 5; ++kind)
    if (kPictureTypes[kind] == type) return kind;
  return 0;
}

}  // namespace

bool MakePictureFrame(TagFrame& out, const std::wstring& description, const ID3::Bytes& jpeg,
                      int kind) {
  std::unique_ptr<ID3::ID3TagLib> tag = ID3::CreateEmpty();
  if (!tag) return false;
  const ID3::Bytes text = tag->EncodeText(description);
  const bool wide = text[0] != 0;
  const std::size_t size = 1 + sizeof kJpeg + 1 + (text.size() - 1) + (wide ? 2 : 1) + jpeg.size();
  // Larger frames are refused when the tag is read back.
  if (size > ID3::kMaxStreamFrameSize) return false;
  ID3::Bytes data;
  try {
    data.reserve(size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  data.push_back(text[0]);
  data.insert(data.end(), kJpeg, kJpeg + sizeof kJpeg);
  data.push_back(PictureTypeOfKind(kind));
  data.insert(data.end(), text.begin() + 1, text.end());
  data.insert(data.end(), wide ? 2 : 1, 0);
  data.insert(data.end(), jpeg.begin(), jpeg.end());
  out = TagFrame{"APIC", 0, std::move(data)};
  return true;
}

bool ParsePictureFrame(const TagFrame& frame, int& kind, std::wstring& description,
                       ID3::Bytes& picture) {
  picture.clear();
  const ID3::Bytes& d = frame.data;
  if (frame.id != "APIC" || d.size() < kMinPictureFrame) return false;
  const unsigned char encoding = d[0];
  const auto mimeEnd = std::find(d.begin() + 1, d.end(), 0);
  if (mimeEnd == d.end()) return false;
  const std::string mime(d.begin() + 1, mimeEnd);
  if (mime != kJpeg && mime != kPng) return false;
  const std::size_t typeAt = mime.size() + 2;
  const std::size_t from = typeAt + 1;
  // The description's terminator: one zero byte, or a zero unit for UTF-16;
  // the search stops before the last byte. An empty description is accepted.
  std::size_t end = 0;
  bool found = false;
  if (encoding == 0) {
    for (std::size_t i = from; i + 1 < d.size() && !found; ++i)
      if (d[i] == 0) end = i, found = true;
  } else {
    for (std::size_t i = from; i + 2 < d.size() && !found; i += 2)
      if (d[i] == 0 && d[i + 1] == 0) end = i, found = true;
  }
  if (!found) return false;
  ID3::Bytes text(d.begin() + from - 1, d.begin() + end);
  text[0] = encoding;
  const std::unique_ptr<ID3::ID3TagLib> tag = ID3::CreateEmpty();
  if (!tag) return false;
  description = tag->DecodeText(text);
  picture.assign(d.begin() + end + (encoding == 0 ? 1 : 2), d.end());
  kind = KindOfPictureType(d[typeAt]);
  return true;
}

}  // namespace BackupFile

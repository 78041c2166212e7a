#pragma once
#include <cstdint>
#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// The program's own small ID3v2.3 tag library. A tag is read from the start of
// an MP3 stream, created empty to be filled and written once, or made from the
// frames embedded in a CTOC or CHAP frame.
namespace ID3 {
using Bytes = std::vector<unsigned char>;
using ByteIStream = std::basic_istream<unsigned char>;
using ByteOStream = std::basic_ostream<unsigned char>;

class ID3TagLib {
 public:
  virtual ~ID3TagLib() = default;
  // Bytes of the whole ID3v2 tag, header included; 0 without one.
  virtual uint64_t GetTagSize() const = 0;
  // Bytes of the stream after the ID3v2 tag, less an ID3v1 tag.
  virtual uint64_t GetDataSize() const = 0;
  virtual bool HasId3v1() const = 0;
  virtual unsigned GetFrameCount() const = 0;
  virtual std::string GetFrameId(unsigned i) const = 0;
  virtual uint16_t GetFrameFlags(unsigned i) const = 0;
  virtual const Bytes& GetFrameData(unsigned i) const = 0;
  virtual Bytes& FrameData(unsigned i) = 0;
  virtual void RemoveFrame(unsigned i) = 0;
  // Appends a frame without data; frames keep the order in which they were added.
  virtual unsigned AddFrame(const std::string& id, uint16_t flags) = 0;
  // The bytes the tag writer would write for this frame: header and data.
  virtual Bytes SerializeFrame(const std::string& id, uint16_t flags, const Bytes& data) const = 0;
  virtual Bytes EncodeText(const std::wstring& text) const = 0;
  virtual std::wstring DecodeText(const Bytes& data) const = 0;
  virtual bool Unsupported(int) = 0;
  // Writes header, frames and padding; the tag ends on a multiple of 4096 bytes.
  virtual bool Write(ByteOStream& os) = 0;
};

// The stream is positioned at the start of the file; it is left near its end.
std::unique_ptr<ID3TagLib> CreateFromStream(ByteIStream& is);
std::unique_ptr<ID3TagLib> CreateEmpty();
// The vector holds frames only, as embedded in CTOC and CHAP frames.
std::unique_ptr<ID3TagLib> CreateFromFrames(const Bytes& frames);

bool FitsLatin1(const std::wstring& text);
}  // namespace ID3

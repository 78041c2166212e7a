#pragma once
#include <vector>

#include "engine/id3/ID3Frame.h"
#include "engine/id3/ID3Header.h"
#include "engine/id3/ID3TagLib.h"

namespace ID3 {

class ID3TagLibImpl : public ID3TagLib {
 public:
  uint64_t GetTagSize() const override { return header_.tagSize; }
  uint64_t GetDataSize() const override { return dataSize_; }
  bool HasId3v1() const override { return hasId3v1_; }
  unsigned GetFrameCount() const override { return static_cast<unsigned>(frames_.size()); }
  std::string GetFrameId(unsigned i) const override;
  uint16_t GetFrameFlags(unsigned i) const override;
  const Bytes& GetFrameData(unsigned i) const override;
  Bytes& FrameData(unsigned i) override;
  void RemoveFrame(unsigned i) override;
  unsigned AddFrame(const std::string& id, uint16_t flags) override;
  Bytes SerializeFrame(const std::string& id, uint16_t flags, const Bytes& data) const override;
  Bytes EncodeText(const std::wstring& text) const override;
  std::wstring DecodeText(const Bytes& data) const override;
  bool Unsupported(int) override { return false; }
  bool Write(ByteOStream& os) override;

  void ReadStream(ByteIStream& is);
  void ReadFrames(const Bytes& frames);

 private:
  ID3Header header_;
  std::vector<ID3Frame> frames_;
  bool hasId3v1_ = false;
  uint64_t dataSize_ = 0;
  Bytes scratch_;
};

}  // namespace ID3

#pragma once
#include <cstddef>
#include <cstdint>

namespace Crypt {

// SHA-1 as FIPS 180-1 defines it.
class CSha1 {
 public:
  CSha1();
  ~CSha1();
  CSha1(const CSha1&) = delete;
  CSha1& operator=(const CSha1&) = delete;

  void Reset();
  void Update(const unsigned char* data, std::size_t length);
  void Final();
  void CopyDigest(unsigned char* dest) const;

 private:
  void Transform(const unsigned char* block);

  uint32_t state_[5];
  uint32_t count_[2];  // message length in bits, low word first
  unsigned char buffer_[64];
  unsigned char digest_[20];
  unsigned char workspace_[64];
  uint32_t* block_;
};

}  // namespace Crypt

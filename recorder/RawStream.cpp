#include "recorder/RawStream.h"

#include <algorithm>
#include <cstring>

#include "recorder/ComSupport.h"

namespace Recorder {
namespace {

const int32_t kUnpositionedLba = -22650;  // 95:00:00 in the lead-in's running time
// The size of an unpositioned stream counts this many sectors past the end LBA.
const int32_t kUnpositionedExtra = 34222;
const ULONG kCopyChunk = 2048;

}  // namespace

RawStream::RawStream(std::unique_ptr<MainChannelReader> reader, bool cdText, const wchar_t* name,
                     DWORD mode, HRESULT* result)
    : mode_(mode),
      name_(name ? name : L""),
      reader_(std::move(reader)),
      main_(kMainBytes),
      raw_(kRawSubBytes),
      subBytes_(cdText ? kRawSubBytes : kPackedSubBytes),
      sectorBytes_(kMainBytes + subBytes_),
      nextLba_(kUnpositionedLba) {
  GetSystemTimeAsFileTime(&created_);
  const HRESULT hr = reader_ ? reader_->GetEndLba(&endLba_) : E_POINTER;
  if (result) *result = hr;
  size_ = static_cast<uint32_t>(uint32_t(endLba_ + kUnpositionedExtra) * sectorBytes_);
}

HRESULT RawStream::QueryInterface(REFIID iid, void** out) {
  return GiveInterface(static_cast<IStream*>(this),
                       IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
                           IsEqualIID(iid, IID_IStream),
                       out);
}

ULONG RawStream::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&references_)); }

ULONG RawStream::Release() {
  const LONG count = InterlockedDecrement(&references_);
  if (count == 0) delete this;
  return static_cast<ULONG>(count);
}

HRESULT RawStream::NextSector() {
  if (!reader_) return E_UNEXPECTED;
  const HRESULT hr = reader_->ReadSector(nextLba_++, main_, raw_);
  if (FAILED(hr)) return hr;
  if (subBytes_ == unsigned(kPackedSubBytes)) PackPQ(raw_.data(), packed_);
  left_ = sectorBytes_;
  return S_OK;
}

HRESULT RawStream::Read(void* buffer, ULONG count, ULONG* read) {
  if (read) *read = 0;
  if (!buffer && count > 0) return STG_E_INVALIDPOINTER;
  auto* out = static_cast<unsigned char*>(buffer);
  ULONG done = 0;
  try {
    while (done < count) {
      if (left_ == 0) {
        const HRESULT hr = NextSector();
        if (FAILED(hr)) return done > 0 && read ? S_OK : hr;
      }
      const unsigned offset = sectorBytes_ - left_;
      const unsigned char* from;
      unsigned available;
      if (offset < unsigned(kMainBytes)) {
        from = main_.data() + offset;
        available = kMainBytes - offset;
      } else {
        from =
            (subBytes_ == unsigned(kRawSubBytes) ? raw_.data() : packed_) + (offset - kMainBytes);
        available = left_;
      }
      const unsigned n = std::min<ULONG>(available, count - done);
      std::memcpy(out + done, from, n);
      done += n;
      left_ -= n;
      if (read) *read = done;
    }
  } catch (...) {
    // Decoding runs inside the writer's read: nothing may escape it.
    return done > 0 && read ? S_OK : STG_E_READFAULT;
  }
  return S_OK;
}

HRESULT RawStream::Seek(LARGE_INTEGER offset, DWORD origin, ULARGE_INTEGER* position) {
  int64_t p;
  switch (origin) {
    case STREAM_SEEK_SET:
      p = offset.QuadPart;
      break;
    case STREAM_SEEK_CUR:
      p = int64_t(position_) + offset.QuadPart;
      break;
    case STREAM_SEEK_END:
      p = int64_t(size_) + offset.QuadPart;
      break;
    default:
      return E_INVALIDARG;
  }
  if (p < 0) return STG_E_INVALIDFUNCTION;
  const uint64_t q = uint64_t(p) / sectorBytes_;
  nextLba_ = static_cast<int32_t>(0u - static_cast<uint32_t>(q));
  size_ = uint64_t(p) + uint32_t(uint32_t(endLba_ + q) * sectorBytes_);
  position_ = uint64_t(p);
  if (position) position->QuadPart = position_;
  return S_OK;
}

HRESULT RawStream::SetSize(ULARGE_INTEGER size) {
  size_ = size.QuadPart;
  return S_OK;
}

HRESULT RawStream::CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                          ULARGE_INTEGER* written) {
  if (read) read->QuadPart = 0;
  if (written) written->QuadPart = 0;
  if (!target) return STG_E_INVALIDPOINTER;
  unsigned char buffer[kCopyChunk];
  uint64_t left = count.QuadPart;
  HRESULT hr = S_OK;
  while (left > 0) {
    ULONG got = 0, put = 0;
    hr = Read(buffer, static_cast<ULONG>(std::min<uint64_t>(kCopyChunk, left)), &got);
    if (hr == S_FALSE) return S_OK;
    if (FAILED(hr)) return hr;
    if (read) read->QuadPart += got;
    hr = target->Write(buffer, got, &put);
    if (FAILED(hr)) return hr;
    if (written) written->QuadPart += put;
    if (put < got) return E_FAIL;
    if (got == 0) break;
    left -= got;
  }
  return hr;
}

HRESULT RawStream::Stat(STATSTG* stat, DWORD flags) {
  if (!stat) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof *stat);
  if (!(flags & STATFLAG_NONAME)) {
    const std::size_t bytes = (name_.size() + 1) * sizeof(wchar_t);
    stat->pwcsName = static_cast<LPOLESTR>(CoTaskMemAlloc(bytes));
    if (!stat->pwcsName) return STG_E_INSUFFICIENTMEMORY;
    std::memcpy(stat->pwcsName, name_.c_str(), bytes);
  }
  stat->type = STGTY_STREAM;
  stat->cbSize.QuadPart = size_;
  stat->mtime = stat->ctime = stat->atime = created_;
  stat->grfMode = mode_;
  return S_OK;
}

}  // namespace Recorder

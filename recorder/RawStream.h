#pragma once
#include <windows.h>
#include <objidl.h>

#include <memory>
#include <string>
#include <vector>

#include "recorder/MainChannelReader.h"
#include "recorder/Subchannel.h"

namespace Recorder {

// The raw sectors of one disc as a read-only COM stream for a raw-CD writer:
// 2352 main-channel bytes, then 96 raw P-W bytes (CD-Text) or 16 packed P-Q
// bytes per sector, made when they are read. Byte position p selects the next
// sector LBA -(p / sector size), so |L| sectors into the stream is lead-in
// LBA L; the size is set so that (size - position) / sector size counts the
// sectors from there to the end of the disc.
class RawStream : public IStream {
 public:
  // Starts with one reference. `result` receives the reader's GetEndLba result.
  RawStream(std::unique_ptr<MainChannelReader> reader, bool cdText, const wchar_t* name, DWORD mode,
            HRESULT* result);
  RawStream(const RawStream&) = delete;
  RawStream& operator=(const RawStream&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override;
  HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER offset, DWORD origin,
                                 ULARGE_INTEGER* position) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER count, ULARGE_INTEGER* read,
                                   ULARGE_INTEGER* written) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Revert() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

 protected:
  // Only the last Release deletes a stream.
  virtual ~RawStream() = default;

 private:
  HRESULT NextSector();

  LONG references_ = 1;
  DWORD mode_;
  std::wstring name_;
  uint64_t position_ = 0, size_ = 0;
  FILETIME created_{};
  std::unique_ptr<MainChannelReader> reader_;
  std::vector<unsigned char> main_, raw_;
  unsigned char packed_[kPackedSubBytes] = {};
  unsigned subBytes_, sectorBytes_;
  unsigned left_ = 0;  // bytes of the current sector still to hand out
  int32_t nextLba_;
  int32_t endLba_ = 0;
};

}  // namespace Recorder

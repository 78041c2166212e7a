// The data callback of a banded transfer and the default progress function.
#include <cstring>
#include <string>

#include "common/Boundary.h"
#include "common/Localizer.h"
#include "wizard/coverart/DibHeader.h"
#include "wizard/coverart/Picture.h"
#include "wizard/coverart/WiaWrap.h"

namespace WiaWrap {

namespace {

constexpr ULONG kFileHeader = 14;
// Page buffers live in one global block of the process. A page larger than the
// largest picture taken in (32 bits a pixel, the longest header and a full
// colour table) could not be used: a device never makes us hold more.
constexpr ULONGLONG kLargestPage = kFileHeader + 124 + 256 * 4 + ULONGLONG(kMaxPicturePixels) * 4;

// The translated text with %d replaced by the number and %% by %; any other
// '%' stands as it is, so a translation cannot make it read anything else.
std::wstring FormatPercent(const std::wstring& text, LONG percent) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'%' && i + 1 < text.size() && (text[i + 1] == L'd' || text[i + 1] == L'%')) {
      out += text[i + 1] == L'd' ? std::to_wstring(percent) : L"%";
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

// Calls `use` with the stream's memory locked.
template <class Use>
HRESULT WithBytes(IStream* stream, Use use) {
  HGLOBAL block = nullptr;
  HRESULT hr = GetHGlobalFromStream(stream, &block);
  if (FAILED(hr)) return hr;
  auto* bytes = static_cast<unsigned char*>(GlobalLock(block));
  if (!bytes) return E_OUTOFMEMORY;
  hr = use(bytes);
  GlobalUnlock(block);
  return hr;
}

// Whether the DIB's header leaves its height to be found from the data.
bool DibHeightUnknown(const unsigned char* dib, size_t size) {
  DibLayout::HeaderInfo layout;
  return DibLayout::ReadHeader(dib, size, layout) && layout.height == 0;
}

}  // namespace

HRESULT ProgressCallback(LONG status, LONG percent, void* parameter) {
  auto* dialog = static_cast<CProgressDlg*>(parameter);
  if (!dialog) return E_POINTER;
  if (dialog->IsCancelled()) return S_FALSE;
  const wchar_t* literal = nullptr;
  switch (status) {
    case Wia::IT_STATUS_TRANSFER_FROM_DEVICE:
      literal = L"scanning... %d%%{WIA_SCANNING}";
      break;
    case Wia::IT_STATUS_PROCESSING_DATA:
      literal = L"processing... %d%%{WIA_PROCESSING}";
      break;
    case Wia::IT_STATUS_TRANSFER_TO_CLIENT:
      literal = L"reading... %d%%{WIA_READING}";
      break;
    default:
      return E_INVALIDARG;
  }
  dialog->ShowStatus(FormatPercent(Localizer::Translate(literal), percent).c_str());
  dialog->ShowPercent(percent);
  return S_OK;
}

CDataCallback::CDataCallback(ProgressFunction progress, void* parameter, LONG* pageCount,
                             IStream*** streams)
    : progress_(progress), parameter_(parameter), pageCount_(pageCount), streams_(streams) {}

CDataCallback::~CDataCallback() {
  if (page_) page_->Release();
}

HRESULT CDataCallback::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (iid == IID_IUnknown || iid == __uuidof(IWiaDataCallback)) {
    *out = static_cast<IWiaDataCallback*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CDataCallback::AddRef() { return ULONG(InterlockedIncrement(&references_)); }

ULONG CDataCallback::Release() {
  const LONG left = InterlockedDecrement(&references_);
  if (left == 0) delete this;
  return ULONG(left);
}

HRESULT CDataCallback::Grow(ULONGLONG size) {
  if (size > kLargestPage) return E_OUTOFMEMORY;
  if (!page_) {
    const HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &page_);
    if (FAILED(hr)) return hr;
  }
  if (size <= dataSize_) return S_OK;
  ULARGE_INTEGER newSize;
  newSize.QuadPart = size;
  HRESULT hr = page_->SetSize(newSize);
  if (FAILED(hr)) return hr;
  // What no band reaches stays zero.
  const ULONGLONG from = dataSize_;
  hr = WithBytes(page_, [&](unsigned char* bytes) {
    std::memset(bytes + from, 0, size_t(size - from));
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  dataSize_ = size;
  return S_OK;
}

HRESULT CDataCallback::Shrink(ULONGLONG size) {
  ULARGE_INTEGER newSize;
  newSize.QuadPart = size;
  const HRESULT hr = page_->SetSize(newSize);
  if (SUCCEEDED(hr)) dataSize_ = size;
  return hr;
}

HRESULT CDataCallback::BandedDataCallback(LONG message, LONG status, LONG percent, LONG offset,
                                          LONG length, LONG, LONG, BYTE* buffer) {
  // A band that cannot be taken ends the transfer with its error.
  return Boundary::ComCall([&] { return Take(message, status, percent, offset, length, buffer); });
}

HRESULT CDataCallback::Take(LONG message, LONG status, LONG percent, LONG offset, LONG length,
                            BYTE* buffer) {
  switch (message) {
    case Wia::IT_MSG_DATA_HEADER: {
      if (!buffer) return E_POINTER;
      if (length < LONG(offsetof(WIA_DATA_CALLBACK_HEADER, lPageCount))) return E_INVALIDARG;
      WIA_DATA_CALLBACK_HEADER header = {};
      std::memcpy(&header, buffer, offsetof(WIA_DATA_CALLBACK_HEADER, lPageCount));
      bitmap_ = header.guidFormatID == Wia::WiaImgFmt_MEMORYBMP ||
                header.guidFormatID == Wia::WiaImgFmt_BMP;
      headerSize_ = header.guidFormatID == Wia::WiaImgFmt_MEMORYBMP ? kFileHeader : 0;
      if (header.lBufferSize <= 0) return S_OK;
      return Grow(ULONGLONG(headerSize_) + ULONGLONG(header.lBufferSize));
    }
    case Wia::IT_MSG_DATA: {
      HRESULT hr = progress_(status, percent, parameter_);
      if (hr != S_OK) return hr;
      if (offset < 0 || length < 0) return E_INVALIDARG;
      if (length && !buffer) return E_POINTER;
      if (!page_ && offset == 0 && bitmap_) {
        // The band begins with the DIB's header: the page's size is known.
        const ULONG total = DibTotalSize(buffer, size_t(length));
        if (total) {
          hr = Grow(ULONGLONG(headerSize_) + total);
          if (FAILED(hr)) return hr;
        }
      }
      const ULONGLONG end = ULONGLONG(offset) + headerSize_ + ULONGLONG(length);
      if (end > kLargestPage) return E_OUTOFMEMORY;
      hr = Grow(end);
      if (FAILED(hr)) return hr;
      LARGE_INTEGER at;
      at.QuadPart = LONGLONG(offset) + headerSize_;
      hr = page_->Seek(at, STREAM_SEEK_SET, nullptr);
      if (SUCCEEDED(hr) && length) hr = page_->Write(buffer, ULONG(length), nullptr);
      if (FAILED(hr)) return hr;
      if (end > written_) written_ = end;
      return S_OK;
    }
    case Wia::IT_MSG_STATUS: {
      const HRESULT hr = progress_(status, percent, parameter_);
      return hr != S_OK ? hr : S_OK;
    }
    case Wia::IT_MSG_TERMINATION:
    case Wia::IT_MSG_NEW_PAGE:
      return page_ ? StorePage() : S_OK;
    default:
      return S_OK;
  }
}

HRESULT CDataCallback::StorePage() {
  if (bitmap_ && dataSize_ > kFileHeader) {
    const HRESULT hr = FinishBitmap();
    if (FAILED(hr)) return hr;
  }
  auto* grown = static_cast<IStream**>(
      CoTaskMemRealloc(*streams_, (size_t(*pageCount_) + 1) * sizeof(IStream*)));
  if (!grown) return E_OUTOFMEMORY;
  *streams_ = grown;
  LARGE_INTEGER start = {};
  page_->Seek(start, STREAM_SEEK_SET, nullptr);
  // The callback's own reference goes to the caller's array.
  grown[(*pageCount_)++] = page_;
  page_ = nullptr;
  dataSize_ = written_ = 0;
  return S_OK;
}

// The DIB follows the file header, which is ours or the device's.
HRESULT CDataCallback::FinishBitmap() {
  // A page of unknown height ends where the device's data ends: zeros that
  // an announced buffer size left behind would count as rows.
  bool unknownHeight = false;
  HRESULT hr = WithBytes(page_, [&](unsigned char* bytes) {
    unknownHeight = DibHeightUnknown(bytes + kFileHeader, size_t(dataSize_ - kFileHeader));
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  if (unknownHeight && written_ > kFileHeader && written_ < dataSize_) {
    hr = Shrink(written_);
    if (FAILED(hr)) return hr;
  }
  ULONG total = 0;
  hr = WithBytes(page_, [&](unsigned char* bytes) {
    unsigned char* dib = bytes + kFileHeader;
    const size_t dibBytes = size_t(dataSize_ - kFileHeader);
    DibFixHeight(dib, dibBytes, true);
    total = DibTotalSize(dib, dibBytes);
    BITMAPFILEHEADER file = {};
    if (headerSize_ == kFileHeader && DibFillFileHeader(dib, dibBytes, &file))
      std::memcpy(bytes, &file, kFileHeader);
    return S_OK;
  });
  if (FAILED(hr)) return hr;
  // The page holds at least the whole DIB its header describes.
  return total ? Grow(ULONGLONG(kFileHeader) + total) : S_OK;
}

}  // namespace WiaWrap

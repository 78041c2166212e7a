#pragma once
// Scanning through Windows Image Acquisition: the system's device selection
// dialog, the device's scan dialog, and a banded transfer of each chosen
// image into a memory stream holding a BMP file, while a progress dialog with
// a Cancel button runs on a thread of its own.
#include <windows.h>
#include <objidl.h>

#include "wizard/coverart/wia/Wia.h"

namespace WiaWrap {

// Called on every band and status message of a transfer; S_FALSE stops the
// transfer, an error ends it with that error.
using ProgressFunction = HRESULT (*)(LONG status, LONG percent, void* parameter);

// Runs a whole acquisition. On S_OK, *pageCount streams (allocated with the
// COM task allocator, one reference each, positioned at 0) hold one BMP file
// image per page; the caller releases them and frees the array. Any other
// result passes on the failing step's answer (S_FALSE: the user closed a
// dialog or cancelled), with the pages stored so far still in the array.
HRESULT AcquireImages(HWND parent, HINSTANCE instance, LONG deviceType, LONG flags, LONG intent,
                      const GUID& format, LONG* pageCount, IStream*** streams);

// The default progress function; `parameter` is the CProgressDlg.
HRESULT ProgressCallback(LONG status, LONG percent, void* parameter);

// The progress dialog, shown on a thread of its own from construction until
// the last reference goes.
class CProgressDlg : public IUnknown {
 public:
  CProgressDlg(HWND parent, HINSTANCE instance);
  virtual ~CProgressDlg();
  CProgressDlg(const CProgressDlg&) = delete;
  CProgressDlg& operator=(const CProgressDlg&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // Non-zero once the user pressed Cancel.
  LONG IsCancelled() const;
  void ShowStatus(const wchar_t* text);
  void ShowPercent(LONG percent);
  // The dialog's window; null when it could not be shown.
  HWND Window() const { return window_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM w, LPARAM l);
  static DWORD WINAPI DialogThread(void* self);
  void BuildTemplate();

  volatile LONG references_ = 0;
  HWND window_ = nullptr;
  HWND parent_;
  volatile LONG cancelled_ = 0;
  HANDLE initialised_ = nullptr;
  HINSTANCE instance_;
  // A DLGTEMPLATE and its items.
  alignas(4) unsigned char template_[4096] = {};
  HANDLE thread_ = nullptr;
};

// Collects the bands of a transfer into one memory stream per page.
class CDataCallback : public IWiaDataCallback {
 public:
  CDataCallback(ProgressFunction progress, void* parameter, LONG* pageCount, IStream*** streams);
  virtual ~CDataCallback();
  CDataCallback(const CDataCallback&) = delete;
  CDataCallback& operator=(const CDataCallback&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE BandedDataCallback(LONG message, LONG status, LONG percent, LONG offset,
                                               LONG length, LONG reserved, LONG reservedLength,
                                               BYTE* buffer) override;

 private:
  // One message of the transfer, as BandedDataCallback answers it.
  HRESULT Take(LONG message, LONG status, LONG percent, LONG offset, LONG length, BYTE* buffer);
  // The page buffer, made on first use, grown (zero-filled) or cut to `size`.
  HRESULT Grow(ULONGLONG size);
  HRESULT Shrink(ULONGLONG size);
  HRESULT StorePage();
  HRESULT FinishBitmap();

  volatile LONG references_ = 0;
  bool bitmap_ = false;
  ULONG headerSize_ = 0;
  ULONGLONG dataSize_ = 0;
  // How far the device's bands reached into the page buffer.
  ULONGLONG written_ = 0;
  IStream* page_ = nullptr;
  ProgressFunction progress_;
  void* parameter_;
  LONG* pageCount_;
  IStream*** streams_;
};

// One property as a 32-bit int: integer types by value, VT_R4 and VT_R8
// rounded; E_FAIL for any other type (and for a missing property).
HRESULT GetIntProperty(IWiaPropertyStorage* storage, const PROPSPEC& spec, LONG* value);

// Sizes of a packed DIB (the header's first field is its size) of which
// `available` bytes can be read. A header size other than 12, 40, 52, 56, 108 or 124,
// or a header that does not fit, is no DIB: the functions give 0 or false.
ULONG DibHeaderSize(const void* dib, size_t available);
ULONG DibRowBytes(LONG width, WORD bitsPerPixel);
// Header, colour table or masks, pixels and a trailing colour profile.
ULONG DibTotalSize(const void* dib, size_t available);
// Where the pixels start.
ULONG DibPixelOffset(const void* dib, size_t available);
// Sets a height of 0 (and an image size of 0) from the `dataSize` bytes of
// the DIB, negative when the rows run top-down.
bool DibFixHeight(void* dib, size_t dataSize, bool topDown);
// The BMP file header in front of the DIB.
bool DibFillFileHeader(const void* dib, size_t available, BITMAPFILEHEADER* header);

}  // namespace WiaWrap

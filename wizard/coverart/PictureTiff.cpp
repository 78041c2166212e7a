// TIFF pictures through the system's imaging component, where it exists.
#include <windows.h>
#include <wincodec.h>

#include <cstring>

#include "common/ComPtr.h"
#include "wizard/coverart/Dib.h"
#include "wizard/coverart/PictureDensity.h"

SharedBytes DecodeTiff(const std::vector<unsigned char>& bytes);

SharedBytes DecodeTiff(const std::vector<unsigned char>& bytes) {
  ComPtr<IWICImagingFactory> factory;
  ComPtr<IWICStream> stream;
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  ComPtr<IWICFormatConverter> converter;
  if (bytes.size() > 0x7FFFFFFF ||
      FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, factory.PutVoid())) ||
      FAILED(factory->CreateStream(stream.Put())) ||
      FAILED(stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), DWORD(bytes.size()))) ||
      FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                              decoder.Put())) ||
      FAILED(decoder->GetFrame(0, frame.Put())) ||
      FAILED(factory->CreateFormatConverter(converter.Put())) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat24bppBGR,
                                   WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)))
    return nullptr;
  UINT width = 0, height = 0;
  if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 ||
      width > UINT(kMaxPictureSide) || height > UINT(kMaxPictureSide) ||
      (long long)width * height > kMaxPicturePixels)
    return nullptr;
  double dpiX = 0, dpiY = 0;
  frame->GetResolution(&dpiX, &dpiY);
  SharedBytes dib = DibLayout::Make24(int(width), int(height), PictureDensity::FromDpi(dpiX),
                                      PictureDensity::FromDpi(dpiY));
  const UINT stride = DibLayout::Stride24(int(width));
  for (UINT y = 0; y < height; ++y) {
    const WICRect row = {0, INT(y), INT(width), 1};
    BYTE* to = dib->data() + sizeof(BITMAPINFOHEADER) + size_t(height - 1 - y) * stride;
    if (FAILED(converter->CopyPixels(&row, stride, stride, to))) return nullptr;
  }
  return dib;
}

// ImagingFactory: the imaging library's entry object, registered as the built-in class
// CLSID_ImagingFactory. It makes decoders, decoded images and bitmaps; encoders and codec
// installation are not offered (E_NOTIMPL).
#include <imaging.h>

#include <fstream>
#include <iterator>

#include "com/class_registry.h"
#include "com/com_object.h"
#include "imaging/bitmap_image.h"
#include "imaging/image_decoder.h"
#include "kernel/device.h"
#include "kernel/host_file.h"

namespace pellix::device::imaging {
namespace {

HRESULT ImageFromBytes(std::span<const uint8_t> bytes, IImage** image) {
  auto decoded = DecodeImage(bytes);
  if (!decoded) return E_FAIL;
  ImageInfo info = InfoOf(*decoded);
  *image = static_cast<IImage*>(BitmapImage::CreateReadOnly(info, std::move(decoded->frames[0].pixels)));
  return S_OK;
}

class ImagingFactory final : public com::ComObject<IImagingFactory> {
 public:
  STDMETHODIMP CreateImageFromStream(IStream* stream, IImage** image) override {
    if (!stream || !image) return E_INVALIDARG;
    *image = nullptr;
    auto bytes = ReadWholeStream(stream);
    if (!bytes) return E_FAIL;
    return ImageFromBytes(*bytes, image);
  }

  STDMETHODIMP CreateImageFromFile(const WCHAR* filename, IImage** image) override {
    if (!filename || !image) return E_INVALIDARG;
    *image = nullptr;
    Device* device = Device::Current();
    if (!device) return E_FAIL;
    auto path = device->image().MapPath(filename);
    if (!path) return E_INVALIDARG;
    // The same bound as for a stream: a picture file is never read whole beyond it.
    auto bytes = ReadHostFile(*path, 64u * 1024 * 1024);
    if (!bytes) return E_FAIL;
    return ImageFromBytes(*bytes, image);
  }

  STDMETHODIMP CreateImageFromBuffer(const VOID* buffer, UINT size, BufferDisposalFlag disposal,
                                     IImage** image) override {
    if (!buffer || !image) return E_INVALIDARG;
    *image = nullptr;
    // The bytes are decoded at once, so a buffer the image was to free goes now.
    HRESULT hr = ImageFromBytes(std::span(static_cast<const uint8_t*>(buffer), size), image);
    if (SUCCEEDED(hr) && disposal == BufferDisposalFlagCoTaskMemFree) CoTaskMemFree(const_cast<VOID*>(buffer));
    return hr;
  }

  STDMETHODIMP CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** bitmap) override {
    if (!bitmap) return E_INVALIDARG;
    *bitmap = nullptr;
    if (width == 0 || height == 0) return E_INVALIDARG;
    if (uint64_t{width} * height > kMaxCanvasPixels) return E_OUTOFMEMORY;
    *bitmap = static_cast<IBitmapImage*>(BitmapImage::Create(int(width), int(height), format));
    return S_OK;
  }

  STDMETHODIMP CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format,
                                     InterpolationHint, IBitmapImage** bitmap) override {
    if (!image || !bitmap) return E_INVALIDARG;
    *bitmap = nullptr;
    ImageInfo info;
    HRESULT hr = image->GetImageInfo(&info);
    if (FAILED(hr)) return hr;
    if (width == 0) width = info.Width;
    if (height == 0) height = info.Height;
    if (format == PixelFormatDontCare) format = info.PixelFormat;
    IBitmapImage* made = nullptr;
    hr = CreateNewBitmap(width, height, format, &made);
    if (FAILED(hr)) return hr;
    hr = image->PushIntoSink(static_cast<BitmapImage*>(made));
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    *bitmap = made;
    return S_OK;
  }

  STDMETHODIMP CreateBitmapFromBuffer(BitmapData* data, IBitmapImage** bitmap) override {
    if (!data || !bitmap || !data->Scan0) return E_INVALIDARG;
    *bitmap = nullptr;
    if (!CanConvert(data->PixelFormat)) return E_NOTIMPL;
    IBitmapImage* made = nullptr;
    HRESULT hr = CreateNewBitmap(data->Width, data->Height, data->PixelFormat, &made);
    if (FAILED(hr)) return hr;
    RECT all{0, 0, LONG(data->Width), LONG(data->Height)};
    hr = static_cast<BitmapImage*>(made)->PushPixelData(&all, data, TRUE);
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    *bitmap = made;
    return S_OK;
  }

  STDMETHODIMP CreateImageDecoder(IStream* stream, DecoderInitFlag flags, IImageDecoder** decoder) override {
    if (!stream || !decoder) return E_INVALIDARG;
    *decoder = nullptr;
    ImageDecoder* made = ImageDecoder::Create();
    HRESULT hr = made->InitDecoder(stream, flags);
    if (FAILED(hr)) {
      made->Release();
      return hr;
    }
    *decoder = made;
    return S_OK;
  }

  STDMETHODIMP CreateImageEncoderToStream(const CLSID*, IStream*, IImageEncoder** encoder) override {
    if (encoder) *encoder = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP CreateImageEncoderToFile(const CLSID*, const WCHAR*, IImageEncoder** encoder) override {
    if (encoder) *encoder = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetInstalledDecoders(UINT*, ImageCodecInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetInstalledEncoders(UINT*, ImageCodecInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP InstallImageCodec(const ImageCodecInfo*) override { return E_NOTIMPL; }
  STDMETHODIMP UninstallImageCodec(const WCHAR*, UINT) override { return E_NOTIMPL; }

 private:
  ~ImagingFactory() override = default;
  void* FindInterface(REFIID iid) override {
    return IsEqualIID(iid, IID_IImagingFactory) ? static_cast<IImagingFactory*>(this) : nullptr;
  }
};

HRESULT CreateImagingFactory(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* factory = new ImagingFactory();
  HRESULT hr = factory->QueryInterface(iid, out);
  factory->Release();
  return hr;
}

}  // namespace

PELLIX_BUILTIN_CLASS(CLSID_ImagingFactory, CreateImagingFactory);

}  // namespace pellix::device::imaging

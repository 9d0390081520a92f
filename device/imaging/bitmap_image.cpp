#include "imaging/bitmap_image.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "imaging/dc_surface.h"

namespace pellix::device::imaging {

PixelFormatID PixelFormatOf(NativeLayout layout, bool has_alpha) {
  if (has_alpha) return PixelFormat32bppARGB;
  switch (layout) {
    case NativeLayout::kIndexed1: return PixelFormat1bppIndexed;
    case NativeLayout::kIndexed4: return PixelFormat4bppIndexed;
    case NativeLayout::kIndexed8: return PixelFormat8bppIndexed;
    case NativeLayout::kRgb555: return PixelFormat16bppRGB555;
    case NativeLayout::kRgb565: return PixelFormat16bppRGB565;
    case NativeLayout::kRgb24: return PixelFormat24bppRGB;
    case NativeLayout::kRgb32: return PixelFormat32bppRGB;
    case NativeLayout::kArgb32: return PixelFormat32bppARGB;
  }
  return PixelFormat32bppARGB;
}

GUID RawFormatOf(ImageFormat format) {
  switch (format) {
    case ImageFormat::kGif: return ImageFormatGIF;
    case ImageFormat::kPng: return ImageFormatPNG;
    case ImageFormat::kJpeg: return ImageFormatJPEG;
    case ImageFormat::kBmp: return ImageFormatBMP;
  }
  return ImageFormatUndefined;
}

ImageInfo InfoOf(const DecodedImage& image) {
  ImageInfo info{};
  info.RawDataFormat = RawFormatOf(image.format);
  // Indexed GIFs with a transparent colour still report their indexed format, as the
  // platform's decoder does; the alpha shows in the flags.
  info.PixelFormat = image.format == ImageFormat::kGif ? PixelFormat8bppIndexed
                                                       : PixelFormatOf(image.layout, image.has_alpha);
  info.Width = info.TileWidth = image.width;
  info.Height = info.TileHeight = image.height;
  info.Xdpi = info.Ydpi = kImageDpi;
  info.Flags = ImageFlagsColorSpaceRGB | ImageFlagsHasRealPixelSize | ImageFlagsReadOnly |
               (image.has_alpha ? ImageFlagsHasAlpha : 0);
  return info;
}

BitmapImage::BitmapImage(int width, int height, PixelFormatID format, bool read_only)
    : width_(width), height_(height), format_(format), read_only_(read_only),
      pixels_(size_t(width) * height, 0) {
  info_ = ImageInfo{};
  info_.RawDataFormat = ImageFormatMemoryBMP;
  info_.PixelFormat = format;
  info_.Width = info_.TileWidth = UINT(width);
  info_.Height = info_.TileHeight = UINT(height);
  info_.Xdpi = info_.Ydpi = kImageDpi;
  info_.Flags = ImageFlagsColorSpaceRGB | ImageFlagsHasRealPixelSize |
                (IsAlphaPixelFormat(format) ? ImageFlagsHasAlpha : 0);
}

BitmapImage* BitmapImage::Create(int width, int height, PixelFormatID format) {
  return new BitmapImage(width, height, format, false);
}

BitmapImage* BitmapImage::CreateReadOnly(const ImageInfo& info, std::vector<uint32_t> pixels) {
  auto* image = new BitmapImage(int(info.Width), int(info.Height), info.PixelFormat, true);
  image->info_ = info;
  image->pixels_ = std::move(pixels);
  return image;
}

void* BitmapImage::FindInterface(REFIID iid) {
  if (IsEqualIID(iid, IID_IImage)) return static_cast<IImage*>(this);
  if (read_only_) return nullptr;
  if (IsEqualIID(iid, IID_IBitmapImage)) return static_cast<IBitmapImage*>(this);
  if (IsEqualIID(iid, IID_IImageSink)) return static_cast<IImageSink*>(this);
  return nullptr;
}

std::vector<uint32_t> BitmapImage::Pixels() {
  std::lock_guard lock(mutex_);
  return pixels_;
}

bool BitmapImage::RectInside(const RECT* rect, PixelRect* out) const {
  if (!rect) {
    *out = PixelRect{0, 0, width_, height_};
    return true;
  }
  *out = PixelRect{rect->left, rect->top, rect->right, rect->bottom};
  return rect->left >= 0 && rect->top >= 0 && rect->right <= width_ && rect->bottom <= height_ && !out->empty();
}

// ---- IBitmapImage ----

STDMETHODIMP BitmapImage::GetSize(SIZE* size) {
  if (!size) return E_INVALIDARG;
  *size = SIZE{width_, height_};
  return S_OK;
}

STDMETHODIMP BitmapImage::GetPixelFormatID(PixelFormatID* format) {
  if (!format) return E_INVALIDARG;
  *format = format_;
  return S_OK;
}

HRESULT BitmapImage::Open(const RECT* rect, PixelFormatID format, bool read, bool write, BitmapData* data,
                          const BitmapData* user_buffer) {
  if (!data) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (buffer_.open) return E_FAIL;
  PixelRect r;
  if (!RectInside(rect, &r)) return E_INVALIDARG;
  if (format == PixelFormatDontCare) format = CanConvert(format_) ? format_ : PixelFormat32bppARGB;
  if (!CanConvert(format)) return E_NOTIMPL;
  const int bytes_per_pixel = GetPixelFormatSize(format) / 8;
  OpenBuffer b;
  b.open = true;
  b.write_back = write;
  b.rect = r;
  b.format = format;
  if (user_buffer) {
    if (!user_buffer->Scan0 || std::abs(user_buffer->Stride) < r.width() * bytes_per_pixel) return E_INVALIDARG;
    b.bytes = static_cast<uint8_t*>(user_buffer->Scan0);
    b.stride = user_buffer->Stride;
  } else if (format == PixelFormat32bppARGB) {
    b.direct = true;
    b.bytes = reinterpret_cast<uint8_t*>(pixels_.data() + size_t(r.top) * width_ + r.left);
    b.stride = width_ * 4;
  } else {
    b.stride = LONG((r.width() * bytes_per_pixel + 3) & ~3);
    b.copy.resize(size_t(b.stride) * r.height());
    b.bytes = b.copy.data();
  }
  if (read && !b.direct)
    for (int y = 0; y < r.height(); ++y)
      ConvertFromArgb(format, pixels_.data() + size_t(r.top + y) * width_ + r.left, b.bytes + ptrdiff_t(y) * b.stride,
                      r.width());
  data->Width = UINT(r.width());
  data->Height = UINT(r.height());
  data->Stride = b.stride;
  data->PixelFormat = format;
  data->Scan0 = b.bytes;
  data->Reserved = 0;
  buffer_ = std::move(b);
  return S_OK;
}

HRESULT BitmapImage::Close(const BitmapData* data) {
  if (!data) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  if (!buffer_.open || data->Scan0 != buffer_.bytes) return E_FAIL;
  const OpenBuffer& b = buffer_;
  if (b.write_back && !b.direct)
    for (int y = 0; y < b.rect.height(); ++y)
      ConvertToArgb(b.format, b.bytes + ptrdiff_t(y) * b.stride,
                    pixels_.data() + size_t(b.rect.top + y) * width_ + b.rect.left, b.rect.width());
  buffer_ = OpenBuffer{};
  return S_OK;
}

STDMETHODIMP BitmapImage::LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data) {
  const bool user = (flags & ImageLockModeUserInputBuf) != 0;
  return Open(rect, format, (flags & ImageLockModeRead) != 0, (flags & ImageLockModeWrite) != 0, data,
              user ? data : nullptr);
}

STDMETHODIMP BitmapImage::UnlockBits(const BitmapData* data) { return Close(data); }

STDMETHODIMP BitmapImage::GetPalette(ColorPalette** palette) {
  if (!palette) return E_INVALIDARG;
  *palette = nullptr;
  return E_NOTIMPL;  // pixels are kept as colours, never as indices
}

STDMETHODIMP BitmapImage::SetPalette(const ColorPalette* palette) { return palette ? S_OK : E_INVALIDARG; }

// ---- IImage ----

STDMETHODIMP BitmapImage::GetPhysicalDimension(SIZE* size) {
  if (!size) return E_INVALIDARG;
  size->cx = LONG(std::lround(width_ * 2540.0 / info_.Xdpi));
  size->cy = LONG(std::lround(height_ * 2540.0 / info_.Ydpi));
  return S_OK;
}

STDMETHODIMP BitmapImage::GetImageInfo(ImageInfo* info) {
  if (!info) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  *info = info_;
  return S_OK;
}

STDMETHODIMP BitmapImage::SetImageFlags(UINT flags) {
  std::lock_guard lock(mutex_);
  info_.Flags = flags;
  return S_OK;
}

STDMETHODIMP BitmapImage::Draw(HDC hdc, const RECT* dst, const RECT* src) {
  if (!hdc || !dst) return E_INVALIDARG;
  PixelRect source{0, 0, width_, height_};
  if (src) {
    // The source rectangle comes in hundredths of a millimetre.
    auto px = [](LONG v, double dpi) { return int(std::lround(v * dpi / 2540.0)); };
    source = PixelRect{px(src->left, info_.Xdpi), px(src->top, info_.Ydpi), px(src->right, info_.Xdpi),
                       px(src->bottom, info_.Ydpi)};
  }
  if (source.empty()) return E_INVALIDARG;
  const PixelRect target{dst->left, dst->top, dst->right, dst->bottom};
  std::lock_guard lock(mutex_);
  const ArgbView view{pixels_.data(), width_, height_};
  Status drawn = WithSurface(hdc, [&](PixelSurface& surface) { BlendInto(surface, target, view, source); });
  return drawn.ok() ? S_OK : E_FAIL;
}

STDMETHODIMP BitmapImage::PushIntoSink(IImageSink* sink) {
  if (!sink) return E_INVALIDARG;
  ImageInfo info;
  std::vector<uint32_t> pixels;
  {
    std::lock_guard lock(mutex_);
    info = info_;
    pixels = pixels_;
  }
  info.PixelFormat = PixelFormat32bppARGB;
  RECT subarea{0, 0, width_, height_};
  HRESULT hr = sink->BeginSink(&info, &subarea);
  if (FAILED(hr)) return hr;
  int w = int(info.Width), h = int(info.Height);
  if (w <= 0 || h <= 0) w = width_, h = height_;
  if (w != width_ || h != height_) pixels = Resize(ArgbView{pixels.data(), width_, height_}, w, h);
  RECT all{0, 0, w, h};
  BitmapData data{UINT(w), UINT(h), w * 4, PixelFormat32bppARGB, pixels.data(), 0};
  hr = sink->PushPixelData(&all, &data, TRUE);
  sink->EndSink(hr);
  return hr;
}

STDMETHODIMP BitmapImage::GetThumbnail(UINT width, UINT height, IImage** thumbnail) {
  if (!thumbnail) return E_INVALIDARG;
  *thumbnail = nullptr;
  if (width == 0 || height == 0 || uint64_t{width} * height > kMaxCanvasPixels) return E_INVALIDARG;
  ImageInfo info;
  std::vector<uint32_t> pixels;
  {
    std::lock_guard lock(mutex_);
    info = info_;
    pixels = Resize(ArgbView{pixels_.data(), width_, height_}, int(width), int(height));
  }
  info.Width = info.TileWidth = width;
  info.Height = info.TileHeight = height;
  info.PixelFormat = PixelFormat32bppARGB;
  *thumbnail = static_cast<IImage*>(CreateReadOnly(info, std::move(pixels)));
  return S_OK;
}

// ---- IImageSink ----

STDMETHODIMP BitmapImage::BeginSink(ImageInfo* info, RECT* subarea) {
  if (!info) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  // The decoder is asked for this bitmap's size in straight ARGB; it scales when it differs.
  info->Width = UINT(width_);
  info->Height = UINT(height_);
  info->PixelFormat = PixelFormat32bppARGB;
  if (subarea) *subarea = RECT{0, 0, width_, height_};
  sinking_ = true;
  return S_OK;
}

STDMETHODIMP BitmapImage::EndSink(HRESULT) {
  std::lock_guard lock(mutex_);
  sinking_ = false;
  return S_OK;
}

STDMETHODIMP BitmapImage::GetPixelDataBuffer(const RECT* rect, PixelFormatID format, BOOL, BitmapData* data) {
  if (!rect) return E_INVALIDARG;
  return Open(rect, format, false, true, data, nullptr);
}

STDMETHODIMP BitmapImage::ReleasePixelDataBuffer(const BitmapData* data) { return Close(data); }

STDMETHODIMP BitmapImage::PushPixelData(const RECT* rect, const BitmapData* data, BOOL) {
  if (!rect || !data || !data->Scan0 || !CanConvert(data->PixelFormat)) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  PixelRect r;
  if (!RectInside(rect, &r)) return E_INVALIDARG;
  if (data->Width < UINT(r.width()) || data->Height < UINT(r.height())) return E_INVALIDARG;
  for (int y = 0; y < r.height(); ++y)
    ConvertToArgb(data->PixelFormat, static_cast<const uint8_t*>(data->Scan0) + ptrdiff_t(y) * data->Stride,
                  pixels_.data() + size_t(r.top + y) * width_ + r.left, r.width());
  return S_OK;
}

STDMETHODIMP BitmapImage::PushRawData(const VOID*, UINT) { return E_NOTIMPL; }
STDMETHODIMP BitmapImage::NeedTransform(UINT*) { return E_NOTIMPL; }
STDMETHODIMP BitmapImage::NeedRawProperty(void*) { return E_NOTIMPL; }
STDMETHODIMP BitmapImage::PushRawInfo(void*) { return E_NOTIMPL; }
STDMETHODIMP BitmapImage::GetPropertyBuffer(UINT, PropertyItem**) { return E_NOTIMPL; }
STDMETHODIMP BitmapImage::PushPropertyItems(UINT, UINT, PropertyItem*) { return E_NOTIMPL; }

}  // namespace pellix::device::imaging

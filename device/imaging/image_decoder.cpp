#include "imaging/image_decoder.h"

#include <algorithm>
#include <cstring>

#include "imaging/argb_pixels.h"
#include "imaging/bitmap_image.h"

namespace pellix::device::imaging {
namespace {

// Property tags an animated picture offers: per-frame delays (hundredths of a second, one
// LONG per frame) and the loop count (a SHORT).
constexpr PROPID kPropertyFrameDelay = 0x5100;
constexpr PROPID kPropertyLoopCount = 0x5101;
constexpr WORD kPropertyTypeShort = 3;
constexpr WORD kPropertyTypeLong = 4;

constexpr uint64_t kMaxStreamBytes = 64u * 1024 * 1024;

}  // namespace

Result<std::vector<uint8_t>> ReadWholeStream(IStream* stream) {
  std::vector<uint8_t> bytes;
  for (;;) {
    size_t at = bytes.size();
    constexpr ULONG kChunk = 64 * 1024;
    if (at + kChunk > kMaxStreamBytes) return Fail("stream too large");
    bytes.resize(at + kChunk);
    ULONG got = 0;
    HRESULT hr = stream->Read(bytes.data() + at, kChunk, &got);
    bytes.resize(at + std::min(got, kChunk));
    if (FAILED(hr)) return Fail("stream read failed", hr);
    if (got < kChunk) break;
  }
  return bytes;
}

ImageDecoder::~ImageDecoder() {
  if (sink_) sink_->Release();
}

void* ImageDecoder::FindInterface(REFIID iid) {
  return IsEqualIID(iid, IID_IImageDecoder) ? static_cast<IImageDecoder*>(this) : nullptr;
}

STDMETHODIMP ImageDecoder::InitDecoder(IStream* stream, DecoderInitFlag) {
  if (!stream) return E_INVALIDARG;
  if (image_) return E_FAIL;
  auto bytes = ReadWholeStream(stream);
  if (!bytes) return E_FAIL;
  auto decoded = DecodeImage(*bytes);
  if (!decoded) return E_FAIL;
  image_ = std::make_unique<DecodedImage>(std::move(*decoded));
  frame_ = 0;
  return S_OK;
}

STDMETHODIMP ImageDecoder::TerminateDecoder() {
  EndDecode(E_ABORT);
  image_.reset();
  return S_OK;
}

STDMETHODIMP ImageDecoder::BeginDecode(IImageSink* sink, IPropertySetStorage*) {
  if (!sink) return E_INVALIDARG;
  if (!image_ || sink_) return E_FAIL;
  sink_ = sink;
  sink_->AddRef();
  sink_started_ = sink_ended_ = false;
  next_row_ = 0;
  return S_OK;
}

HRESULT ImageDecoder::StartSink() {
  ImageInfo info = InfoOf(*image_);
  info.PixelFormat = PixelFormat32bppARGB;
  RECT subarea{0, 0, LONG(image_->width), LONG(image_->height)};
  HRESULT hr = sink_->BeginSink(&info, &subarea);
  if (FAILED(hr)) return hr;
  out_width_ = info.Width ? int(info.Width) : int(image_->width);
  out_height_ = info.Height ? int(info.Height) : int(image_->height);
  if (uint64_t(out_width_) * uint64_t(out_height_) > kMaxCanvasPixels) return E_INVALIDARG;
  scaled_.clear();
  if (out_width_ != int(image_->width) || out_height_ != int(image_->height)) {
    const Frame& frame = image_->frames[frame_];
    scaled_ = Resize(ArgbView{frame.pixels.data(), int(image_->width), int(image_->height)}, out_width_, out_height_);
  }
  sink_started_ = true;
  return S_OK;
}

STDMETHODIMP ImageDecoder::Decode() {
  if (!sink_ || !image_) return E_FAIL;
  if (sink_ended_) return S_OK;
  if (!sink_started_) {
    HRESULT hr = StartSink();
    if (FAILED(hr)) return hr;
  }
  const uint32_t* pixels = scaled_.empty() ? image_->frames[frame_].pixels.data() : scaled_.data();
  const int rows = std::min(kRowsPerStep, out_height_ - next_row_);
  RECT band{0, next_row_, out_width_, next_row_ + rows};
  const uint32_t* first = pixels + size_t(next_row_) * out_width_;
  BitmapData data{};
  HRESULT hr = sink_->GetPixelDataBuffer(&band, PixelFormat32bppARGB, TRUE, &data);
  if (SUCCEEDED(hr)) {
    for (int y = 0; y < rows; ++y)
      std::memcpy(static_cast<uint8_t*>(data.Scan0) + ptrdiff_t(y) * data.Stride, first + size_t(y) * out_width_,
                  size_t(out_width_) * 4);
    hr = sink_->ReleasePixelDataBuffer(&data);
  } else {
    // A sink that lends no buffer takes the pixels pushed to it.
    data = BitmapData{UINT(out_width_), UINT(rows), out_width_ * 4, PixelFormat32bppARGB,
                      const_cast<uint32_t*>(first), 0};
    hr = sink_->PushPixelData(&band, &data, TRUE);
  }
  if (FAILED(hr)) return hr;
  next_row_ += rows;
  if (next_row_ < out_height_) return E_PENDING;
  sink_ended_ = true;
  sink_->EndSink(S_OK);
  return S_OK;
}

STDMETHODIMP ImageDecoder::EndDecode(HRESULT status) {
  if (!sink_) return E_FAIL;
  if (sink_started_ && !sink_ended_) sink_->EndSink(FAILED(status) ? status : E_ABORT);
  std::exchange(sink_, nullptr)->Release();
  sink_started_ = sink_ended_ = false;
  scaled_.clear();
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetFrameDimensionsCount(UINT* count) {
  if (!count) return E_INVALIDARG;
  *count = 1;
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetFrameDimensionsList(GUID* ids, UINT count) {
  if (!ids || count < 1) return E_INVALIDARG;
  ids[0] = FrameDimensionTime;
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetFrameCount(const GUID* dimension, UINT* count) {
  if (!dimension || !count) return E_INVALIDARG;
  if (!image_) return E_FAIL;
  if (IsEqualGUID(*dimension, FrameDimensionTime)) {
    *count = UINT(image_->frames.size());
  } else if (IsEqualGUID(*dimension, FrameDimensionPage)) {
    *count = 1;
  } else {
    return E_INVALIDARG;
  }
  return S_OK;
}

STDMETHODIMP ImageDecoder::SelectActiveFrame(const GUID* dimension, UINT index) {
  if (!dimension) return E_INVALIDARG;
  if (!image_) return E_FAIL;
  UINT count = IsEqualGUID(*dimension, FrameDimensionTime) ? UINT(image_->frames.size())
               : IsEqualGUID(*dimension, FrameDimensionPage) ? 1
                                                             : 0;
  if (index >= count) return E_INVALIDARG;
  frame_ = index;
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetImageInfo(ImageInfo* info) {
  if (!info) return E_INVALIDARG;
  if (!image_) return E_FAIL;
  *info = InfoOf(*image_);
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetThumbnail(UINT width, UINT height, IImage** thumbnail) {
  if (!thumbnail) return E_INVALIDARG;
  *thumbnail = nullptr;
  if (!image_) return E_FAIL;
  if (width == 0 || height == 0 || uint64_t{width} * height > kMaxCanvasPixels) return E_INVALIDARG;
  const Frame& frame = image_->frames[frame_];
  ImageInfo info = InfoOf(*image_);
  info.Width = info.TileWidth = width;
  info.Height = info.TileHeight = height;
  info.PixelFormat = PixelFormat32bppARGB;
  *thumbnail = static_cast<IImage*>(BitmapImage::CreateReadOnly(
      info, Resize(ArgbView{frame.pixels.data(), int(image_->width), int(image_->height)}, int(width), int(height))));
  return S_OK;
}

STDMETHODIMP ImageDecoder::QueryDecoderParam(GUID) { return E_NOTIMPL; }
STDMETHODIMP ImageDecoder::SetDecoderParam(GUID, UINT, PVOID) { return E_NOTIMPL; }

std::vector<uint8_t> ImageDecoder::PropertyValue(PROPID id, WORD* type) const {
  std::vector<uint8_t> value;
  if (!image_ || image_->format != ImageFormat::kGif) return value;
  if (id == kPropertyFrameDelay) {
    *type = kPropertyTypeLong;
    value.resize(image_->frames.size() * sizeof(LONG));
    for (size_t i = 0; i < image_->frames.size(); ++i) {
      LONG cs = LONG(image_->frames[i].delay_ms / 10);
      std::memcpy(value.data() + i * sizeof cs, &cs, sizeof cs);
    }
  } else if (id == kPropertyLoopCount && image_->loop_count >= 0) {
    *type = kPropertyTypeShort;
    WORD loops = WORD(image_->loop_count);
    value.resize(sizeof loops);
    std::memcpy(value.data(), &loops, sizeof loops);
  }
  return value;
}

STDMETHODIMP ImageDecoder::GetPropertyCount(UINT* count) {
  if (!count) return E_INVALIDARG;
  *count = 0;
  if (image_ && image_->format == ImageFormat::kGif) *count = image_->loop_count >= 0 ? 2 : 1;
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetPropertyIdList(UINT count, PROPID* list) {
  UINT have = 0;
  GetPropertyCount(&have);
  if (!list || count != have) return E_INVALIDARG;
  const PROPID ids[] = {kPropertyFrameDelay, kPropertyLoopCount};
  std::copy(ids, ids + have, list);
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetPropertyItemSize(PROPID id, UINT* size) {
  if (!size) return E_INVALIDARG;
  WORD type = 0;
  std::vector<uint8_t> value = PropertyValue(id, &type);
  if (value.empty()) return E_INVALIDARG;
  *size = UINT(sizeof(PropertyItem) + value.size());
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetPropertyItem(PROPID id, UINT size, PropertyItem* buffer) {
  if (!buffer) return E_INVALIDARG;
  WORD type = 0;
  std::vector<uint8_t> value = PropertyValue(id, &type);
  if (value.empty()) return E_INVALIDARG;
  if (size < sizeof(PropertyItem) + value.size()) return E_INVALIDARG;
  // The value follows the item in the caller's buffer.
  auto* bytes = reinterpret_cast<uint8_t*>(buffer + 1);
  std::memcpy(bytes, value.data(), value.size());
  buffer->id = id;
  buffer->length = ULONG(value.size());
  buffer->type = type;
  buffer->value = bytes;
  return S_OK;
}

STDMETHODIMP ImageDecoder::GetPropertySize(UINT*, UINT*) { return E_NOTIMPL; }
STDMETHODIMP ImageDecoder::GetAllPropertyItems(UINT, UINT, PropertyItem*) { return E_NOTIMPL; }
STDMETHODIMP ImageDecoder::RemovePropertyItem(PROPID) { return E_NOTIMPL; }
STDMETHODIMP ImageDecoder::SetPropertyItem(PropertyItem) { return E_NOTIMPL; }

}  // namespace pellix::device::imaging

// BitmapImage: the imaging library's in-memory image. One object answers IImage (drawing,
// thumbnails, pushing into a sink), and, unless it was made read-only from a decoded file,
// IBitmapImage (locking its bits) and IImageSink (a decoder's target).
//
// Pixels are kept as straight ARGB whatever pixel format the image reports; LockBits and the
// sink convert at the edge. A mutex guards the pixels; a lock from LockBits or a pixel buffer
// handed to a decoder stays open until its matching Unlock/Release and refuses a second one.
#pragma once

#include <imaging.h>

#include <mutex>
#include <vector>

#include "com/com_object.h"
#include "imaging/argb_pixels.h"
#include "imaging/decoded_image.h"

namespace pellix::device::imaging {

inline constexpr double kImageDpi = 96.0;

PixelFormatID PixelFormatOf(NativeLayout layout, bool has_alpha);
GUID RawFormatOf(ImageFormat format);
// The ImageInfo that a decoder and the images made from it report.
ImageInfo InfoOf(const DecodedImage& image);

class BitmapImage final : public com::ComObject<IBitmapImage, IImage, IImageSink> {
 public:
  // A new writable bitmap of transparent black pixels, with one reference.
  static BitmapImage* Create(int width, int height, PixelFormatID format);
  // A read-only image showing `pixels` (width * height), reporting `info`.
  static BitmapImage* CreateReadOnly(const ImageInfo& info, std::vector<uint32_t> pixels);

  // IBitmapImage
  STDMETHODIMP GetSize(SIZE* size) override;
  STDMETHODIMP GetPixelFormatID(PixelFormatID* format) override;
  STDMETHODIMP LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data) override;
  STDMETHODIMP UnlockBits(const BitmapData* data) override;
  STDMETHODIMP GetPalette(ColorPalette** palette) override;
  STDMETHODIMP SetPalette(const ColorPalette* palette) override;  // also IImageSink's

  // IImage
  STDMETHODIMP GetPhysicalDimension(SIZE* size) override;
  STDMETHODIMP GetImageInfo(ImageInfo* info) override;
  STDMETHODIMP SetImageFlags(UINT flags) override;
  STDMETHODIMP Draw(HDC hdc, const RECT* dst, const RECT* src) override;
  STDMETHODIMP PushIntoSink(IImageSink* sink) override;
  STDMETHODIMP GetThumbnail(UINT width, UINT height, IImage** thumbnail) override;

  // IImageSink
  STDMETHODIMP BeginSink(ImageInfo* info, RECT* subarea) override;
  STDMETHODIMP EndSink(HRESULT status) override;
  STDMETHODIMP GetPixelDataBuffer(const RECT* rect, PixelFormatID format, BOOL last_pass,
                                  BitmapData* data) override;
  STDMETHODIMP ReleasePixelDataBuffer(const BitmapData* data) override;
  STDMETHODIMP PushPixelData(const RECT* rect, const BitmapData* data, BOOL last_pass) override;
  STDMETHODIMP PushRawData(const VOID* buffer, UINT size) override;
  STDMETHODIMP NeedTransform(UINT* rotation) override;
  STDMETHODIMP NeedRawProperty(void* property) override;
  STDMETHODIMP PushRawInfo(void* info) override;
  STDMETHODIMP GetPropertyBuffer(UINT size, PropertyItem** buffer) override;
  STDMETHODIMP PushPropertyItems(UINT count, UINT size, PropertyItem* items) override;

  // For the device: a copy of the pixels, straight ARGB, top row first.
  std::vector<uint32_t> Pixels();
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  BitmapImage(int width, int height, PixelFormatID format, bool read_only);
  ~BitmapImage() override = default;
  void* FindInterface(REFIID iid) override;

  // An open LockBits or GetPixelDataBuffer: where the caller's bytes are and how to bring
  // them back into the pixels.
  struct OpenBuffer {
    bool open = false;
    bool write_back = false;
    bool direct = false;  // the caller writes straight into pixels_
    PixelRect rect;
    PixelFormatID format = 0;
    uint8_t* bytes = nullptr;
    LONG stride = 0;
    std::vector<uint8_t> copy;
  };
  HRESULT Open(const RECT* rect, PixelFormatID format, bool read, bool write, BitmapData* data,
               const BitmapData* user_buffer);
  HRESULT Close(const BitmapData* data);
  bool RectInside(const RECT* rect, PixelRect* out) const;

  const int width_;
  const int height_;
  const PixelFormatID format_;
  const bool read_only_;
  std::mutex mutex_;  // guards everything below
  ImageInfo info_;
  std::vector<uint32_t> pixels_;
  OpenBuffer buffer_;
  bool sinking_ = false;
};

}  // namespace pellix::device::imaging

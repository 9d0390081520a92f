// Bitmap: the object behind an HBITMAP. Two kinds:
//  - device bitmaps (CreateCompatibleBitmap, CreateBitmap): pixels in a 32-bit Surface, or
//    for monochrome ones one bit a pixel;
//  - DIB sections (CreateDIBSection): pixels in caller-visible memory in the layout the
//    description asks for (1, 4, 8, 16, 24 or 32 bits a pixel, rows padded to 32 bits,
//    bottom-up or top-down), which the program may read and write at any time.
//
// Drawing works on 32-bit surfaces. A 32-bit DIB section is wrapped in place; other depths
// are decoded into a shadow surface for each operation and encoded back after it (Lock /
// Unlock), so the bits in memory are always the truth. Not synchronised: callers hold the
// GDI table's lock.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "gdi/gdi_objects.h"
#include "gdi/surface.h"
#include "kernel/result.h"

namespace pellix::device::gdi {

// Largest side and area accepted, so that a bad size cannot exhaust memory.
inline constexpr int kMaxBitmapSide = 16384;
inline constexpr long long kMaxBitmapPixels = 1LL << 25;

struct DibDescription {
  int width = 0;
  int height = 0;  // positive
  bool top_down = false;
  int bits_per_pixel = 32;
  uint32_t masks[3] = {0, 0, 0};  // red, green, blue for 16 and 32 bits
  std::vector<Pixel> palette;     // for 1, 4 and 8 bits
};

class Bitmap : public GdiObject {
 public:
  // A device bitmap of the screen's kind (32-bit pixels inside).
  static Result<std::shared_ptr<Bitmap>> CreateDevice(int width, int height);
  // A monochrome device bitmap; `bits` (optional) are rows of 1-bit pixels padded to 16 bits.
  static Result<std::shared_ptr<Bitmap>> CreateMonochrome(int width, int height,
                                                          const void* bits);
  static Result<std::shared_ptr<Bitmap>> CreateDib(const DibDescription& description);

  int width() const { return width_; }
  int height() const { return height_; }
  bool is_dib() const { return is_dib_; }
  // A monochrome device bitmap: as a source for a colour target its 0 bits take the target's
  // text colour and its 1 bits the background colour.
  bool is_monochrome_device() const { return !is_dib_ && bits_per_pixel_ == 1; }
  bool is_monochrome() const { return bits_per_pixel_ == 1; }
  int bits_per_pixel() const { return bits_per_pixel_; }
  bool top_down() const { return top_down_; }
  // The pixels live in a 32-bit surface itself (no shadow to decode into).
  bool is_wrapped() const { return wraps_; }
  int stride_bytes() const { return stride_bytes_; }
  // The DIB section's memory (null for device bitmaps).
  void* bits() { return is_dib_ ? static_cast<void*>(memory_.data()) : nullptr; }
  size_t bits_size() const { return is_dib_ ? memory_.size() * sizeof(uint32_t) : 0; }
  const std::vector<Pixel>& palette() const { return palette_; }
  const uint32_t* masks() const { return masks_; }

  // The pixels to draw on; Unlock stores them back. Lock/Unlock pairs do not nest.
  Surface& Lock();
  void Unlock();
  // The pixels to read; valid until the next Lock or Read.
  const Surface& Read();

  // The palette entry nearest to a colour (for 1-bit targets of colour conversion).
  Pixel NearestPaletteColor(Pixel p) const;

  // Colour-to-monochrome copies straight into the packed bits, skipping the shadow surface.
  // Possible for 1-bit bitmaps whose two colours differ (so that a pixel's index is its bit).
  bool TakesMonoDirectly() const;
  // REQUIRES: TakesMonoDirectly(), `area` inside the bitmap and `area` moved by (dx, dy)
  // inside `src`. Pixel (x, y) of `area` becomes 1 where src's pixel (x + dx, y + dy) is
  // `match` and 0 elsewhere; pixels outside `area` keep their bits.
  void StoreMono(const Surface& src, int dx, int dy, const Rect& area, Pixel match);

 private:
  Bitmap() : GdiObject(ObjectKind::kBitmap) {}
  void Decode();
  void Encode();
  uint8_t* RowBytes(int y);
  int NearestIndex(Pixel p) const;

  int width_ = 0;
  int height_ = 0;
  int bits_per_pixel_ = 32;
  bool is_dib_ = false;
  bool top_down_ = true;
  int stride_bytes_ = 0;
  uint32_t masks_[3] = {0, 0, 0};
  std::vector<Pixel> palette_;
  std::vector<uint32_t> memory_;  // packed rows (32-bit aligned); unused for 32-bit devices
  Surface surface_;               // 32-bit pixels: wrapped, owned, or the shadow
  bool wraps_ = false;            // surface_ is the pixels themselves
};

}  // namespace pellix::device::gdi

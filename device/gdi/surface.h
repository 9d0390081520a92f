// Surface: a rectangle of 32-bit pixels, 0x00RRGGBB (the byte order of a 32-bit DIB row:
// blue, green, red, unused). The screen, each window, compatible bitmaps and 32-bit DIB
// sections keep their pixels in one; the HTML view draws into one.
//
// A surface either owns its pixels or wraps memory owned by someone else (a DIB section's
// bits); a wrapping surface must not outlive that memory. Rows may run upwards in memory
// (bottom-up DIBs): the stride is signed. Every drawing operation clips to the surface, so
// no operation writes outside it whatever rectangle it is given. Not synchronised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "gdi/rect.h"

namespace pellix::device::gdi {

using Pixel = uint32_t;

// The platform's COLORREF is 0x00BBGGRR; surfaces hold 0x00RRGGBB.
constexpr Pixel PixelFromColorRef(uint32_t ref) {
  return ((ref & 0xFF) << 16) | (ref & 0xFF00) | ((ref >> 16) & 0xFF);
}
constexpr uint32_t ColorRefFromPixel(Pixel p) {
  return ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
}
constexpr Pixel MakePixel(int r, int g, int b) {
  return (static_cast<Pixel>(r & 0xFF) << 16) | (static_cast<Pixel>(g & 0xFF) << 8) |
         static_cast<Pixel>(b & 0xFF);
}

class Surface {
 public:
  Surface() = default;
  // An owned surface of width x height (negative sizes count as 0) filled with `fill`.
  Surface(int width, int height, Pixel fill = 0);
  // Wraps `rows` pixels; row y starts at first_row + y * stride (stride in pixels).
  static Surface Wrap(Pixel* first_row, int width, int height, std::ptrdiff_t stride);

  Surface(Surface&& other) noexcept;
  Surface& operator=(Surface&& other) noexcept;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  // An owned copy of the pixels.
  Surface Clone() const;

  int width() const { return width_; }
  int height() const { return height_; }
  Rect bounds() const { return Rect{0, 0, width_, height_}; }
  bool owns_pixels() const { return !owned_.empty() || data_ == nullptr; }

  // REQUIRES: 0 <= y < height().
  Pixel* Row(int y) { return data_ + y * stride_; }
  const Pixel* Row(int y) const { return data_ + y * stride_; }
  // Out of bounds reads give 0; out of bounds writes are ignored.
  Pixel At(int x, int y) const;
  void Set(int x, int y, Pixel p);

  void Fill(const Rect& rect, Pixel color);
  // Copies the source rectangle of dst's size at (sx, sy) to dst. Parts outside either
  // surface are skipped. Overlapping copies within one surface are safe.
  void Copy(const Surface& src, int sx, int sy, const Rect& dst);
  // Scales src_rect onto dst_rect (nearest pixel), writing only inside `clip`. A negative
  // width or height in either rectangle mirrors the picture.
  void Stretch(const Surface& src, const Rect& src_rect, const Rect& dst_rect, const Rect& clip);
  // dst = src * alpha / 255 + dst * (255 - alpha) / 255 per channel, rounded to nearest.
  void Blend(const Surface& src, int sx, int sy, const Rect& dst, uint8_t alpha);
  // Blends `color` with coverage (0..255) per pixel; coverage is row-major, width x height,
  // placed with its top-left at (x, y); only pixels inside `clip` change.
  void BlendMask(const uint8_t* coverage, int width, int height, std::ptrdiff_t pitch, int x,
                 int y, Pixel color, const Rect& clip);

 private:
  std::vector<Pixel> owned_;
  Pixel* data_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  std::ptrdiff_t stride_ = 0;
};

// Rounded a * b / 255 for 0 <= a, b <= 255.
constexpr int MulDiv255(int a, int b) {
  const int t = a * b + 128;
  return (t + (t >> 8)) >> 8;
}

}  // namespace pellix::device::gdi

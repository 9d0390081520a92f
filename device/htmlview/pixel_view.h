// A borrowed view of 32-bit pixels (0x00RRGGBB, the layout of a 32-bit DIB section) that the
// HTML view draws into and reads pictures from. The view never owns the memory; whoever hands
// one out keeps the pixels alive for as long as the call that receives it runs.
#pragma once

#include <cstdint>

namespace pellix::device::htmlview {

struct PixelView {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  int stride = 0;  // in pixels, not bytes

  bool empty() const { return pixels == nullptr || width <= 0 || height <= 0; }
  uint32_t* row(int y) const { return pixels + static_cast<long>(y) * stride; }
};

// A rectangle in pixels, right and bottom exclusive.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  bool empty() const { return right <= left || bottom <= top; }
  PixelRect Intersect(const PixelRect& o) const {
    PixelRect r{left > o.left ? left : o.left, top > o.top ? top : o.top,
                right < o.right ? right : o.right, bottom < o.bottom ? bottom : o.bottom};
    if (r.empty()) return {};
    return r;
  }
};

inline uint32_t PackRgb(uint8_t r, uint8_t g, uint8_t b) {
  return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b;
}

// Mixes `color` over `dst` with coverage 0..255.
inline uint32_t BlendRgb(uint32_t dst, uint32_t color, unsigned coverage) {
  if (coverage >= 255) return color;
  const unsigned inv = 255 - coverage;
  auto mix = [&](int shift) {
    unsigned d = (dst >> shift) & 0xFF, s = (color >> shift) & 0xFF;
    return ((s * coverage + d * inv + 127) / 255) << shift;
  };
  return mix(16) | mix(8) | mix(0);
}

}  // namespace pellix::device::htmlview

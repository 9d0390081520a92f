#include "imaging/argb_pixels.h"

#include <imaging.h>

#include <algorithm>
#include <cstring>

namespace pellix::device::imaging {
namespace {

// Exact division by 255 with rounding, for products of two 8-bit values.
inline uint32_t Div255(uint32_t v) {
  v += 128;
  return (v + (v >> 8)) >> 8;
}

inline uint32_t Blend(uint32_t under, uint32_t over, uint32_t alpha) {
  return Div255(over * alpha + under * (255 - alpha));
}

inline uint32_t From565(uint16_t v) {
  uint32_t r = (v >> 11) & 0x1F, g = (v >> 5) & 0x3F, b = v & 0x1F;
  return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 2 | g >> 4) << 8 | (b << 3 | b >> 2);
}
inline uint16_t To565(uint32_t p) {
  return uint16_t(((p >> 19) & 0x1F) << 11 | ((p >> 10) & 0x3F) << 5 | ((p >> 3) & 0x1F));
}
inline uint32_t From555(uint16_t v) {
  uint32_t r = (v >> 10) & 0x1F, g = (v >> 5) & 0x1F, b = v & 0x1F;
  return 0xFF000000u | (r << 3 | r >> 2) << 16 | (g << 3 | g >> 2) << 8 | (b << 3 | b >> 2);
}
inline uint16_t To555(uint32_t p) {
  return uint16_t(((p >> 19) & 0x1F) << 10 | ((p >> 11) & 0x1F) << 5 | ((p >> 3) & 0x1F));
}

}  // namespace

PixelRect Intersect(const PixelRect& a, const PixelRect& b) {
  PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
  if (r.empty()) return PixelRect{};
  return r;
}

bool CanConvert(int pixel_format) {
  switch (pixel_format) {
    case PixelFormat32bppARGB:
    case PixelFormat32bppPARGB:
    case PixelFormat32bppRGB:
    case PixelFormat24bppRGB:
    case PixelFormat16bppRGB565:
    case PixelFormat16bppRGB555:
      return true;
    default:
      return false;
  }
}

void ConvertFromArgb(int pixel_format, const uint32_t* argb, uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t p = argb[i];
    switch (pixel_format) {
      case PixelFormat32bppARGB:
        std::memcpy(out + 4 * i, &p, 4);
        break;
      case PixelFormat32bppPARGB: {
        uint32_t a = p >> 24;
        uint32_t q = a << 24 | Div255(((p >> 16) & 0xFF) * a) << 16 | Div255(((p >> 8) & 0xFF) * a) << 8 |
                     Div255((p & 0xFF) * a);
        std::memcpy(out + 4 * i, &q, 4);
        break;
      }
      case PixelFormat32bppRGB: {
        uint32_t q = p | 0xFF000000u;
        std::memcpy(out + 4 * i, &q, 4);
        break;
      }
      case PixelFormat24bppRGB:
        out[3 * i] = uint8_t(p), out[3 * i + 1] = uint8_t(p >> 8), out[3 * i + 2] = uint8_t(p >> 16);
        break;
      case PixelFormat16bppRGB565: {
        uint16_t v = To565(p);
        std::memcpy(out + 2 * i, &v, 2);
        break;
      }
      case PixelFormat16bppRGB555: {
        uint16_t v = To555(p);
        std::memcpy(out + 2 * i, &v, 2);
        break;
      }
      default:
        break;
    }
  }
}

void ConvertToArgb(int pixel_format, const uint8_t* in, uint32_t* argb, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t p = 0;
    uint16_t v = 0;
    switch (pixel_format) {
      case PixelFormat32bppARGB:
        std::memcpy(&p, in + 4 * i, 4);
        break;
      case PixelFormat32bppPARGB: {
        std::memcpy(&p, in + 4 * i, 4);
        uint32_t a = p >> 24;
        if (a == 0) {
          p = 0;
        } else if (a != 255) {
          auto un = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
          p = a << 24 | un((p >> 16) & 0xFF) << 16 | un((p >> 8) & 0xFF) << 8 | un(p & 0xFF);
        }
        break;
      }
      case PixelFormat32bppRGB:
        std::memcpy(&p, in + 4 * i, 4);
        p |= 0xFF000000u;
        break;
      case PixelFormat24bppRGB:
        p = 0xFF000000u | uint32_t{in[3 * i + 2]} << 16 | uint32_t{in[3 * i + 1]} << 8 | in[3 * i];
        break;
      case PixelFormat16bppRGB565:
        std::memcpy(&v, in + 2 * i, 2);
        p = From565(v);
        break;
      case PixelFormat16bppRGB555:
        std::memcpy(&v, in + 2 * i, 2);
        p = From555(v);
        break;
      default:
        break;
    }
    argb[i] = p;
  }
}

std::vector<uint32_t> Resize(const ArgbView& source, int width, int height) {
  std::vector<uint32_t> out(size_t(std::max(width, 0)) * std::max(height, 0));
  if (out.empty() || source.width <= 0 || source.height <= 0) return out;
  for (int y = 0; y < height; ++y) {
    int y0 = int(int64_t{y} * source.height / height);
    int y1 = std::max(y0 + 1, int(int64_t{y + 1} * source.height / height));
    for (int x = 0; x < width; ++x) {
      int x0 = int(int64_t{x} * source.width / width);
      int x1 = std::max(x0 + 1, int(int64_t{x + 1} * source.width / width));
      uint64_t a = 0, r = 0, g = 0, b = 0, n = 0;
      for (int sy = y0; sy < y1; ++sy)
        for (int sx = x0; sx < x1; ++sx) {
          uint32_t p = source.pixels[size_t(sy) * source.width + sx];
          uint32_t pa = p >> 24;
          a += pa, r += ((p >> 16) & 0xFF) * pa, g += ((p >> 8) & 0xFF) * pa, b += (p & 0xFF) * pa;
          ++n;
        }
      uint32_t pixel = 0;
      if (a) {
        pixel = uint32_t((a + n / 2) / n) << 24 | uint32_t((r + a / 2) / a) << 16 |
                uint32_t((g + a / 2) / a) << 8 | uint32_t((b + a / 2) / a);
      }
      out[size_t(y) * width + x] = pixel;
    }
  }
  return out;
}

void BlendInto(PixelSurface& surface, const PixelRect& target_rect, const ArgbView& source,
               const PixelRect& source_rect) {
  if (target_rect.empty() || source_rect.empty() || !surface.bits) return;
  PixelRect src = Intersect(source_rect, PixelRect{0, 0, source.width, source.height});
  if (src.empty()) return;
  PixelRect placed{target_rect.left + surface.origin_x, target_rect.top + surface.origin_y,
                   target_rect.right + surface.origin_x, target_rect.bottom + surface.origin_y};
  PixelRect area = Intersect(Intersect(placed, PixelRect{0, 0, surface.width, surface.height}), surface.clip);
  if (area.empty()) return;
  const int64_t tw = placed.width(), th = placed.height();
  for (int y = area.top; y < area.bottom; ++y) {
    // Each target pixel takes the source pixel under its centre.
    int64_t sy = source_rect.top + ((int64_t{y - placed.top} * 2 + 1) * source_rect.height()) / (2 * th);
    if (sy < src.top || sy >= src.bottom) continue;
    uint8_t* row = surface.bits + surface.stride * y;
    const uint32_t* in = source.pixels + size_t(sy) * source.width;
    for (int x = area.left; x < area.right; ++x) {
      int64_t sx = source_rect.left + ((int64_t{x - placed.left} * 2 + 1) * source_rect.width()) / (2 * tw);
      if (sx < src.left || sx >= src.right) continue;
      uint32_t p = in[sx];
      uint32_t alpha = p >> 24;
      if (alpha == 0) continue;
      uint32_t under = 0;
      uint8_t* at = row + size_t(x) * (surface.bits_per_pixel / 8);
      if (surface.bits_per_pixel == 32) {
        std::memcpy(&under, at, 4);
      } else if (surface.bits_per_pixel == 24) {
        under = uint32_t{at[2]} << 16 | uint32_t{at[1]} << 8 | at[0];
      } else {
        uint16_t v;
        std::memcpy(&v, at, 2);
        under = From565(v);
      }
      uint32_t mixed = Blend((under >> 16) & 0xFF, (p >> 16) & 0xFF, alpha) << 16 |
                       Blend((under >> 8) & 0xFF, (p >> 8) & 0xFF, alpha) << 8 | Blend(under & 0xFF, p & 0xFF, alpha);
      if (surface.bits_per_pixel == 32) {
        mixed |= under & 0xFF000000u;
        std::memcpy(at, &mixed, 4);
      } else if (surface.bits_per_pixel == 24) {
        at[0] = uint8_t(mixed), at[1] = uint8_t(mixed >> 8), at[2] = uint8_t(mixed >> 16);
      } else {
        uint16_t v = To565(mixed);
        std::memcpy(at, &v, 2);
      }
    }
  }
}

}  // namespace pellix::device::imaging

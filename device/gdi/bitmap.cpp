#include "gdi/bitmap.h"

#include <bit>
#include <cstring>

namespace pellix::device::gdi {
namespace {

bool SizeOk(int width, int height) {
  return width > 0 && height > 0 && width <= kMaxBitmapSide && height <= kMaxBitmapSide &&
         static_cast<long long>(width) * height <= kMaxBitmapPixels;
}

Error BadSize() { return Fail("bitmap size out of range", ERROR_INVALID_PARAMETER); }

// Where a colour field sits in a 16-bit pixel, found once per row from its mask (the fields are
// read for every pixel, and counting bits is a library call where the processor is not assumed
// to have an instruction for it).
struct Field {
  uint32_t mask;
  int shift;
  int bits;
  explicit Field(uint32_t m)
      : mask(m), shift(m ? std::countr_zero(m) : 0), bits(m ? std::popcount(m) : 0) {}

  // The field expanded to 8 bits, repeating its high bits so that full scale stays full.
  int Expand(uint32_t value) const {
    if (bits == 0) return 0;
    const uint32_t v = (value & mask) >> shift;
    if (bits >= 8) return static_cast<int>(v >> (bits - 8));
    uint32_t out = 0;
    for (int have = 0; have < 8; have += bits) out = (out << bits) | v;
    const int total = ((8 + bits - 1) / bits) * bits;
    return static_cast<int>(out >> (total - 8));
  }
  uint32_t Pack(int value8) const {
    if (bits == 0) return 0;
    const uint32_t v = bits >= 8 ? static_cast<uint32_t>(value8) << (bits - 8)
                                 : static_cast<uint32_t>(value8) >> (8 - bits);
    return (v << shift) & mask;
  }
};

}  // namespace

Result<std::shared_ptr<Bitmap>> Bitmap::CreateDevice(int width, int height) {
  if (!SizeOk(width, height)) return BadSize();
  std::shared_ptr<Bitmap> b(new Bitmap());
  b->width_ = width;
  b->height_ = height;
  b->bits_per_pixel_ = 32;
  b->stride_bytes_ = width * 4;
  b->surface_ = Surface(width, height, 0);
  b->wraps_ = true;
  return b;
}

Result<std::shared_ptr<Bitmap>> Bitmap::CreateMonochrome(int width, int height,
                                                         const void* bits) {
  if (!SizeOk(width, height)) return BadSize();
  std::shared_ptr<Bitmap> b(new Bitmap());
  b->width_ = width;
  b->height_ = height;
  b->bits_per_pixel_ = 1;
  b->top_down_ = true;
  b->stride_bytes_ = ((width + 31) / 32) * 4;
  b->palette_ = {0x000000, 0xFFFFFF};
  b->memory_.assign(static_cast<size_t>(b->stride_bytes_ / 4) * height, 0);
  if (bits) {
    const int in_stride = ((width + 15) / 16) * 2;
    const auto* src = static_cast<const uint8_t*>(bits);
    for (int y = 0; y < height; ++y)
      std::memcpy(b->RowBytes(y), src + static_cast<size_t>(y) * in_stride,
                  static_cast<size_t>(in_stride));
  }
  return b;  // the shadow surface is made on first use
}

Result<std::shared_ptr<Bitmap>> Bitmap::CreateDib(const DibDescription& d) {
  if (!SizeOk(d.width, d.height)) return BadSize();
  const int bpp = d.bits_per_pixel;
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail("unsupported bits per pixel", ERROR_INVALID_PARAMETER);
  std::shared_ptr<Bitmap> b(new Bitmap());
  b->is_dib_ = true;
  b->width_ = d.width;
  b->height_ = d.height;
  b->bits_per_pixel_ = bpp;
  b->top_down_ = d.top_down;
  b->stride_bytes_ = static_cast<int>(((static_cast<long long>(d.width) * bpp + 31) / 32) * 4);
  b->memory_.assign(static_cast<size_t>(b->stride_bytes_ / 4) * d.height, 0);
  if (bpp <= 8) {
    b->palette_ = d.palette;
    b->palette_.resize(size_t{1} << bpp, 0);
  }
  if (bpp == 16) {
    const bool given = d.masks[0] | d.masks[1] | d.masks[2];
    const uint32_t def[3] = {0x7C00, 0x03E0, 0x001F};
    for (int i = 0; i < 3; ++i) b->masks_[i] = given ? d.masks[i] & 0xFFFF : def[i];
  }
  if (bpp == 32) {
    b->masks_[0] = 0xFF0000;
    b->masks_[1] = 0xFF00;
    b->masks_[2] = 0xFF;
    auto* base = reinterpret_cast<Pixel*>(b->memory_.data());
    const std::ptrdiff_t stride = d.width;
    b->surface_ = d.top_down ? Surface::Wrap(base, d.width, d.height, stride)
                             : Surface::Wrap(base + (d.height - 1) * stride, d.width,
                                             d.height, -stride);
    b->wraps_ = true;
  }
  // Other depths get their shadow surface on first use: many are only written directly.
  return b;
}

uint8_t* Bitmap::RowBytes(int y) {
  const int row = top_down_ ? y : height_ - 1 - y;
  return reinterpret_cast<uint8_t*>(memory_.data()) + static_cast<size_t>(row) * stride_bytes_;
}

Surface& Bitmap::Lock() {
  if (!wraps_) Decode();
  return surface_;
}

void Bitmap::Unlock() {
  if (!wraps_) Encode();
}

const Surface& Bitmap::Read() {
  if (!wraps_) Decode();
  return surface_;
}

void Bitmap::Decode() {
  if (surface_.width() == 0) surface_ = Surface(width_, height_, 0);
  for (int y = 0; y < height_; ++y) {
    const uint8_t* src = RowBytes(y);
    Pixel* dst = surface_.Row(y);
    switch (bits_per_pixel_) {
      case 1: {
        // A byte at a time: eight pixels from one load.
        const Pixel colours[2] = {palette_[0], palette_[1]};
        const int whole = width_ / 8;
        for (int b = 0; b < whole; ++b) {
          const uint8_t byte = src[b];
          Pixel* out = dst + b * 8;
          for (int k = 0; k < 8; ++k) out[k] = colours[(byte >> (7 - k)) & 1];
        }
        for (int x = whole * 8; x < width_; ++x) dst[x] = colours[(src[x >> 3] >> (7 - (x & 7))) & 1];
        break;
      }
      case 4:
        for (int x = 0; x < width_; ++x)
          dst[x] = palette_[(x & 1) ? (src[x >> 1] & 0xF) : (src[x >> 1] >> 4)];
        break;
      case 8:
        for (int x = 0; x < width_; ++x) dst[x] = palette_[src[x]];
        break;
      case 16: {
        const Field r(masks_[0]), g(masks_[1]), b(masks_[2]);
        for (int x = 0; x < width_; ++x) {
          const uint32_t v = src[2 * x] | (src[2 * x + 1] << 8);
          dst[x] = MakePixel(r.Expand(v), g.Expand(v), b.Expand(v));
        }
        break;
      }
      case 24:
        for (int x = 0; x < width_; ++x)
          dst[x] = MakePixel(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
    }
  }
}

void Bitmap::Encode() {
  int last_index = 0;
  Pixel last_pixel = palette_.empty() ? 0 : palette_[0];
  auto index_of = [&](Pixel p) {
    if (p != last_pixel) {
      last_pixel = p;
      last_index = NearestIndex(p);
    }
    return last_index;
  };
  for (int y = 0; y < height_; ++y) {
    uint8_t* dst = RowBytes(y);
    const Pixel* src = surface_.Row(y);
    switch (bits_per_pixel_) {
      case 1: {
        // Whole bytes are built in a register and stored once; the partial last byte keeps
        // the bits beyond the width as they were.
        const int whole = width_ / 8;
        for (int b = 0; b < whole; ++b) {
          const Pixel* in = src + b * 8;
          uint8_t byte = 0;
          for (int k = 0; k < 8; ++k) byte = static_cast<uint8_t>((byte << 1) | (index_of(in[k]) & 1));
          dst[b] = byte;
        }
        for (int x = whole * 8; x < width_; ++x) {
          const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
          if (index_of(src[x]))
            dst[x >> 3] |= bit;
          else
            dst[x >> 3] &= static_cast<uint8_t>(~bit);
        }
        break;
      }
      case 4:
        for (int x = 0; x < width_; ++x) {
          const int i = index_of(src[x]);
          uint8_t& byte = dst[x >> 1];
          byte = (x & 1) ? static_cast<uint8_t>((byte & 0xF0) | i)
                         : static_cast<uint8_t>((byte & 0x0F) | (i << 4));
        }
        break;
      case 8:
        for (int x = 0; x < width_; ++x) dst[x] = static_cast<uint8_t>(index_of(src[x]));
        break;
      case 16: {
        const Field r(masks_[0]), g(masks_[1]), b(masks_[2]);
        for (int x = 0; x < width_; ++x) {
          const Pixel p = src[x];
          const uint32_t v = r.Pack((p >> 16) & 0xFF) | g.Pack((p >> 8) & 0xFF) | b.Pack(p & 0xFF);
          dst[2 * x] = static_cast<uint8_t>(v);
          dst[2 * x + 1] = static_cast<uint8_t>(v >> 8);
        }
        break;
      }
      case 24:
        for (int x = 0; x < width_; ++x) {
          dst[3 * x] = static_cast<uint8_t>(src[x]);
          dst[3 * x + 1] = static_cast<uint8_t>(src[x] >> 8);
          dst[3 * x + 2] = static_cast<uint8_t>(src[x] >> 16);
        }
        break;
    }
  }
}

int Bitmap::NearestIndex(Pixel p) const {
  int best = 0;
  long best_distance = -1;
  for (size_t i = 0; i < palette_.size(); ++i) {
    const Pixel q = palette_[i];
    const long dr = static_cast<long>((p >> 16) & 0xFF) - ((q >> 16) & 0xFF);
    const long dg = static_cast<long>((p >> 8) & 0xFF) - ((q >> 8) & 0xFF);
    const long db = static_cast<long>(p & 0xFF) - (q & 0xFF);
    const long distance = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || distance < best_distance) {
      best = static_cast<int>(i);
      best_distance = distance;
      if (distance == 0) break;
    }
  }
  return best;
}

bool Bitmap::TakesMonoDirectly() const {
  return bits_per_pixel_ == 1 && !wraps_ && palette_.size() == 2 && palette_[0] != palette_[1];
}

void Bitmap::StoreMono(const Surface& src, int dx, int dy, const Rect& area, Pixel match) {
  const int left = area.left, right = area.right;
  for (int y = area.top; y < area.bottom; ++y) {
    uint8_t* out = RowBytes(y);
    // in[x - left] is the source pixel for column x.
    const Pixel* in = src.Row(y + dy) + (left + dx);
    auto set = [&](int x) {
      const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
      out[x >> 3] = in[x - left] == match ? static_cast<uint8_t>(out[x >> 3] | bit)
                                          : static_cast<uint8_t>(out[x >> 3] & ~bit);
    };
    int x = left;
    for (; x < right && (x & 7) != 0; ++x) set(x);
    // Whole bytes: eight comparisons folded into one store.
    for (; x + 8 <= right; x += 8) {
      const Pixel* p = in + (x - left);
      unsigned byte = 0;
      for (int k = 0; k < 8; ++k) byte |= static_cast<unsigned>(p[k] == match) << (7 - k);
      out[x >> 3] = static_cast<uint8_t>(byte);
    }
    for (; x < right; ++x) set(x);
  }
}

Pixel Bitmap::NearestPaletteColor(Pixel p) const {
  return palette_.empty() ? p : palette_[NearestIndex(p)];
}

}  // namespace pellix::device::gdi

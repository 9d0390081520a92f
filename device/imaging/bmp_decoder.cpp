// BMP, read by hand: the core (12-byte) and info (40-byte and later) headers, 1/4/8-bit
// palettes, 16/24/32-bit direct colour with or without bit-field masks, bottom-up or top-down
// rows. Compressed (RLE) files are refused. Every offset is checked against the file's size.
#include <algorithm>
#include <bit>

#include "imaging/decoded_image.h"

namespace pellix::device::imaging {
namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;

class Bytes {
 public:
  explicit Bytes(std::span<const uint8_t> data) : data_(data) {}
  bool Has(uint64_t offset, uint64_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }
  uint16_t U16(size_t at) const { return uint16_t(data_[at] | data_[at + 1] << 8); }
  uint32_t U32(size_t at) const { return U16(at) | uint32_t{U16(at + 2)} << 16; }
  const uint8_t* At(size_t at) const { return data_.data() + at; }

 private:
  std::span<const uint8_t> data_;
};

// Extracts one channel through its mask and widens it to eight bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;
  explicit Channel(uint32_t m) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = m >> shift;
  }
  uint32_t Get(uint32_t pixel, uint32_t absent) const {
    if (!mask) return absent;
    uint64_t v = (pixel & mask) >> shift;
    return uint32_t((v * 255 + max / 2) / max);
  }
};

}  // namespace

Result<DecodedImage> DecodeBmp(std::span<const uint8_t> file) {
  Bytes b(file);
  if (!b.Has(0, 18) || file[0] != 'B' || file[1] != 'M') return Fail("BMP: truncated header");
  const uint32_t bits_offset = b.U32(10);
  const uint32_t header_size = b.U32(14);
  if (header_size < 12 || !b.Has(14, header_size)) return Fail("BMP: truncated header");

  int64_t width = 0, height = 0;
  uint32_t bpp = 0, compression = kBiRgb, colors_used = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t palette_at = 14 + header_size;
  size_t palette_entry = 4;
  if (header_size == 12) {
    width = b.U16(18);
    height = int16_t(b.U16(20));
    bpp = b.U16(24);
    palette_entry = 3;
  } else if (header_size >= 40) {
    width = int32_t(b.U32(18));
    height = int32_t(b.U32(22));
    bpp = b.U16(28);
    compression = b.U32(30);
    colors_used = b.U32(46);
    if (compression == kBiBitfields || compression == kBiAlphaBitfields) {
      int count = compression == kBiAlphaBitfields ? 4 : 3;
      if (header_size >= 52) {
        for (int i = 0; i < count && 40u + 4 * i + 4 <= header_size; ++i) masks[i] = b.U32(54 + 4 * i);
        if (header_size >= 56) masks[3] = b.U32(66);
      } else {
        // The plain 40-byte header keeps its masks right after itself.
        if (!b.Has(54, 4 * count)) return Fail("BMP: truncated masks");
        for (int i = 0; i < count; ++i) masks[i] = b.U32(54 + 4 * i);
        palette_at += 4 * count;
      }
    }
  } else {
    return Fail("BMP: unknown header");
  }

  const bool top_down = height < 0;
  height = top_down ? -height : height;
  if (width <= 0 || height <= 0) return Fail("BMP: picture without pixels");
  if (uint64_t(width) * uint64_t(height) > kMaxCanvasPixels) return Fail("BMP: picture too large");
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return Fail("BMP: unsupported depth");
  const bool masked = compression == kBiBitfields || compression == kBiAlphaBitfields;
  if (compression != kBiRgb && !(masked && (bpp == 16 || bpp == 32)))
    return Fail("BMP: unsupported compression");

  DecodedImage image;
  image.format = ImageFormat::kBmp;
  image.width = uint32_t(width);
  image.height = uint32_t(height);

  std::vector<uint32_t> palette;
  if (bpp <= 8) {
    uint32_t count = colors_used ? std::min<uint32_t>(colors_used, 1u << bpp) : 1u << bpp;
    // A palette cut short by the pixel data keeps the entries that are there.
    while (count && !b.Has(palette_at, uint64_t{count} * palette_entry)) --count;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* e = b.At(palette_at + i * palette_entry);
      palette.push_back(0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0]);
    }
    image.layout = bpp == 1 ? NativeLayout::kIndexed1 : bpp == 4 ? NativeLayout::kIndexed4 : NativeLayout::kIndexed8;
  }
  if (!masked) {
    if (bpp == 16) masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
    if (bpp == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (bpp == 16) image.layout = masks[1] == 0x07E0 ? NativeLayout::kRgb565 : NativeLayout::kRgb555;
  if (bpp == 24) image.layout = NativeLayout::kRgb24;
  if (bpp == 32) image.layout = masks[3] ? NativeLayout::kArgb32 : NativeLayout::kRgb32;

  const uint64_t stride = (uint64_t(width) * bpp + 31) / 32 * 4;
  if (!b.Has(bits_offset, stride * uint64_t(height))) return Fail("BMP: truncated pixel data");

  const Channel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
  Frame frame;
  frame.pixels.resize(image.width * size_t{image.height});
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t* row = b.At(bits_offset + stride * (top_down ? y : image.height - 1 - y));
    uint32_t* out = frame.pixels.data() + size_t{y} * image.width;
    for (uint32_t x = 0; x < image.width; ++x) {
      uint32_t value;
      switch (bpp) {
        case 1: value = row[x / 8] >> (7 - x % 8) & 1; break;
        case 4: value = row[x / 2] >> (x % 2 ? 0 : 4) & 0xF; break;
        case 8: value = row[x]; break;
        case 16: value = row[2 * x] | row[2 * x + 1] << 8; break;
        case 24: value = row[3 * x] | row[3 * x + 1] << 8 | uint32_t{row[3 * x + 2]} << 16; break;
        default: value = row[4 * x] | row[4 * x + 1] << 8 | uint32_t{row[4 * x + 2]} << 16 | uint32_t{row[4 * x + 3]} << 24; break;
      }
      if (bpp <= 8) {
        // An index past the palette shows black.
        out[x] = value < palette.size() ? palette[value] : 0xFF000000u;
      } else if (bpp == 24) {
        out[x] = 0xFF000000u | value;
      } else {
        out[x] = alpha.Get(value, 255) << 24 | red.Get(value, 0) << 16 | green.Get(value, 0) << 8 | blue.Get(value, 0);
      }
    }
  }
  image.frames.push_back(std::move(frame));
  image.has_alpha = masks[3] != 0 && AnyTranslucent(image.frames);
  return image;
}

}  // namespace pellix::device::imaging

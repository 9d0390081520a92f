#include "kernel/module_resources.h"

#include "kernel/module_loader.h"

namespace pellix::device {

const PELLIX_RESOURCE* FindModuleResource(HMODULE module, uint16_t type, uint16_t id) {
  if (!module) return nullptr;
  const PELLIX_RESOURCE_TABLE* table = Modules().Resources(module);
  if (!table || table->dwVersion != PELLIX_RESOURCE_VERSION || !table->pResources) return nullptr;
  for (DWORD i = 0; i < table->cResources; ++i) {
    const PELLIX_RESOURCE& r = table->pResources[i];
    if (r.wType == type && r.wId == id) return &r;
  }
  return nullptr;
}

namespace {

// Reads little-endian fields from a span, remembering when it ran out.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}
  bool failed() const { return failed_; }
  size_t position() const { return position_; }
  bool at_end() const { return position_ >= data_.size(); }

  uint16_t Word() {
    if (data_.size() - position_ < 2 || position_ > data_.size()) return Bad();
    uint16_t v = uint16_t(data_[position_] | (data_[position_ + 1] << 8));
    position_ += 2;
    return v;
  }
  uint32_t Dword() {
    uint32_t lo = Word();
    uint32_t hi = Word();
    return lo | (hi << 16);
  }
  std::u16string Text() {
    std::u16string text;
    for (;;) {
      char16_t c = Word();
      if (failed_ || c == 0) return text;
      text.push_back(c);
    }
  }
  void Skip(size_t n) {
    if (data_.size() - position_ < n) {
      Bad();
      return;
    }
    position_ += n;
  }

 private:
  uint16_t Bad() {
    failed_ = true;
    position_ = data_.size();
    return 0;
  }
  std::span<const uint8_t> data_;
  size_t position_ = 0;
  bool failed_ = false;
};

// Items of one level, up to and including the one marked as the end.
bool ParseMenuLevel(Reader& in, int depth, std::vector<MenuTemplateItem>& items) {
  if (depth > kMaxMenuDepth) return false;
  for (;;) {
    MenuTemplateItem item;
    uint16_t flags = in.Word();
    item.flags = flags & uint16_t(~menu_flags::kEnd);
    if (!(flags & menu_flags::kPopup)) item.id = in.Word();
    item.text = in.Text();
    if (in.failed()) return false;
    if (flags & menu_flags::kPopup) {
      if (!ParseMenuLevel(in, depth + 1, item.children)) return false;
    }
    items.push_back(std::move(item));
    if (flags & menu_flags::kEnd) return true;
  }
}

}  // namespace

Result<std::vector<MenuTemplateItem>> ParseMenuTemplate(std::span<const uint8_t> data) {
  Reader in(data);
  uint16_t version = in.Word();
  uint16_t header_extra = in.Word();
  if (in.failed() || version != 0) return Fail("not a menu template", ERROR_RESOURCE_DATA_NOT_FOUND);
  in.Skip(header_extra);
  std::vector<MenuTemplateItem> items;
  if (in.failed() || !ParseMenuLevel(in, 1, items))
    return Fail("malformed menu template", ERROR_RESOURCE_DATA_NOT_FOUND);
  return items;
}

namespace {

bool BuildLevel(const std::vector<MenuTemplateItem>& items, void* menu, MenuSink& sink) {
  for (const auto& item : items) {
    if (item.flags & menu_flags::kPopup) {
      void* popup = sink.CreatePopup();
      if (!popup) return false;
      if (!BuildLevel(item.children, popup, sink) ||
          !sink.AppendPopup(menu, popup, item.flags, item.text)) {
        sink.Destroy(popup);
        return false;
      }
    } else if (item.is_separator()) {
      if (!sink.AppendSeparator(menu)) return false;
    } else if (!sink.AppendItem(menu, item.flags, item.id, item.text)) {
      return false;
    }
  }
  return true;
}

}  // namespace

void* BuildMenu(const std::vector<MenuTemplateItem>& items, MenuSink& sink) {
  void* bar = sink.CreateBar();
  if (!bar) return nullptr;
  if (!BuildLevel(items, bar, sink)) {
    sink.Destroy(bar);
    return nullptr;
  }
  return bar;
}

Result<DibImage> ParseDib(std::span<const uint8_t> data) {
  Reader in(data);
  uint32_t header_size = in.Dword();
  int32_t width = int32_t(in.Dword());
  int32_t height = int32_t(in.Dword());
  uint16_t planes = in.Word();
  uint16_t bits = in.Word();
  uint32_t compression = in.Dword();
  in.Skip(12);  // image size, pixels per metre both ways
  uint32_t colours_used = in.Dword();
  in.Skip(4);  // colours important
  if (in.failed() || header_size < 40 || header_size > data.size())
    return Fail("not a bitmap header", ERROR_RESOURCE_DATA_NOT_FOUND);
  bool top_down = height < 0;
  int64_t rows = top_down ? -int64_t(height) : int64_t(height);
  if (planes != 1 || width <= 0 || rows <= 0 || width > kMaxDibSide || rows > kMaxDibSide ||
      int64_t(width) * rows > kMaxDibPixels)
    return Fail("bitmap of unsupported size", ERROR_RESOURCE_DATA_NOT_FOUND);
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Fail("unsupported bit depth", ERROR_RESOURCE_DATA_NOT_FOUND);
  constexpr uint32_t kRgb = 0, kBitfields = 3;
  if (compression != kRgb && !(compression == kBitfields && (bits == 16 || bits == 32)))
    return Fail("compressed bitmaps are not supported", ERROR_RESOURCE_DATA_NOT_FOUND);

  size_t offset = header_size;
  uint32_t masks[3] = {0, 0, 0};
  if (compression == kBitfields) {
    if (header_size == 40) {
      Reader m(data.subspan(offset));
      for (auto& mask : masks) mask = m.Dword();
      if (m.failed()) return Fail("truncated colour masks", ERROR_RESOURCE_DATA_NOT_FOUND);
      offset += 12;
    } else {
      Reader m(data.subspan(40));
      for (auto& mask : masks) mask = m.Dword();
    }
  }
  std::vector<uint32_t> palette;
  if (bits <= 8) {
    uint32_t count = colours_used ? colours_used : (1u << bits);
    if (count > 256) return Fail("colour table too large", ERROR_RESOURCE_DATA_NOT_FOUND);
    if ((data.size() - offset) / 4 < count)
      return Fail("truncated colour table", ERROR_RESOURCE_DATA_NOT_FOUND);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* q = &data[offset + 4 * i];
      palette.push_back(0xFF000000u | (uint32_t(q[2]) << 16) | (uint32_t(q[1]) << 8) | q[0]);
    }
    offset += 4 * size_t(count);
  }
  size_t stride = ((size_t(width) * bits + 31) / 32) * 4;
  if ((data.size() - offset) / stride < size_t(rows))
    return Fail("truncated pixels", ERROR_RESOURCE_DATA_NOT_FOUND);

  auto channel = [](uint32_t value, uint32_t mask) -> uint32_t {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    uint32_t max = mask >> shift;
    return ((value & mask) >> shift) * 255 / max;
  };
  if (compression == kRgb && bits == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }

  DibImage image;
  image.width = width;
  image.height = int(rows);
  image.bits_per_pixel = bits;
  image.pixels.resize(size_t(width) * size_t(rows));
  bool any_alpha = false;
  for (int64_t y = 0; y < rows; ++y) {
    const uint8_t* row = &data[offset + size_t(top_down ? y : rows - 1 - y) * stride];
    uint32_t* out = &image.pixels[size_t(y) * size_t(width)];
    for (int x = 0; x < width; ++x) {
      uint32_t pixel = 0;
      switch (bits) {
        case 1:
        case 4:
        case 8: {
          size_t bit = size_t(x) * bits;
          uint32_t index = (row[bit / 8] >> (8 - bits - bit % 8)) & ((1u << bits) - 1);
          pixel = index < palette.size() ? palette[index] : 0xFF000000u;
          break;
        }
        case 16: {
          uint32_t v = row[2 * x] | (row[2 * x + 1] << 8);
          pixel = 0xFF000000u | (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) |
                  channel(v, masks[2]);
          break;
        }
        case 24:
          pixel = 0xFF000000u | (uint32_t(row[3 * x + 2]) << 16) | (uint32_t(row[3 * x + 1]) << 8) |
                  row[3 * x];
          break;
        case 32: {
          const uint8_t* q = &row[4 * x];
          uint32_t v = q[0] | (q[1] << 8) | (q[2] << 16) | (uint32_t(q[3]) << 24);
          if (compression == kBitfields)
            pixel = 0xFF000000u | (channel(v, masks[0]) << 16) | (channel(v, masks[1]) << 8) |
                    channel(v, masks[2]);
          else
            pixel = v;
          if (compression == kRgb && q[3] != 0) any_alpha = true;
          break;
        }
      }
      out[x] = pixel;
    }
  }
  // 32-bit data whose fourth byte is zero everywhere has no alpha: it is opaque.
  if (bits == 32 && compression == kRgb && !any_alpha)
    for (auto& p : image.pixels) p |= 0xFF000000u;
  return image;
}

DibImage ScaleDib(const DibImage& image, int width, int height) {
  DibImage out;
  out.width = width;
  out.height = height;
  out.bits_per_pixel = image.bits_per_pixel;
  out.pixels.resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    int sy = int(int64_t(y) * image.height / height);
    for (int x = 0; x < width; ++x) {
      int sx = int(int64_t(x) * image.width / width);
      out.pixels[size_t(y) * width + x] = image.pixels[size_t(sy) * image.width + sx];
    }
  }
  return out;
}

}  // namespace pellix::device

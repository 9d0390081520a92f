#include "gdi/surface.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace pellix::device::gdi {
namespace {

// Shrinks dst (and moves the source origin with it) until both rectangles lie inside their
// surfaces. Returns false when nothing is left.
bool ClipCopy(const Rect& src_bounds, const Rect& dst_bounds, int& sx, int& sy, Rect& dst) {
  Rect d = dst.Intersect(dst_bounds);
  if (d.IsEmpty()) return false;
  sx += d.left - dst.left;
  sy += d.top - dst.top;
  Rect s = Rect::FromSize(sx, sy, d.Width(), d.Height()).Intersect(src_bounds);
  if (s.IsEmpty()) return false;
  d = Rect{d.left + (s.left - sx), d.top + (s.top - sy), 0, 0};
  d.right = d.left + s.Width();
  d.bottom = d.top + s.Height();
  sx = s.left;
  sy = s.top;
  dst = d;
  return true;
}

}  // namespace

Surface::Surface(int width, int height, Pixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)), stride_(std::max(width, 0)) {
  owned_.assign(static_cast<size_t>(width_) * height_, fill);
  data_ = owned_.empty() ? nullptr : owned_.data();
  if (!data_) width_ = height_ = 0;
}

Surface Surface::Wrap(Pixel* first_row, int width, int height, std::ptrdiff_t stride) {
  Surface s;
  if (first_row && width > 0 && height > 0) {
    s.data_ = first_row;
    s.width_ = width;
    s.height_ = height;
    s.stride_ = stride;
  }
  return s;
}

Surface::Surface(Surface&& other) noexcept { *this = std::move(other); }

Surface& Surface::operator=(Surface&& other) noexcept {
  if (this == &other) return *this;
  const bool owned = !other.owned_.empty();
  owned_ = std::move(other.owned_);
  data_ = owned ? owned_.data() : other.data_;
  width_ = other.width_;
  height_ = other.height_;
  stride_ = other.stride_;
  other.owned_.clear();
  other.data_ = nullptr;
  other.width_ = other.height_ = 0;
  other.stride_ = 0;
  return *this;
}

Surface Surface::Clone() const {
  Surface copy(width_, height_);
  for (int y = 0; y < height_; ++y)
    std::memcpy(copy.Row(y), Row(y), static_cast<size_t>(width_) * sizeof(Pixel));
  return copy;
}

Pixel Surface::At(int x, int y) const {
  return bounds().Contains(x, y) ? Row(y)[x] : 0;
}

void Surface::Set(int x, int y, Pixel p) {
  if (bounds().Contains(x, y)) Row(y)[x] = p;
}

void Surface::Fill(const Rect& rect, Pixel color) {
  const Rect r = rect.Intersect(bounds());
  if (r.IsEmpty()) return;
  for (int y = r.top; y < r.bottom; ++y) std::fill(Row(y) + r.left, Row(y) + r.right, color);
}

void Surface::Copy(const Surface& src, int sx, int sy, const Rect& dst_in) {
  Rect dst = dst_in;
  if (!ClipCopy(src.bounds(), bounds(), sx, sy, dst)) return;
  const size_t bytes = static_cast<size_t>(dst.Width()) * sizeof(Pixel);
  // Within one surface, copy rows in the order that never reads a row already written.
  const bool upward = &src == this && sy < dst.top;
  for (int i = 0; i < dst.Height(); ++i) {
    const int row = upward ? dst.Height() - 1 - i : i;
    std::memmove(Row(dst.top + row) + dst.left, src.Row(sy + row) + sx, bytes);
  }
}

void Surface::Stretch(const Surface& src, const Rect& src_rect, const Rect& dst_rect,
                      const Rect& clip) {
  const long long dw = dst_rect.Width(), dh = dst_rect.Height();
  const long long sw = src_rect.Width(), sh = src_rect.Height();
  if (dw == 0 || dh == 0 || sw == 0 || sh == 0 || src.width_ == 0) return;
  // Mirroring: a negative extent on one side flips that axis.
  const bool flip_x = (dw < 0) != (sw < 0), flip_y = (dh < 0) != (sh < 0);
  const Rect d{static_cast<int>(std::min<long long>(dst_rect.left, dst_rect.right)),
               static_cast<int>(std::min<long long>(dst_rect.top, dst_rect.bottom)),
               static_cast<int>(std::max<long long>(dst_rect.left, dst_rect.right)),
               static_cast<int>(std::max<long long>(dst_rect.top, dst_rect.bottom))};
  const int s_left = static_cast<int>(std::min<long long>(src_rect.left, src_rect.right));
  const int s_top = static_cast<int>(std::min<long long>(src_rect.top, src_rect.bottom));
  const long long adw = d.Width(), adh = d.Height();
  const long long asw = sw < 0 ? -sw : sw, ash = sh < 0 ? -sh : sh;
  const Rect out = d.Intersect(clip).Intersect(bounds());
  if (out.IsEmpty()) return;
  // Kept per thread: pictures are stretched at every paint, and this allocates nothing once a
  // row as wide has been stretched before.
  thread_local std::vector<int> columns;
  columns.resize(static_cast<size_t>(out.Width()));
  for (int x = out.left; x < out.right; ++x) {
    long long i = x - d.left;
    if (flip_x) i = adw - 1 - i;
    // Sample at the centre of each destination pixel.
    columns[x - out.left] = s_left + static_cast<int>((2 * i + 1) * asw / (2 * adw));
  }
  for (int y = out.top; y < out.bottom; ++y) {
    long long j = y - d.top;
    if (flip_y) j = adh - 1 - j;
    const int syy = s_top + static_cast<int>((2 * j + 1) * ash / (2 * adh));
    Pixel* row = Row(y);
    if (syy < 0 || syy >= src.height_) continue;
    const Pixel* srow = src.Row(syy);
    for (int x = out.left; x < out.right; ++x) {
      const int sxx = columns[x - out.left];
      if (sxx >= 0 && sxx < src.width_) row[x] = srow[sxx];
    }
  }
}

void Surface::Blend(const Surface& src, int sx, int sy, const Rect& dst_in, uint8_t alpha) {
  Rect dst = dst_in;
  if (!ClipCopy(src.bounds(), bounds(), sx, sy, dst)) return;
  if (alpha == 255) return Copy(src, sx, sy, dst);
  if (alpha == 0) return;
  const uint32_t a = alpha, na = 255 - alpha;
  const bool upward = &src == this && sy < dst.top;
  for (int i = 0; i < dst.Height(); ++i) {
    const int row = upward ? dst.Height() - 1 - i : i;
    Pixel* d = Row(dst.top + row) + dst.left;
    const Pixel* s = src.Row(sy + row) + sx;
    const int n = dst.Width();
    for (int x = 0; x < n; ++x) {
      // Red and blue share one multiply, green the other; each lane stays below 65536.
      const uint32_t sp = s[x], dp = d[x];
      uint32_t rb = (sp & 0xFF00FF) * a + (dp & 0xFF00FF) * na + 0x800080;
      rb = ((rb + ((rb >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
      uint32_t g = (sp & 0xFF00) * a + (dp & 0xFF00) * na + 0x8000;
      g = ((g + ((g >> 8) & 0xFF00)) >> 8) & 0xFF00;
      d[x] = rb | g;
    }
  }
}

void Surface::BlendMask(const uint8_t* coverage, int width, int height, std::ptrdiff_t pitch,
                        int x, int y, Pixel color, const Rect& clip) {
  const Rect r = Rect::FromSize(x, y, width, height).Intersect(clip).Intersect(bounds());
  if (r.IsEmpty() || !coverage) return;
  const int cr = (color >> 16) & 0xFF, cg = (color >> 8) & 0xFF, cb = color & 0xFF;
  for (int yy = r.top; yy < r.bottom; ++yy) {
    const uint8_t* m = coverage + (yy - y) * pitch;
    Pixel* d = Row(yy);
    for (int xx = r.left; xx < r.right; ++xx) {
      const int c = m[xx - x];
      if (c == 0) continue;
      if (c == 255) {
        d[xx] = color;
        continue;
      }
      const Pixel p = d[xx];
      const int pr = (p >> 16) & 0xFF, pg = (p >> 8) & 0xFF, pb = p & 0xFF;
      d[xx] = MakePixel(MulDiv255(cr, c) + MulDiv255(pr, 255 - c),
                        MulDiv255(cg, c) + MulDiv255(pg, 255 - c),
                        MulDiv255(cb, c) + MulDiv255(pb, 255 - c));
    }
  }
}

}  // namespace pellix::device::gdi

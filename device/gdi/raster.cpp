#include "gdi/raster.h"

#include <algorithm>

namespace pellix::device::gdi {
namespace {

Rect Normalized(const Rect& r) {
  return Rect{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
              std::max(r.top, r.bottom)};
}

// A ternary raster code applied bit by bit: bit (P<<2 | S<<1 | D) of the code's index byte
// gives the result for that combination of pattern, source and destination bits.
Pixel Ternary(uint32_t rop, Pixel p, Pixel s, Pixel d) {
  const uint32_t index = (rop >> 16) & 0xFF;
  Pixel result = 0;
  for (int combo = 0; combo < 8; ++combo) {
    if (!(index & (1u << combo))) continue;
    const Pixel pp = (combo & 4) ? p : ~p, ss = (combo & 2) ? s : ~s, dd = (combo & 1) ? d : ~d;
    result |= pp & ss & dd;
  }
  return result & 0xFFFFFF;
}

bool UsesSource(uint32_t rop) {
  const uint32_t index = (rop >> 16) & 0xFF;
  return ((index >> 2) & 0x33) != (index & 0x33);
}

// A plain colour-to-monochrome copy (SRCCOPY, same size, no mirroring) into a one-bit
// bitmap, written straight into its bits: the destination is never decoded, and each row is
// one pass of comparisons with the source's background colour. nullopt when the copy is not
// of that kind, or the source rectangle leaves the source; the general path then does it.
std::optional<bool> CopyToMono(DeviceContext& dst, const BlitRequest& req) {
  if (req.rop != 0x00CC0020 || req.transparent || req.alpha || !req.src) return std::nullopt;
  if (dst.kind() != DeviceContext::Kind::kMemory || !dst.bitmap ||
      !dst.bitmap->TakesMonoDirectly())
    return std::nullopt;
  if (req.src->kind() == DeviceContext::Kind::kMemory &&
      (!req.src->bitmap || req.src->bitmap->is_monochrome()))
    return std::nullopt;
  const Rect d = req.dst, s = req.src_rect;
  if (d.Width() <= 0 || d.Height() <= 0 || s.Width() != d.Width() || s.Height() != d.Height())
    return std::nullopt;
  auto target = dst.BeginDraw(DeviceContext::Access::kDirect);
  if (!target) return false;
  if (!target->direct) {
    dst.EndDraw(*target);
    return std::nullopt;
  }
  auto source = req.src->BeginRead();
  if (!source) {
    dst.EndDraw(*target);
    return false;
  }
  const Rect dd = d.Offset(target->origin_x, target->origin_y);
  const Rect ss = s.Offset(source->origin_x, source->origin_y);
  const int dx = ss.left - dd.left, dy = ss.top - dd.top;
  const Region clip = target->clip.Intersect(dd);
  const Rect source_bounds = source->surface->bounds();
  for (const Rect& c : clip.Rects()) {
    if (c.Offset(dx, dy).Intersect(source_bounds) != c.Offset(dx, dy)) {
      dst.EndDraw(*target);
      return std::nullopt;
    }
  }
  for (const Rect& c : clip.Rects())
    target->bitmap->StoreMono(*source->surface, dx, dy, c, req.src->bk_color);
  dst.EndDraw(*target);
  return true;
}

}  // namespace

bool FillArea(DeviceContext& dc, const Rect& rect, Pixel color) {
  auto target = dc.BeginDraw();
  if (!target) return false;
  const Rect r = Normalized(rect).Offset(target->origin_x, target->origin_y);
  for (const Rect& c : target->clip.Rects()) target->surface->Fill(r.Intersect(c), color);
  dc.EndDraw(*target);
  return true;
}

bool Blit(DeviceContext& dst, const BlitRequest& req) {
  if (auto done = CopyToMono(dst, req)) return *done;
  const bool needs_source = req.alpha || req.transparent || UsesSource(req.rop);
  if (needs_source && !req.src) return false;
  auto target = dst.BeginDraw();
  if (!target) return false;
  std::optional<DrawTarget> source;
  if (needs_source) {
    source = req.src->BeginRead();
    if (!source) {
      dst.EndDraw(*target);
      return false;
    }
  }
  Surface& out = *target->surface;
  const Rect d_signed = req.dst.Offset(target->origin_x, target->origin_y);
  const Rect d = Normalized(d_signed);
  const Region clip = target->clip.Intersect(d);
  if (clip.IsEmpty()) {
    dst.EndDraw(*target);
    return true;
  }

  // How source pixels become destination pixels when the depths differ.
  enum class Convert { kNone, kToMono, kFromMono };
  Convert convert = Convert::kNone;
  if (source) {
    const bool dst_mono = target->bitmap && target->bitmap->is_monochrome();
    const bool src_mono = source->bitmap && source->bitmap->is_monochrome();
    if (dst_mono && !src_mono) convert = Convert::kToMono;
    if (!dst_mono && source->bitmap && source->bitmap->is_monochrome_device())
      convert = Convert::kFromMono;
  }
  const Rect s_signed =
      source ? req.src_rect.Offset(source->origin_x, source->origin_y) : Rect{};
  const bool same_size = source && Normalized(s_signed).Width() == d.Width() &&
                         Normalized(s_signed).Height() == d.Height() &&
                         (s_signed.Width() < 0) == (d_signed.Width() < 0) &&
                         (s_signed.Height() < 0) == (d_signed.Height() < 0);

  // The plain copy needs no intermediate picture.
  if (source && same_size && convert == Convert::kNone && req.rop == 0x00CC0020 &&
      !req.transparent) {
    const Rect s = Normalized(s_signed);
    for (const Rect& c : clip.Rects()) {
      const int sx = s.left + (c.left - d.left), sy = s.top + (c.top - d.top);
      if (req.alpha)
        out.Blend(*source->surface, sx, sy, c, *req.alpha);
      else
        out.Copy(*source->surface, sx, sy, c);
    }
    dst.EndDraw(*target);
    return true;
  }

  // Otherwise bring the source into the destination's geometry first.
  const Rect box = clip.Bounds();
  Surface picture(box.Width(), box.Height(), 0);
  if (source) {
    picture.Stretch(*source->surface, s_signed, d_signed.Offset(-box.left, -box.top),
                    picture.bounds());
    if (convert != Convert::kNone) {
      const Bitmap* mono = convert == Convert::kToMono ? target->bitmap : source->bitmap;
      const Pixel zero = mono->palette()[0], one = mono->palette()[1];
      for (int y = 0; y < picture.height(); ++y) {
        Pixel* row = picture.Row(y);
        for (int x = 0; x < picture.width(); ++x) {
          if (convert == Convert::kToMono)
            row[x] = row[x] == req.src->bk_color ? one : zero;
          else
            row[x] = row[x] == one ? dst.bk_color : dst.text_color;
        }
      }
    }
  }
  const Pixel pattern = dst.brush && dst.brush->color ? *dst.brush->color : 0;
  for (const Rect& c : clip.Rects()) {
    if (req.alpha) {
      out.Blend(picture, c.left - box.left, c.top - box.top, c, *req.alpha);
      continue;
    }
    for (int y = c.top; y < c.bottom; ++y) {
      Pixel* row = out.Row(y);
      const Pixel* pic = picture.Row(y - box.top) - box.left;
      for (int x = c.left; x < c.right; ++x) {
        if (req.transparent) {
          if (pic[x] != *req.transparent) row[x] = pic[x];
        } else if (req.rop == 0x00CC0020) {
          row[x] = pic[x];
        } else {
          row[x] = Ternary(req.rop, pattern, pic[x], row[x]);
        }
      }
    }
  }
  dst.EndDraw(*target);
  return true;
}

}  // namespace pellix::device::gdi

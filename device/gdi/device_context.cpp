#include "gdi/device_context.h"

#include "gdi/screen.h"
#include "gdi/window_view.h"

namespace pellix::device::gdi {

DeviceContext DeviceContext::Memory(std::shared_ptr<Bitmap> default_bitmap) {
  DeviceContext dc(Kind::kMemory);
  dc.bitmap = std::move(default_bitmap);
  return dc;
}

DeviceContext DeviceContext::Window(HWND hwnd, bool whole_window) {
  DeviceContext dc(Kind::kWindow);
  dc.window_ = hwnd;
  dc.whole_window_ = whole_window;
  return dc;
}

DeviceContext DeviceContext::Screen() { return DeviceContext(Kind::kScreen); }

Rect DeviceContext::Extent() {
  switch (kind_) {
    case Kind::kMemory:
      return bitmap ? Rect{0, 0, bitmap->width(), bitmap->height()} : Rect{};
    case Kind::kScreen:
      return TheScreen().framebuffer().bounds();
    case Kind::kWindow: {
      auto info = Windows().Find(window_);
      if (!info) return Rect{};
      const Rect r = whole_window_ ? info->window : info->client;
      return Rect{0, 0, r.Width(), r.Height()};
    }
  }
  return Rect{};
}

int DeviceContext::Save() {
  saved_.push_back(State{text_color, bk_color, bk_mode, text_align, position, bitmap, brush, pen,
                         font, clip_region});
  return static_cast<int>(saved_.size());
}

bool DeviceContext::Restore(int level) {
  const int depth = static_cast<int>(saved_.size());
  const int target = level < 0 ? depth + level + 1 : level;
  if (level == 0 || target < 1 || target > depth) return false;
  State& s = saved_[static_cast<size_t>(target - 1)];
  text_color = s.text_color;
  bk_color = s.bk_color;
  bk_mode = s.bk_mode;
  text_align = s.text_align;
  position = s.position;
  if (kind_ == Kind::kMemory) bitmap = s.bitmap;
  brush = s.brush;
  pen = s.pen;
  font = s.font;
  clip_region = s.clip_region;
  saved_.resize(static_cast<size_t>(target - 1));
  return true;
}

std::optional<DrawTarget> DeviceContext::BeginDraw(Access access) {
  DrawTarget target;
  Rect area;
  std::optional<POINT> screen_origin;  // where the target shows on the screen, if it does
  switch (kind_) {
    case Kind::kMemory:
      if (!bitmap) return std::nullopt;
      target.bitmap = bitmap.get();
      area = Rect{0, 0, bitmap->width(), bitmap->height()};
      if (access == Access::kDirect && !bitmap->is_wrapped()) {
        target.direct = true;
      } else {
        target.surface = &bitmap->Lock();
      }
      break;
    case Kind::kScreen:
      target.surface = &TheScreen().framebuffer();
      area = target.surface->bounds();
      screen_origin = POINT{0, 0};
      break;
    case Kind::kWindow: {
      auto info = Windows().Find(window_);
      if (!info) return std::nullopt;
      target.surface = &TheScreen().WindowSurface(*info);
      const Rect r = whole_window_ ? info->window : info->client;
      target.origin_x = r.left - info->window.left;
      target.origin_y = r.top - info->window.top;
      area = Rect::FromSize(target.origin_x, target.origin_y, r.Width(), r.Height());
      screen_origin = POINT{info->window.left, info->window.top};
      break;
    }
  }
  const Rect bounds = target.surface ? target.surface->bounds() : area;
  Region clip(area.Intersect(bounds));
  for (const auto* extra : {&clip_region, &paint_region}) {
    if (!*extra) continue;
    Region r = **extra;
    r.Offset(target.origin_x, target.origin_y);
    clip = clip.Intersect(r);
  }
  // Whatever is drawn on the screen or a window lands inside the clip: that is the damage the
  // screen's watchers see (a window's surface shows at its window rectangle).
  if (screen_origin) {
    const Rect r = clip.Bounds();
    const int x = static_cast<int>(screen_origin->x), y = static_cast<int>(screen_origin->y);
    TheScreen().AddDamage(Rect{r.left + x, r.top + y, r.right + x, r.bottom + y});
  }
  target.clip = std::move(clip);
  return target;
}

void DeviceContext::EndDraw(DrawTarget& target) {
  if (target.bitmap && !target.direct) target.bitmap->Unlock();
  target.bitmap = nullptr;
}

std::optional<DrawTarget> DeviceContext::BeginRead() {
  DrawTarget target;
  switch (kind_) {
    case Kind::kMemory:
      if (!bitmap) return std::nullopt;
      target.bitmap = bitmap.get();
      // Read() may decode into the bitmap's shadow; the caller never writes through it.
      target.surface = const_cast<Surface*>(&bitmap->Read());
      break;
    case Kind::kScreen:
      target.surface = const_cast<Surface*>(&TheScreen().Compose());
      break;
    case Kind::kWindow: {
      auto info = Windows().Find(window_);
      if (!info) return std::nullopt;
      target.surface = &TheScreen().WindowSurface(*info);
      const Rect r = whole_window_ ? info->window : info->client;
      target.origin_x = r.left - info->window.left;
      target.origin_y = r.top - info->window.top;
      break;
    }
  }
  target.clip = Region(target.surface->bounds());
  return target;
}

}  // namespace pellix::device::gdi

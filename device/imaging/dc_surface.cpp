#include "imaging/dc_surface.h"

#include <mutex>

#include "gdi/gdi_api.h"
#include "kernel/device.h"

namespace pellix::device::imaging {
namespace {

std::mutex g_mutex;
SurfaceResolver& Resolver() {
  static SurfaceResolver resolver;
  return resolver;
}

// The graphics engine's surface behind `hdc`: 32-bit 0x00RRGGBB pixels.
Status WithGdiSurface(HDC hdc, SurfaceDraw draw) {
  gdi::ApiLock api;
  gdi::DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) return Fail("not a device context");
  std::optional<gdi::DrawTarget> target = dc->BeginDraw();
  if (!target) return Fail("nothing to draw on");
  gdi::Surface& pixels = *target->surface;
  PixelSurface surface;
  surface.width = pixels.width();
  surface.height = pixels.height();
  if (surface.width > 0 && surface.height > 0) {
    surface.bits = reinterpret_cast<uint8_t*>(pixels.Row(0));
    surface.stride = surface.height > 1 ? reinterpret_cast<uint8_t*>(pixels.Row(1)) - surface.bits
                                        : ptrdiff_t(surface.width) * 4;
    surface.bits_per_pixel = 32;
    surface.origin_x = target->origin_x;
    surface.origin_y = target->origin_y;
    for (const gdi::Rect& r : target->clip.Rects()) {
      surface.clip = PixelRect{r.left, r.top, r.right, r.bottom};
      draw(surface);
    }
  }
  dc->EndDraw(*target);
  return Status::Ok();
}

}  // namespace

void SetSurfaceResolver(SurfaceResolver resolver) {
  std::lock_guard lock(g_mutex);
  Resolver() = std::move(resolver);
}

Status WithSurface(HDC hdc, SurfaceDraw draw) {
  if (!hdc) return Fail("no device context");
  SurfaceResolver resolver;
  {
    std::lock_guard lock(g_mutex);
    // Copied only when installed: the graphics engine's path allocates nothing.
    if (Resolver()) resolver = Resolver();
  }
  if (resolver) return resolver(hdc, draw);
  if (!Device::Current()) return Fail("no device");
  return WithGdiSurface(hdc, draw);
}

}  // namespace pellix::device::imaging

#include "imaging/dc_surface.h"

#include <mutex>

namespace pellix::device::imaging {
namespace {

std::mutex g_mutex;
SurfaceResolver& Resolver() {
  static SurfaceResolver resolver;
  return resolver;
}

}  // namespace

void SetSurfaceResolver(SurfaceResolver resolver) {
  std::lock_guard lock(g_mutex);
  Resolver() = std::move(resolver);
}

Status WithSurface(HDC hdc, const std::function<void(PixelSurface&)>& draw) {
  SurfaceResolver resolver;
  {
    std::lock_guard lock(g_mutex);
    resolver = Resolver();
  }
  if (!resolver) return Fail("no graphics engine to draw into");
  if (!hdc) return Fail("no device context");
  return resolver(hdc, draw);
}

}  // namespace pellix::device::imaging

// Where IImage::Draw finds the pixels of a device context. The graphics engine owns device
// contexts and the bitmaps selected into them; WithSurface lends Draw the context's drawing
// surface, once per rectangle of its clip, under the graphics lock, for one call. Tests may
// install a resolver of their own in place of the graphics engine.
#pragma once

#include <windef.h>

#include <functional>
#include <memory>
#include <type_traits>

#include "imaging/argb_pixels.h"
#include "kernel/result.h"

namespace pellix::device::imaging {

// A borrowed callable taking the surface: it refers to the caller's lambda, which must outlive
// the call it is passed to. Unlike std::function it never allocates, so a draw stays
// allocation-free whatever the lambda captures.
class SurfaceDraw {
 public:
  template <typename F>
    requires(!std::is_same_v<std::remove_cvref_t<F>, SurfaceDraw> && std::is_invocable_v<F&, PixelSurface&>)
  SurfaceDraw(F&& f)  // NOLINT: converts implicitly, as a function parameter type should
      : object_(const_cast<void*>(static_cast<const void*>(std::addressof(f)))),
        call_([](void* object, PixelSurface& surface) { (*static_cast<std::remove_reference_t<F>*>(object))(surface); }) {}

  void operator()(PixelSurface& surface) const { call_(object_, surface); }

 private:
  void* object_;
  void (*call_)(void*, PixelSurface&);
};

// Calls `draw` with the surface of `hdc` while the engine holds it; fails when `hdc` is not a
// device context with a bitmap behind it.
using SurfaceResolver = std::function<Status(HDC hdc, SurfaceDraw draw)>;

// Installs a resolver used instead of the graphics engine (process-wide; the last one
// installed wins). An empty function goes back to the graphics engine.
void SetSurfaceResolver(SurfaceResolver resolver);

// Runs `draw` on the surface of `hdc`; fails for a handle that is not a device context.
Status WithSurface(HDC hdc, SurfaceDraw draw);

}  // namespace pellix::device::imaging

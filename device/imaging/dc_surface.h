// Where IImage::Draw finds the pixels of a device context. The graphics engine owns device
// contexts and the bitmaps selected into them; WithSurface lends Draw the context's drawing
// surface, once per rectangle of its clip, under the graphics lock, for one call. Tests may
// install a resolver of their own in place of the graphics engine.
#pragma once

#include <windef.h>

#include <functional>

#include "imaging/argb_pixels.h"
#include "kernel/result.h"

namespace pellix::device::imaging {

// Calls `draw` with the surface of `hdc` while the engine holds it; fails when `hdc` is not a
// device context with a bitmap behind it.
using SurfaceResolver = std::function<Status(HDC hdc, const std::function<void(PixelSurface&)>& draw)>;

// Installs a resolver used instead of the graphics engine (process-wide; the last one
// installed wins). An empty function goes back to the graphics engine.
void SetSurfaceResolver(SurfaceResolver resolver);

// Runs `draw` on the surface of `hdc`; fails for a handle that is not a device context.
Status WithSurface(HDC hdc, const std::function<void(PixelSurface&)>& draw);

}  // namespace pellix::device::imaging

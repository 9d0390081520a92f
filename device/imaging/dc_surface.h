// Where IImage::Draw finds the pixels of a device context. The graphics engine owns device
// contexts and the bitmaps selected into them; it registers a resolver that lends Draw the
// selected bitmap's bits, with the context's clip and origin, for the length of one call.
#pragma once

#include <windef.h>

#include <functional>

#include "imaging/argb_pixels.h"
#include "kernel/result.h"

namespace pellix::device::imaging {

// Calls `draw` with the surface of `hdc` while the engine holds it; fails when `hdc` is not a
// device context with a bitmap behind it.
using SurfaceResolver = std::function<Status(HDC hdc, const std::function<void(PixelSurface&)>& draw)>;

// Installs the resolver (process-wide; the last one installed wins). An empty function removes it.
void SetSurfaceResolver(SurfaceResolver resolver);

// Runs `draw` on the surface of `hdc` through the installed resolver.
Status WithSurface(HDC hdc, const std::function<void(PixelSurface&)>& draw);

}  // namespace pellix::device::imaging

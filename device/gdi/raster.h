// Raster operations between device contexts: blits with the platform's raster codes and its
// monochrome conversions, stretching, constant-alpha blending, transparent-colour copies.
// REQUIRES: the GDI table's lock.
#pragma once

#include <cstdint>
#include <optional>

#include "gdi/device_context.h"

namespace pellix::device::gdi {

struct BlitRequest {
  Rect dst;                          // context coordinates; negative extents mirror
  DeviceContext* src = nullptr;      // null for raster codes without a source
  Rect src_rect;                     // context coordinates of the source
  uint32_t rop = 0x00CC0020;         // SRCCOPY
  std::optional<Pixel> transparent;  // TransparentBlt: source pixels of this colour are skipped
  std::optional<uint8_t> alpha;      // AlphaBlend: constant alpha
};

// Returns false when a context cannot be drawn on or read.
bool Blit(DeviceContext& dst, const BlitRequest& request);

// Fills a rectangle (context coordinates) with a colour, clipped by the context.
bool FillArea(DeviceContext& dc, const Rect& rect, Pixel color);

}  // namespace pellix::device::gdi

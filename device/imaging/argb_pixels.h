// Pixel work on straight 0xAARRGGBB buffers: conversion to and from the platform's pixel
// formats, resizing, and blending into a device surface. No COM and no locking here; callers
// hold whatever lock guards the buffers they pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace pellix::device::imaging {

// A read-only view of ARGB pixels, rows of `width` pixels, top row first.
struct ArgbView {
  const uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
};

struct PixelRect {
  int left = 0, top = 0, right = 0, bottom = 0;  // right and bottom exclusive
  int width() const { return right - left; }
  int height() const { return bottom - top; }
  bool empty() const { return right <= left || bottom <= top; }
};
PixelRect Intersect(const PixelRect& a, const PixelRect& b);

// Memory that Draw blends into: a bitmap's bits with 16 (5-6-5), 24 or 32 (x8-R-G-B, blue in
// the lowest byte) bits per pixel. `bits` is the top row; `stride` may be negative.
struct PixelSurface {
  uint8_t* bits = nullptr;
  int width = 0;
  int height = 0;
  ptrdiff_t stride = 0;
  int bits_per_pixel = 32;
  PixelRect clip;      // in surface pixels; drawing outside it is dropped
  int origin_x = 0;    // where the caller's (0, 0) lies on the surface
  int origin_y = 0;
};

// Whether the platform pixel format is one Convert* below handles.
bool CanConvert(int pixel_format);
// Row converters between straight ARGB and a platform pixel format (PixelFormat* values).
void ConvertFromArgb(int pixel_format, const uint32_t* argb, uint8_t* out, int count);
void ConvertToArgb(int pixel_format, const uint8_t* in, uint32_t* argb, int count);

// Resizes by averaging the source pixels each target pixel covers (weighted by alpha, so
// transparent pixels lend no colour), or by repeating pixels when enlarging.
std::vector<uint32_t> Resize(const ArgbView& source, int width, int height);

// Draws `source_rect` of `source` scaled (nearest pixel) into `target_rect` of the surface,
// blending by each pixel's alpha and clipped to the surface's clip rectangle.
void BlendInto(PixelSurface& surface, const PixelRect& target_rect, const ArgbView& source,
               const PixelRect& source_rect);

}  // namespace pellix::device::imaging

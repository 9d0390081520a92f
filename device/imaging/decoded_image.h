// A picture as the decoders hand it over: every frame already composed onto the full canvas,
// as straight (not premultiplied) 0xAARRGGBB pixels, top row first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "kernel/result.h"

namespace pellix::device::imaging {

enum class ImageFormat { kGif, kPng, kJpeg, kBmp };

std::string_view FormatName(ImageFormat format);

// How the file itself stores its pixels; the surface reports it as the image's pixel format.
enum class NativeLayout { kIndexed1, kIndexed4, kIndexed8, kRgb555, kRgb565, kRgb24, kRgb32, kArgb32 };

struct Frame {
  std::vector<uint32_t> pixels;  // width * height, row-major, top row first
  uint32_t delay_ms = 0;         // how long the frame stays, as the file asks (0 when it says none)
};

struct DecodedImage {
  ImageFormat format = ImageFormat::kBmp;
  NativeLayout layout = NativeLayout::kRgb24;
  uint32_t width = 0;
  uint32_t height = 0;
  bool has_alpha = false;    // some pixel of some frame is not fully opaque
  int32_t loop_count = -1;   // GIF loop extension: 0 forever, -1 when the file has none
  std::vector<Frame> frames; // never empty after a successful decode
};

// Decoders refuse pictures beyond these before allocating anything for them, so a hostile
// header cannot make the device reserve gigabytes.
inline constexpr uint64_t kMaxCanvasPixels = 16u * 1024 * 1024;
inline constexpr uint64_t kMaxAnimationPixels = 32u * 1024 * 1024;  // all frames together

// Each decoder takes the whole file. Failures name the reason; nothing is thrown.
Result<DecodedImage> DecodeGif(std::span<const uint8_t> file);
Result<DecodedImage> DecodePng(std::span<const uint8_t> file);
Result<DecodedImage> DecodeJpeg(std::span<const uint8_t> file);
Result<DecodedImage> DecodeBmp(std::span<const uint8_t> file);

// The format the file's signature announces, if any.
Result<ImageFormat> SniffFormat(std::span<const uint8_t> file);
// Sniffs the format and runs its decoder.
Result<DecodedImage> DecodeImage(std::span<const uint8_t> file);

// True when some pixel has alpha below 255.
bool AnyTranslucent(const std::vector<Frame>& frames);

}  // namespace pellix::device::imaging

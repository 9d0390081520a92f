// PNG through libpng's simplified reader, which expands every colour type (palette, grey,
// 16-bit, tRNS) to 8-bit BGRA; on a little-endian host that is exactly 0xAARRGGBB per pixel.
#include <png.h>

#include <cstring>

#include "imaging/decoded_image.h"

namespace pellix::device::imaging {

Result<DecodedImage> DecodePng(std::span<const uint8_t> file) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&png, file.data(), file.size()))
    return Fail(std::string("PNG: ") + png.message);

  DecodedImage image;
  image.format = ImageFormat::kPng;
  image.width = png.width;
  image.height = png.height;
  const bool alpha = (png.format & PNG_FORMAT_FLAG_ALPHA) != 0;
  const bool palette = (png.format & PNG_FORMAT_FLAG_COLORMAP) != 0;
  image.layout = alpha ? NativeLayout::kArgb32 : palette ? NativeLayout::kIndexed8 : NativeLayout::kRgb24;
  if (png.width == 0 || png.height == 0 || uint64_t{png.width} * png.height > kMaxCanvasPixels) {
    png_image_free(&png);
    return Fail("PNG: picture too large");
  }

  png.format = PNG_FORMAT_BGRA;
  Frame frame;
  frame.pixels.resize(size_t{png.width} * png.height);
  if (!png_image_finish_read(&png, nullptr, frame.pixels.data(), 0, nullptr))
    return Fail(std::string("PNG: ") + png.message);  // finish_read frees on failure
  image.frames.push_back(std::move(frame));
  image.has_alpha = alpha && AnyTranslucent(image.frames);
  return image;
}

}  // namespace pellix::device::imaging

// Bitmaps and icons come from module files the device loads: any bytes must decode or fail
// cleanly, and a decoded picture has exactly width x height pixels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "kernel/module_resources.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto image = pellix::device::ParseDib({data, size});
  if (image.ok()) {
    if (image->pixels.size() != size_t(image->width) * size_t(image->height)) std::abort();
    auto scaled = pellix::device::ScaleDib(*image, 1 + image->width / 3, 1 + image->height * 2 % 50);
    if (scaled.pixels.empty()) std::abort();
  }
  return 0;
}

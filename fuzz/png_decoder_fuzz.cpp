// Any bytes given to the Png decoder either decode or fail; nothing is read or written out of bounds.
#include <cstddef>
#include <cstdint>

#include "imaging/decoded_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto image = pellix::device::imaging::DecodePng(std::span(data, size));
  if (image.ok()) {
    // Every frame must hold exactly the canvas.
    for (const auto& frame : image->frames)
      if (frame.pixels.size() != size_t{image->width} * image->height) __builtin_trap();
  }
  return 0;
}

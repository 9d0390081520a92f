// Any bytes, sniffed and decoded, then thumbnailed and drawn the way the imaging library's
// images are: no decoder, resize or blend may step outside its buffers.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/argb_pixels.h"
#include "imaging/decoded_image.h"

using namespace pellix::device::imaging;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  auto image = DecodeImage(std::span(data, size));
  if (!image.ok()) return 0;
  const int width = int(image->width), height = int(image->height);
  for (const Frame& frame : image->frames) {
    ArgbView view{frame.pixels.data(), width, height};
    std::vector<uint32_t> thumbnail = Resize(view, 7, 5);
    std::vector<uint16_t> screen(9 * 6, 0xFFFF);
    PixelSurface surface;
    surface.bits = reinterpret_cast<uint8_t*>(screen.data());
    surface.width = 9, surface.height = 6, surface.stride = 18, surface.bits_per_pixel = 16;
    surface.clip = PixelRect{1, 1, 8, 5};
    BlendInto(surface, PixelRect{-2, -1, 11, 7}, view, PixelRect{0, 0, width, height});
    BlendInto(surface, PixelRect{0, 0, 7, 5}, ArgbView{thumbnail.data(), 7, 5}, PixelRect{-3, -3, 9, 9});
  }
  return 0;
}

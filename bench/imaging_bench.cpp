// Decoding speed of the imaging library: an animated smiley, every frame, as the bubble's
// animation timer asks for them.
#include <benchmark/benchmark.h>

#include "imaging/decoded_image.h"
#include "imaging/sample_pictures.h"

namespace {

using namespace pellix::device::imaging;

// A 20-frame 24 x 24 animation decoded and composed, all frames.
void BM_DecodeAnimatedGifAllFrames(benchmark::State& state) {
  const std::vector<uint8_t> file = samples::MovingSquareGif(20, 24);
  for (auto _ : state) {
    auto image = DecodeGif(file);
    if (!image.ok() || image->frames.size() != 20) state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_DecodeAnimatedGifAllFrames)->Unit(benchmark::kMicrosecond);

void BM_DecodePng64(benchmark::State& state) {
  std::vector<uint32_t> pixels(64 * 64);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint32_t(i * 2654435761u);
  const std::vector<uint8_t> file = samples::WritePng(64, 64, pixels, true);
  for (auto _ : state) benchmark::DoNotOptimize(DecodePng(file));
}
BENCHMARK(BM_DecodePng64)->Unit(benchmark::kMicrosecond);

}  // namespace

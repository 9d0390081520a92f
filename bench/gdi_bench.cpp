// Graphics speed: constant-alpha blending of a whole VGA screen, and a screenshot of a QVGA
// screen (composition plus PNG encoding).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "gdi/png_writer.h"
#include "gdi/screenshot.h"
#include "kernel/device.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace {

// One device for the whole benchmark process, 240x320 as a fresh image is.
pellix::device::Device& BenchDevice() {
  static pellix::testing::TempDir* dir = new pellix::testing::TempDir();
  static pellix::device::Device* device = [] {
    auto image = pellix::device::DeviceImage::Create(dir->path() / "image",
                                                    pellix::device::Profile{});
    if (!image.ok()) std::abort();
    return &pellix::device::Device::Boot(std::move(*image));
  }();
  return *device;
}

HDC DibContext(int width, int height, uint32_t fill) {
  BITMAPINFOHEADER h{40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  auto* p = static_cast<uint32_t*>(bits);
  for (int i = 0; i < width * height; ++i) p[i] = fill + static_cast<uint32_t>(i % 251);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  return dc;
}

void BM_AlphaBlendVgaScreen(benchmark::State& state) {
  BenchDevice();
  HDC src = DibContext(480, 640, 0x204080), dst = DibContext(480, 640, 0x806040);
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 160, 0};
  for (auto _ : state) {
    BOOL ok = AlphaBlend(dst, 0, 0, 480, 640, src, 0, 0, 480, 640, blend);
    benchmark::DoNotOptimize(ok);
  }
  state.SetItemsProcessed(state.iterations() * 480 * 640);
}
BENCHMARK(BM_AlphaBlendVgaScreen)->Unit(benchmark::kMillisecond);

void BM_ScreenshotQvga(benchmark::State& state) {
  BenchDevice();
  for (auto _ : state) {
    auto picture = pellix::device::gdi::Capture();
    auto png = pellix::device::gdi::EncodePng(*picture);
    benchmark::DoNotOptimize(png->data());
  }
}
BENCHMARK(BM_ScreenshotQvga)->Unit(benchmark::kMillisecond);

}  // namespace

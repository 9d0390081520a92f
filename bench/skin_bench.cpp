// The skin's costs on the bubble thread: reading the default skin, and cutting a VGA-sized
// shape picture into a window region.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <vector>

#include "bubble/skin_shape.h"
#include "core/settings.h"
#include "kernel/device.h"
#include "skin/skin.h"
#include "testing/temp_image.h"

namespace {

namespace fs = std::filesystem;
using pellix::device::Device;
using pellix::device::DeviceImage;
using pellix::device::Profile;

// Boots a 480 x 640 device for the length of one benchmark.
struct BenchDevice {
  pellix::testing::TempDir dir;
  Device* device = nullptr;
  BenchDevice() {
    Profile profile;
    profile.screen_width = 480;
    profile.screen_height = 640;
    profile.dpi = 192;
    auto image = DeviceImage::Create(dir.path() / "image", profile);
    if (!image) std::abort();
    device = &Device::Boot(std::move(*image));
  }
  ~BenchDevice() { Device::Shutdown(); }
};

// The shipped default skin, installed where `pellix-device init` puts it.
void BM_LoadSkinDefault(benchmark::State& state) {
  BenchDevice device;
  fs::path source = fs::path(__FILE__).parent_path().parent_path() / "skins" / "default";
  auto target = device.device->image().MapPath(u"\\Program Files\\Halvane Quorrin\\Pellix\\Skins\\default");
  if (!target) std::abort();
  fs::create_directories(*target);
  fs::copy(source, *target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  g_Settings.InstallDir.Set(TEXT("\\Program Files\\Halvane Quorrin\\Pellix\\"));
  g_Settings.SkinName.Set(TEXT("default"));
  for (auto _ : state) {
    LoadSkin();
    benchmark::DoNotOptimize(g_Skin.NotifyWndHeight);
  }
  if (g_Skin.NotifyWndHeight != 160) state.SkipWithError("the default skin was not read");
}
BENCHMARK(BM_LoadSkinDefault)->Unit(benchmark::kMicrosecond);

// A 480 x 640 picture with rounded corners of radius 24, white inside and black outside.
HBITMAP RoundedPicture(int w, int h, int r) {
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  DWORD* pixels = static_cast<DWORD*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int cx = x < r ? r : (x >= w - r ? w - r - 1 : x);
      int cy = y < r ? r : (y >= h - r ? h - r - 1 : y);
      int dx = x - cx, dy = y - cy;
      pixels[y * w + x] = dx * dx + dy * dy <= r * r ? 0xFFFFFF : 0;
    }
  return bitmap;
}

void BM_BuildSkinRegion480x640(benchmark::State& state) {
  BenchDevice device;
  // As the popup uses it: the picture stretched into a screen-compatible bitmap.
  HBITMAP drawn = RoundedPicture(480, 640, 24);
  HBITMAP picture = StretchBitmap(drawn, 480, 640);
  DeleteObject(drawn);
  for (auto _ : state) {
    HRGN region = nullptr;
    if (BuildSkinRegion(picture, &region) != 0) state.SkipWithError("BuildSkinRegion failed");
    DeleteObject(region);
  }
  DeleteObject(picture);
}
BENCHMARK(BM_BuildSkinRegion480x640)->Unit(benchmark::kMicrosecond);

// The shape scan alone, over the one-bit copy of the same picture: what BuildSkinRegion adds
// to the graphics engine's colour-to-monochrome copy and region building.
void BM_ScanSkinRuns480x640(benchmark::State& state) {
  const int w = 480, h = 640, r = 24;
  const int stride = (w + 31) / 32 * 4;
  std::vector<BYTE> bits(static_cast<size_t>(stride) * h, 0);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      int cx = x < r ? r : (x >= w - r ? w - r - 1 : x);
      int cy = y < r ? r : (y >= h - r ? h - r - 1 : y);
      if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
        bits[static_cast<size_t>(h - 1 - y) * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
    }
  std::vector<RECT> rects(h);
  for (auto _ : state) {
    DWORD n = ScanSkinRuns(bits.data(), w, h, nullptr, 0);
    benchmark::DoNotOptimize(ScanSkinRuns(bits.data(), w, h, rects.data(), n));
  }
}
BENCHMARK(BM_ScanSkinRuns480x640)->Unit(benchmark::kMicrosecond);

}  // namespace

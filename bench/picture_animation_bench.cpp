// One animation step (next frame, decode, redraw) of every picture of the default smiley list,
// with the number of C++ heap allocations a step makes: the kept decoder and bitmaps mean none.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <new>

#include "core/settings.h"
#include "forms/picture.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "render/smiley_table.h"
#include "testing/temp_image.h"

namespace {
std::atomic<long> g_allocations{0};
}

// Counting replacements of the global allocation functions: they pair with each other only.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

namespace fs = std::filesystem;
using namespace pellix;

// Arg 0: the whole step; 1: decoding only; 2: redrawing only; 3: only the memory device
// context that a redraw creates and deletes.
void BM_SmileyAnimationStep(benchmark::State& state) {
  const int part = static_cast<int>(state.range(0));
  pellix::testing::TempDir dir;
  auto image = device::DeviceImage::Create(dir.path() / "image", device::Profile{});
  if (!image) {
    state.SkipWithError("no image");
    return;
  }
  device::Device::Boot(std::move(*image));
  fs::path skins = dir.path() / "image" / "fs" / "Skins";
  fs::create_directories(skins);
  fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
  g_Settings.InstallDir.Set(u"\\");
  g_Settings.SkinName.Set(u"default");
  LoadSmileyTable();
  std::vector<PICTURE*> pictures;
  for (LONG i = 0; i < g_SmileyCount; ++i) {
    std::string s = std::to_string(i);
    std::u16string name(s.begin(), s.end());
    if (PICTURE* p = GetSmileyImage(name.c_str())) pictures.push_back(p);
  }
  long steps = 0;
  long before = g_allocations.load();
  for (auto _ : state) {
    for (PICTURE* p : pictures) {
      p->frame = (p->frame + 1) % p->frameCount;
      if (part != 2) DecodePictureFrame(p);
      if (part == 0 || part == 2) RedrawPicture(p);
      if (part == 3) DeleteDC(CreateCompatibleDC(nullptr));
    }
    ++steps;
  }
  long allocations = g_allocations.load() - before;
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["allocs_per_step"] = steps ? static_cast<double>(allocations) / steps : 0;
  FreeSmileyTable();
  device::Device::Shutdown();
}
BENCHMARK(BM_SmileyAnimationStep)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

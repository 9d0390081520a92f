// One animation step of every picture of the default skin's smiley table (the next frame, from
// the frames each picture keeps once drawn, or decoded and redrawn), with the heap allocations
// the step makes on the animating thread: the kept decoder, bitmap image, bitmap and frames, and
// the graphics engine's reused contexts, mean none. Only the thread that runs the benchmark
// counts (allocation_counter.h).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "core/settings.h"
#include "forms/picture.h"
#include "kernel/device.h"
#include "kernel/device_image.h"
#include "render/smiley_table.h"
#include "testing/temp_image.h"
#include "testing/allocation_counter.h"

namespace {

namespace fs = std::filesystem;
using namespace pellix;

// The default skin's smiley table, loaded once, on a booted device of its own.
class SmileyDevice {
 public:
  SmileyDevice() {
    auto image = device::DeviceImage::Create(dir_.path() / "image", device::Profile{});
    if (!image) return;
    device::Device::Boot(std::move(*image));
    fs::path skins = dir_.path() / "image" / "fs" / "Skins";
    fs::create_directories(skins);
    fs::copy(fs::path(PELLIX_SKINS_DIR) / "default", skins / "default", fs::copy_options::recursive);
    g_Settings.InstallDir.Set(u"\\");
    g_Settings.SkinName.Set(u"default");
    LoadSmileyTable();
    for (LONG i = 0; i < g_SmileyCount; ++i) {
      std::string s = std::to_string(i);
      std::u16string name(s.begin(), s.end());
      if (PICTURE* p = GetSmileyImage(name.c_str())) pictures_.push_back(p);
    }
  }
  ~SmileyDevice() {
    FreeSmileyTable();
    if (device::Device::Current()) device::Device::Shutdown();
  }
  const std::vector<PICTURE*>& pictures() const { return pictures_; }

 private:
  pellix::testing::TempDir dir_;
  std::vector<PICTURE*> pictures_;
};

void Step(const std::vector<PICTURE*>& pictures, int part) {
  if (part == 0) {
    // The bubble's step: animated pictures only, from their kept frames once drawn.
    for (PICTURE* p : pictures) StepPictureFrame(p);
    return;
  }
  for (PICTURE* p : pictures) {
    p->frame = (p->frame + 1) % p->frameCount;
    if (part != 2) DecodePictureFrame(p);
    if (part == 3 || part == 2) RedrawPicture(p);
  }
}

// Arg 0: the whole step as the bubble takes it (StepPictureFrame, warm: every frame kept);
// 1: decoding only; 2: redrawing only; 3: decoding and redrawing every picture's next frame.
void BM_SmileyAnimationStep(benchmark::State& state) {
  const int part = static_cast<int>(state.range(0));
  SmileyDevice smileys;
  const auto& pictures = smileys.pictures();
  if (pictures.empty()) {
    state.SkipWithError("no smiley pictures");
    return;
  }
  // A zero below must mean no allocation, not a counter that is not in effect.
  const long probe = ThreadAllocations();
  void* block = std::malloc(1);
  benchmark::DoNotOptimize(block);
  std::free(block);
  if (ThreadAllocations() == probe) {
    state.SkipWithError("allocations are not being counted");
    return;
  }
  // A round of steps first: the graphics engine keeps what it makes for the first context,
  // and each picture keeps its frames once drawn.
  UINT most = 1;
  for (PICTURE* p : pictures) most = p->frameCount > most ? p->frameCount : most;
  for (UINT i = 0; i < most; ++i) Step(pictures, part);
  long steps = 0;
  const long before = ThreadAllocations();
  for (auto _ : state) {
    Step(pictures, part);
    ++steps;
  }
  const long allocations = ThreadAllocations() - before;
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["allocs_per_step"] = steps ? static_cast<double>(allocations) / steps : 0;
}
BENCHMARK(BM_SmileyAnimationStep)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMicrosecond);

}  // namespace

// One animation step (next frame, decode, redraw) of every picture of the default skin's smiley
// table, with the heap allocations the step makes on the animating thread: the kept decoder,
// bitmap image and bitmap, and the graphics engine's reused contexts, mean none.
//
// Allocations are counted by replacing the C allocator (malloc, calloc, realloc) and the C++
// one (which goes through malloc here), so allocations in C libraries count as well. Only the
// thread that runs the benchmark counts.
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

// Sanitizer runtimes own the C allocator: there only the C++ one is counted.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define PELLIX_COUNT_MALLOC 0
#else
#define PELLIX_COUNT_MALLOC 1
#endif

namespace {
thread_local long t_allocations = 0;
}

#if PELLIX_COUNT_MALLOC
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* p, size_t size);
void __libc_free(void* p);
}

extern "C" {
void* malloc(size_t size) {
  ++t_allocations;
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  ++t_allocations;
  return __libc_calloc(count, size);
}
void* realloc(void* p, size_t size) {
  ++t_allocations;
  return __libc_realloc(p, size);
}
void free(void* p) { __libc_free(p); }
}
#endif

// The C++ allocation functions pair with each other only.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t size) {
  if (!PELLIX_COUNT_MALLOC) ++t_allocations;  // else counted by malloc
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(size_t size, std::align_val_t align) {
  ++t_allocations;
  if (void* p = std::aligned_alloc(static_cast<size_t>(align), (size + static_cast<size_t>(align) - 1) &
                                                                    ~(static_cast<size_t>(align) - 1)))
    return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { std::free(p); }

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
  for (PICTURE* p : pictures) {
    p->frame = (p->frame + 1) % p->frameCount;
    if (part != 2) DecodePictureFrame(p);
    if (part == 0 || part == 2) RedrawPicture(p);
  }
}

// Arg 0: the whole step; 1: decoding only; 2: redrawing only.
void BM_SmileyAnimationStep(benchmark::State& state) {
  const int part = static_cast<int>(state.range(0));
  SmileyDevice smileys;
  const auto& pictures = smileys.pictures();
  if (pictures.empty()) {
    state.SkipWithError("no smiley pictures");
    return;
  }
  // A zero below must mean no allocation, not a counter that is not in effect.
  const long probe = t_allocations;
  void* block = std::malloc(1);
  benchmark::DoNotOptimize(block);
  std::free(block);
  if (t_allocations == probe) {
    state.SkipWithError("allocations are not being counted");
    return;
  }
  // One step first: the graphics engine keeps what it makes for the first context.
  Step(pictures, part);
  long steps = 0;
  const long before = t_allocations;
  for (auto _ : state) {
    Step(pictures, part);
    ++steps;
  }
  const long allocations = t_allocations - before;
  state.counters["pictures"] = static_cast<double>(pictures.size());
  state.counters["allocs_per_step"] = steps ? static_cast<double>(allocations) / steps : 0;
}
BENCHMARK(BM_SmileyAnimationStep)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond);

}  // namespace

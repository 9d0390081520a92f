// The loader's and the resource calls' hot paths: looking up exports, loading strings and
// pictures through an instance handle, and loading an already loaded library again.
#include <benchmark/benchmark.h>

#include <string>

#include "kernel/device.h"
#include "kernel/module_loader.h"
#include "kernel/module_resources.h"
#include "resources/static_module.h"
#include "testing/temp_image.h"

namespace {

int Identity(int x) { return x; }

// One booted device with the linked module attached and a built-in of 64 exports.
struct Fixture {
  pellix::testing::TempDir dir;
  HINSTANCE instance = nullptr;
  HMODULE builtin = nullptr;

  Fixture() {
    auto image = pellix::device::DeviceImage::Create(dir.path() / "image", {});
    pellix::device::Device::Boot(std::move(*image));
    instance = pellix::AttachStaticPellixRule();
    pellix::device::BuiltinLibrary library;
    for (int i = 0; i < 64; ++i)
      library.exports.push_back({"Export" + std::to_string(i), uint16_t(i + 1),
                                 reinterpret_cast<void*>(&Identity)});
    pellix::device::RegisterBuiltinLibrary(u"bench.dll", std::move(library));
    builtin = LoadLibraryW(u"bench.dll");
  }
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_GetProcAddressByName(benchmark::State& state) {
  HMODULE module = Shared().builtin;
  for (auto _ : state) benchmark::DoNotOptimize(GetProcAddressW(module, u"Export63"));
}
BENCHMARK(BM_GetProcAddressByName);

void BM_GetProcAddressByOrdinal(benchmark::State& state) {
  HMODULE module = Shared().builtin;
  for (auto _ : state) benchmark::DoNotOptimize(GetProcAddressW(module, MAKEINTRESOURCE(64)));
}
BENCHMARK(BM_GetProcAddressByOrdinal);

void BM_LoadLibraryAgainAndFree(benchmark::State& state) {
  Shared();
  for (auto _ : state) {
    HMODULE module = LoadLibraryW(u"bench.dll");
    FreeLibrary(module);
  }
}
BENCHMARK(BM_LoadLibraryAgainAndFree);

void BM_LoadStringCopy(benchmark::State& state) {
  HINSTANCE instance = Shared().instance;
  WCHAR page[1024];
  for (auto _ : state) benchmark::DoNotOptimize(LoadStringW(instance, 112, page, 1024));
}
BENCHMARK(BM_LoadStringCopy);

void BM_ParseSoftKeyMenu(benchmark::State& state) {
  HINSTANCE instance = Shared().instance;
  HRSRC found = FindResourceW(instance, MAKEINTRESOURCE(107), RT_MENU);
  std::span<const uint8_t> data(static_cast<const uint8_t*>(LockResource(LoadResource(instance, found))),
                                SizeofResource(instance, found));
  for (auto _ : state) benchmark::DoNotOptimize(pellix::device::ParseMenuTemplate(data));
}
BENCHMARK(BM_ParseSoftKeyMenu);

void BM_LoadImageSmileyButton(benchmark::State& state) {
  HINSTANCE instance = Shared().instance;
  for (auto _ : state) {
    HANDLE bitmap = LoadImageW(instance, MAKEINTRESOURCE(121), IMAGE_BITMAP, 0, 0, 0);
    DeleteObject(bitmap);
  }
}
BENCHMARK(BM_LoadImageSmileyButton);

}  // namespace

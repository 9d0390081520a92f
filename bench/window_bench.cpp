// The window system's message paths: a cross-thread SendMessageW round trip (target: median
// under 20 µs) and PostMessageW + GetMessageW + DispatchMessageW on one thread (target: over
// one million messages a second).
#include <benchmark/benchmark.h>

#include <future>
#include <string>
#include <thread>

#include <windows.h>

#include "kernel/device.h"
#include "testing/temp_image.h"

namespace {

using pellix::device::Device;
using pellix::device::DeviceImage;

constexpr UINT kPing = WM_USER + 1;

LRESULT CALLBACK Answer(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kPing) return static_cast<LRESULT>(wparam) + 1;
  return DefWindowProcW(hwnd, message, wparam, lparam);
}

// A booted device with the benchmark's window class, for the length of one benchmark.
class BenchDevice {
 public:
  BenchDevice() {
    auto image = DeviceImage::Create(dir_.path() / "image", pellix::device::Profile{});
    if (!image.ok()) std::abort();
    Device::Boot(std::move(*image));
    WNDCLASSW wc{};
    wc.lpfnWndProc = Answer;
    wc.lpszClassName = u"BenchClass";
    RegisterClassW(&wc);
  }
  ~BenchDevice() { Device::Shutdown(); }

 private:
  pellix::testing::TempDir dir_;
};

HWND MakeWindow() {
  return CreateWindowExW(0, u"BenchClass", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                         nullptr);
}

void BM_SendMessageAcrossThreads(benchmark::State& state) {
  BenchDevice device;
  std::promise<std::pair<HWND, DWORD>> made;
  std::thread owner([&] {
    HWND hwnd = MakeWindow();
    made.set_value({hwnd, GetCurrentThreadId()});
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    DestroyWindow(hwnd);
  });
  auto [hwnd, thread] = made.get_future().get();
  WPARAM i = 0;
  for (auto _ : state) {
    LRESULT r = SendMessageW(hwnd, kPing, i, 0);
    benchmark::DoNotOptimize(r);
    ++i;
  }
  PostThreadMessageW(thread, WM_QUIT, 0, 0);
  owner.join();
}
BENCHMARK(BM_SendMessageAcrossThreads)->UseRealTime();

void BM_PostGetDispatch(benchmark::State& state) {
  BenchDevice device;
  HWND hwnd = MakeWindow();
  MSG msg;
  for (auto _ : state) {
    PostMessageW(hwnd, kPing, 1, 0);
    GetMessageW(&msg, nullptr, 0, 0);
    benchmark::DoNotOptimize(DispatchMessageW(&msg));
  }
  state.SetItemsProcessed(state.iterations());
  DestroyWindow(hwnd);
}
BENCHMARK(BM_PostGetDispatch);

}  // namespace

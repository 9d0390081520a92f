// The device console's screen stream, as a page receives it over its WebSocket:
//   - change to frame: from drawing on a window to the frame that carries it arriving at the
//     page (target: within 50 ms; the median is reported as median_ms);
//   - bytes a second while a smiley animates in a window, frame by frame at the default skin's
//     GifFrameDelay, as the bubble animates it (reported as bytes_per_second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <string>
#include <vector>

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/websocket.hpp>

#include <windows.h>

#include "console/console_server.h"
#include "forms/picture.h"
#include "kernel/device.h"
#include "testing/temp_image.h"

namespace {

namespace beast = boost::beast;
namespace websocket = beast::websocket;
namespace net = boost::asio;
using tcp = net::ip::tcp;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using namespace pellix;

constexpr int kGifFrameDelayMs = 150;  // the default skin's GifFrameDelay

// A device with a shown window, a console server, and one page connected to it.
class ConsoleBench {
 public:
  ConsoleBench() {
    auto image = device::DeviceImage::Create(dir_.path() / "image", device::Profile{});
    if (!image) std::abort();
    device::Device::Boot(std::move(*image));
    fs::copy_file(fs::path(PELLIX_SKINS_DIR) / "default" / "Smileys" / "angel.gif",
                  dir_.path() / "image" / "fs" / "angel.gif");
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.lpszClassName = u"ConsoleBench";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RegisterClassW(&wc);
    window_ = CreateWindowExW(0, u"ConsoleBench", u"", WS_POPUP | WS_VISIBLE, 20, 60, 200, 120, nullptr,
                              nullptr, nullptr, nullptr);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    auto server = device::console::ConsoleServer::Start({});
    if (!server) std::abort();
    server_ = std::move(*server);
    page_.next_layer().connect(tcp::endpoint(net::ip::make_address("127.0.0.1"), server_->port()));
    const std::string origin = "http://127.0.0.1:" + std::to_string(server_->port());
    page_.set_option(websocket::stream_base::decorator(
        [origin](websocket::request_type& req) { req.set(beast::http::field::origin, origin); }));
    page_.handshake("127.0.0.1:" + std::to_string(server_->port()), "/ws");
    NextFrame();  // the whole screen a page starts from
  }
  ~ConsoleBench() {
    beast::error_code ec;
    page_.next_layer().close(ec);
    server_->Stop();
    DestroyWindow(window_);
    device::Device::Shutdown();
  }

  // Reads until a frame arrives; returns its size in bytes, counting the journal's too.
  size_t NextFrame() {
    size_t bytes = 0;
    for (;;) {
      beast::flat_buffer buffer;
      page_.read(buffer);
      bytes += buffer.size();
      if (page_.got_binary()) return bytes;
    }
  }
  // Reads whatever arrives until `deadline`; returns the bytes.
  size_t ReadUntil(Clock::time_point deadline) {
    size_t bytes = 0;
    while (Clock::now() < deadline) {
      // Only read what has arrived, so the animation keeps its pace.
      if (page_.next_layer().available() == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        continue;
      }
      beast::flat_buffer buffer;
      beast::error_code ec;
      page_.read(buffer, ec);
      if (ec) break;
      bytes += buffer.size();
    }
    return bytes;
  }

  HWND window() const { return window_; }

 private:
  pellix::testing::TempDir dir_;
  HWND window_ = nullptr;
  std::unique_ptr<device::console::ConsoleServer> server_;
  net::io_context ioc_;
  websocket::stream<tcp::socket> page_{ioc_};
};

void FillWindow(HWND window, COLORREF color) {
  HDC dc = GetDC(window);
  HBRUSH brush = CreateSolidBrush(color);
  RECT r{10, 10, 90, 50};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

void BM_ConsoleChangeToFrame(benchmark::State& state) {
  ConsoleBench bench;
  std::vector<double> samples;
  int n = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    FillWindow(bench.window(), (n++ % 2) ? RGB(255, 0, 0) : RGB(0, 0, 255));
    bench.NextFrame();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    samples.push_back(seconds);
    state.SetIterationTime(seconds);
  }
  std::sort(samples.begin(), samples.end());
  if (!samples.empty()) state.counters["median_ms"] = samples[samples.size() / 2] * 1000;
}
BENCHMARK(BM_ConsoleChangeToFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);

void BM_ConsoleBytesWhileSmileyAnimates(benchmark::State& state) {
  ConsoleBench bench;
  PICTURE picture;
  InitPicture(&picture);
  if (FAILED(LoadPictureFromFile(&picture, u"\\angel.gif")) || picture.frameCount < 2) {
    state.SkipWithError("the animated smiley did not load");
    ReleasePicture(&picture);
    return;
  }
  size_t bytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (int step = 0; step < 20; ++step) {  // 3 seconds of animation
      picture.frame = (picture.frame + 1) % picture.frameCount;
      DecodePictureFrame(&picture);
      RedrawPicture(&picture);
      HDC dc = GetDC(bench.window());
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, picture.hBitmap);
      BitBlt(dc, 40, 40, picture.width, picture.height, memory, 0, 0, SRCCOPY);
      SelectObject(memory, old);
      DeleteDC(memory);
      ReleaseDC(bench.window(), dc);
      bytes += bench.ReadUntil(start + std::chrono::milliseconds(kGifFrameDelayMs * (step + 1)));
    }
    seconds += std::chrono::duration<double>(Clock::now() - start).count();
  }
  ReleasePicture(&picture);
  state.counters["bytes_per_second"] = seconds > 0 ? bytes / seconds : 0;
}
BENCHMARK(BM_ConsoleBytesWhileSmileyAnimates)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

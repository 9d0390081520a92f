// Composition of windows onto the screen, window contexts and painting, screen sizes and
// screenshots, with a stand-in for the window system.
#include "gdi/screen.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <vector>

#include "gdi/gdi_objects.h"
#include "gdi/screenshot.h"
#include "gdi/window_view.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace pellix::device::gdi {
namespace {

class FakeWindows final : public WindowView {
 public:
  std::vector<WindowInfo> VisibleWindows() override {
    std::vector<WindowInfo> out;
    for (const auto& w : windows)
      if (w.visible) out.push_back(w);
    return out;
  }
  std::optional<WindowInfo> Find(HWND hwnd) override {
    for (const auto& w : windows)
      if (w.hwnd == hwnd) return w;
    return std::nullopt;
  }
  UpdateArea TakeUpdateRegion(HWND hwnd) override {
    UpdateArea area = updates[hwnd];
    updates.erase(hwnd);
    return area;
  }
  bool HasUpdateRegion(HWND hwnd) override { return updates.count(hwnd) > 0; }

  std::vector<WindowInfo> windows;
  std::map<HWND, UpdateArea> updates;
};

HWND Handle(uintptr_t n) { return reinterpret_cast<HWND>(n); }

WindowInfo Window(uintptr_t id, Rect rect, HWND parent = nullptr) {
  WindowInfo w;
  w.hwnd = Handle(id);
  w.parent = parent;
  w.window = rect;
  w.client = rect;
  w.background = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  w.visible = true;
  return w;
}

class ScreenTest : public testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    SetWindowView(&fake_);
  }
  void TearDown() override {
    SetWindowView(nullptr);
    DeviceTest::TearDown();
  }
  void Paint(HWND hwnd, COLORREF colour, bool whole_window = false) {
    HDC dc = whole_window ? GetWindowDC(hwnd) : GetDC(hwnd);
    ASSERT_NE(dc, nullptr);
    RECT all{-1000, -1000, 1000, 1000};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(hwnd, dc);
  }
  COLORREF ScreenAt(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
  }
  COLORREF DesktopAt(int x, int y) {
    std::lock_guard lock(Gdi().mutex());
    return ColorRefFromPixel(TheScreen().desktop().At(x, y));
  }

  FakeWindows fake_;
};

TEST_F(ScreenTest, WithoutWindowsTheScreenIsTheDesktop) {
  HDC screen = GetDC(nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 240);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), 320);
  EXPECT_EQ(GetDeviceCaps(screen, LOGPIXELSY), 96);
  for (int y : {0, 5, 160, 315})
    for (int x : {0, 120, 239}) EXPECT_EQ(GetPixel(screen, x, y), DesktopAt(x, y));
  // The bars fill the caption and menu heights, so the work area lies between them.
  {
    std::lock_guard lock(Gdi().mutex());
    EXPECT_EQ(TheScreen().title_bar_height(), GetSystemMetrics(SM_CYCAPTION));
    EXPECT_EQ(TheScreen().soft_key_bar_height(), GetSystemMetrics(SM_CYMENU));
  }
  // The title bar and the soft-key bar are darker than the wallpaper between them.
  auto brightness = [&](COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); };
  EXPECT_LT(brightness(GetPixel(screen, 120, 2)), brightness(GetPixel(screen, 120, 160)));
  EXPECT_LT(brightness(GetPixel(screen, 120, 318)), brightness(GetPixel(screen, 120, 160)));
  ReleaseDC(nullptr, screen);
}

TEST_F(ScreenTest, WindowsComposeInZOrderClippedByRegionsAndParents) {
  WindowInfo a = Window(1, Rect{10, 40, 110, 140});
  WindowInfo child = Window(2, Rect{90, 50, 140, 70}, a.hwnd);
  WindowInfo b = Window(3, Rect{50, 80, 150, 180});
  b.region = Region(Rect{0, 0, 50, 50});  // only B's top-left quarter shows
  fake_.windows = {a, child, b};
  Paint(a.hwnd, RGB(255, 0, 0));
  Paint(child.hwnd, RGB(0, 255, 0));
  Paint(b.hwnd, RGB(0, 0, 255));
  struct Probe {
    int x, y;
    COLORREF expected;  // 1: the desktop
  };
  const Probe probes[] = {
      {20, 50, RGB(255, 0, 0)},   // A alone
      {60, 90, RGB(0, 0, 255)},   // inside B's region, above A
      {105, 135, RGB(255, 0, 0)}, // under B's rectangle but outside its region: A shows
      {120, 150, 1},              // B's rectangle outside its region, nothing below
      {100, 60, RGB(0, 255, 0)},  // the child inside its parent
      {120, 60, 1},               // the child beyond its parent's client area is cut off
      {5, 5, 1},
  };
  for (const Probe& p : probes) {
    const COLORREF expected = p.expected == 1 ? DesktopAt(p.x, p.y) : p.expected;
    EXPECT_EQ(ScreenAt(p.x, p.y), expected) << p.x << "," << p.y;
  }
  // Hiding A hides its child with it.
  fake_.windows[0].visible = false;
  fake_.windows[1].visible = false;
  EXPECT_EQ(ScreenAt(20, 50), DesktopAt(20, 50));
  EXPECT_EQ(ScreenAt(100, 60), DesktopAt(100, 60));
}

TEST_F(ScreenTest, TheTitleBarNamesTheApplicationThatFillsTheWorkArea) {
  int bar = 0;
  {
    std::lock_guard lock(Gdi().mutex());
    bar = TheScreen().title_bar_height();
    TheScreen().TakeDamage();  // from now on, damage is tracked
  }
  auto title_differs = [&] {
    for (int y = 0; y < bar; ++y)
      for (int x = 20; x < 120; ++x)
        if (ScreenAt(x, y) != DesktopAt(x, y)) return true;
    return false;
  };
  auto title_damaged = [&] {
    std::lock_guard lock(Gdi().mutex());
    return TheScreen().TakeDamage().Intersect(Region(Rect{0, 0, 240, bar})).Area() > 0;
  };
  // A bubble is no application: the desktop's title stays.
  WindowInfo bubble = Window(1, Rect{10, 100, 230, 200});
  bubble.text = u"Bubble";
  fake_.windows = {bubble};
  EXPECT_FALSE(title_differs());
  EXPECT_FALSE(title_damaged());

  WindowInfo app = Window(2, Rect{0, bar, 240, 320 - GetSystemMetrics(SM_CYMENU)});
  app.text = u"Tasks";
  fake_.windows = {app, bubble};
  EXPECT_TRUE(title_damaged());
  EXPECT_TRUE(title_differs());
  // A new title is new damage; the application's going brings the desktop's title back.
  fake_.windows[0].text = u"Notes";
  EXPECT_TRUE(title_damaged());
  fake_.windows = {bubble};
  EXPECT_TRUE(title_damaged());
  EXPECT_FALSE(title_differs());
}

TEST_F(ScreenTest, WindowContextsDrawInTheClientAreaOrTheWholeWindow) {
  WindowInfo w = Window(7, Rect{0, 30, 100, 130});
  w.client = Rect{10, 50, 90, 120};
  fake_.windows = {w};
  Paint(w.hwnd, RGB(0, 0, 0), /*whole_window=*/true);
  Paint(w.hwnd, RGB(255, 255, 255));
  EXPECT_EQ(ScreenAt(5, 35), RGB(0, 0, 0));        // frame
  EXPECT_EQ(ScreenAt(10, 50), RGB(255, 255, 255));  // client origin
  EXPECT_EQ(ScreenAt(89, 119), RGB(255, 255, 255));
  EXPECT_EQ(ScreenAt(90, 119), RGB(0, 0, 0));
  // Client coordinates start at the client area's corner.
  HDC dc = GetDC(w.hwnd);
  SetPixel(dc, 0, 0, RGB(1, 2, 3));
  ReleaseDC(w.hwnd, dc);
  EXPECT_EQ(ScreenAt(10, 50), RGB(1, 2, 3));
  EXPECT_EQ(GetDC(Handle(99)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(ScreenTest, BeginPaintErasesAndClipsToTheUpdateArea) {
  WindowInfo w = Window(5, Rect{20, 40, 60, 80});
  w.background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  fake_.windows = {w};
  Paint(w.hwnd, RGB(255, 0, 0));
  fake_.updates[w.hwnd] = UpdateArea{Region(Rect{0, 0, 10, 10}), true};
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(w.hwnd, &ps);
  ASSERT_NE(dc, nullptr);
  EXPECT_EQ(ps.hdc, dc);
  EXPECT_EQ(ps.rcPaint.right, 10);
  EXPECT_EQ(ps.rcPaint.bottom, 10);
  EXPECT_FALSE(ps.fErase);  // the class brush did the erasing
  EXPECT_FALSE(fake_.HasUpdateRegion(w.hwnd));
  EXPECT_EQ(ScreenAt(20 + 5, 40 + 5), RGB(0, 0, 0));
  EXPECT_EQ(ScreenAt(20 + 15, 40 + 5), RGB(255, 0, 0));
  // Drawing is limited to the update area.
  RECT all{0, 0, 40, 40};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_TRUE(EndPaint(w.hwnd, &ps));
  EXPECT_EQ(ScreenAt(20 + 5, 40 + 5), RGB(255, 255, 255));
  EXPECT_EQ(ScreenAt(20 + 15, 40 + 15), RGB(255, 0, 0));
  // A system colour written as a brush value erases with that colour.
  fake_.windows[0].background = reinterpret_cast<HBRUSH>(COLOR_ACTIVECAPTION + 1);
  fake_.updates[w.hwnd] = UpdateArea{Region(Rect{0, 0, 1, 1}), true};
  BeginPaint(w.hwnd, &ps);
  EndPaint(w.hwnd, &ps);
  EXPECT_EQ(ScreenAt(20, 40), GetSysColor(COLOR_ACTIVECAPTION));
}

TEST_F(ScreenTest, CapturingOneWindowShowsItAndItsChildren) {
  WindowInfo parent = Window(1, Rect{30, 40, 90, 100});
  WindowInfo child = Window(2, Rect{40, 50, 50, 60}, parent.hwnd);
  WindowInfo other = Window(3, Rect{0, 0, 240, 320});  // covers everything on screen
  fake_.windows = {parent, child, other};
  Paint(parent.hwnd, RGB(200, 0, 0));
  Paint(child.hwnd, RGB(0, 200, 0));
  Paint(other.hwnd, RGB(0, 0, 200));
  auto picture = Capture(parent.hwnd);
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(picture->width(), 60);
  EXPECT_EQ(picture->height(), 60);
  EXPECT_EQ(picture->At(0, 0), 0xC80000u);
  EXPECT_EQ(picture->At(10, 10), 0x00C800u);
  EXPECT_FALSE(Capture(Handle(42)).ok());
}

TEST_F(ScreenTest, ScreenshotIsAPngOfTheScreensSize) {
  const auto path = image_dir() / "shot.png";
  ASSERT_TRUE(SaveScreenshot(path).ok());
  std::ifstream file(path, std::ios::binary);
  std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(file)), {});
  ASSERT_GT(bytes.size(), 33u);
  const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(signature, signature + 8, bytes.begin()));
  auto be32 = [&](size_t at) {
    return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
  };
  EXPECT_EQ(be32(16), 240);  // IHDR width
  EXPECT_EQ(be32(20), 320);  // IHDR height
}

class ScreenSizeTest : public testing::DeviceTest,
                       public ::testing::WithParamInterface<std::pair<int, int>> {
 protected:
  Profile MakeProfile() const override {
    Profile p;
    p.screen_width = GetParam().first;
    p.screen_height = GetParam().second;
    p.dpi = p.screen_width >= 480 || p.screen_height >= 480 ? 192 : 96;
    return p;
  }
};

TEST_P(ScreenSizeTest, FramebufferFollowsTheProfile) {
  const auto [w, h] = GetParam();
  HDC screen = CreateDCW(u"DISPLAY", nullptr, nullptr, nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(GetDeviceCaps(screen, HORZRES), w);
  EXPECT_EQ(GetDeviceCaps(screen, VERTRES), h);
  auto picture = Capture();
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(picture->width(), w);
  EXPECT_EQ(picture->height(), h);
  // The bars scale with the density and stay well inside the screen.
  std::lock_guard lock(Gdi().mutex());
  EXPECT_GT(TheScreen().title_bar_height(), 0);
  EXPECT_LT(TheScreen().title_bar_height() + TheScreen().soft_key_bar_height(), h / 2);
  DeleteDC(screen);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ScreenSizeTest,
                         ::testing::Values(std::pair{240, 320}, std::pair{480, 640},
                                           std::pair{320, 240}, std::pair{640, 480}));

}  // namespace
}  // namespace pellix::device::gdi

// Captioned windows: the bar the system draws across their top, and the person's taps on it: the
// close box closes the window, the rest of the bar is not the window's client area.
#include "person/journal.h"
#include "person/person.h"
#include "windows/nonclient.h"
#include "windows/test_window.h"

namespace pellix::testing {
namespace {

using device::Person;

class CaptionTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    RegisterRecorderClass(static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    parent_ = MakeWindow(WS_POPUP | WS_VISIBLE, 0, 40, 240, 200);
    Recorder::Get().Clear();
  }
  // A captioned child like the smiley panel: 200 x 100 at (10, 20) of the parent.
  HWND Panel(DWORD style) {
    HWND panel = MakeWindow(WS_CHILD | WS_VISIBLE | WS_CAPTION | style, 10, 20, 200, 100, parent_, 0, 50);
    SetWindowTextW(panel, u"Smiley");
    Drain();  // painted as the person's device would: through the message loop
    return panel;
  }
  static POINT OnScreen(HWND hwnd, int x, int y) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{r.left + x, r.top + y};
  }
  static COLORREF ScreenAt(POINT p) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, p.x, p.y);
    ReleaseDC(nullptr, screen);
    return c;
  }
  HWND parent_ = nullptr;
};

TEST_F(CaptionTest, TheCloseBoxSitsAtTheCaptionsRightEnd) {
  const DWORD style = WS_CHILD | WS_CAPTION | WS_SYSMENU | WS_VSCROLL;
  const int bar = GetSystemMetrics(SM_CYCAPTION), border = GetSystemMetrics(SM_CXBORDER);
  const RECT caption = device::windows::CaptionRect(style, 0, 200);
  EXPECT_EQ(caption.left, border);
  EXPECT_EQ(caption.top, border);
  EXPECT_EQ(caption.right, 200 - border);  // the scroll bar lies below the caption, not beside it
  EXPECT_EQ(caption.bottom, border + bar);
  const RECT close = device::windows::CloseBoxRect(style, 0, 200);
  EXPECT_EQ(close.left, 200 - border - bar);
  EXPECT_EQ(close.right, 200 - border);
  using device::windows::NonClientHit;
  EXPECT_EQ(NonClientHit(style, 0, 200, 100, POINT{close.left + 2, 5}), HTCLOSE);
  EXPECT_EQ(NonClientHit(style, 0, 200, 100, POINT{close.left - 2, 5}), HTCAPTION);
  EXPECT_EQ(NonClientHit(style, 0, 200, 100, POINT{20, bar + 10}), HTCLIENT);
  EXPECT_EQ(NonClientHit(style, 0, 200, 100, POINT{200 - border - 2, bar + 10}), HTVSCROLL);
  EXPECT_EQ(NonClientHit(style, 0, 200, 100, POINT{200, 5}), HTNOWHERE);
  // No close box without WS_SYSMENU, no caption without WS_CAPTION.
  EXPECT_EQ(NonClientHit(WS_CHILD | WS_CAPTION, 0, 200, 100, POINT{close.left + 2, 5}), HTCAPTION);
  EXPECT_EQ(NonClientHit(WS_CHILD | WS_BORDER, 0, 200, 100, POINT{close.left + 2, 5}), HTCLIENT);
}

TEST_F(CaptionTest, ATapOnTheCloseBoxClosesTheWindow) {
  HWND panel = Panel(WS_SYSMENU);
  const int bar = GetSystemMetrics(SM_CYCAPTION);
  ASSERT_TRUE(Person::Get().Tap(OnScreen(panel, 200 - bar / 2, bar / 2)).ok());
  Drain();
  const std::vector<UINT> expected{WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_SYSCOMMAND, WM_CLOSE};
  EXPECT_EQ(Recorder::Get().Numbers({WM_NCLBUTTONDOWN, WM_NCLBUTTONUP, WM_SYSCOMMAND, WM_CLOSE, WM_LBUTTONDOWN}),
            expected);
  EXPECT_FALSE(IsWindow(panel));  // the default answer to WM_CLOSE
  const auto taps = device().journal().EntriesOfKind(device::journal_kind::kInput);
  ASSERT_FALSE(taps.empty());
  EXPECT_NE(taps.back().text.find("\"RecorderClass\" close box"), std::string::npos) << taps.back().text;
}

TEST_F(CaptionTest, TheRestOfTheCaptionIsNeitherCloseNorClient) {
  HWND panel = Panel(WS_SYSMENU);
  const int bar = GetSystemMetrics(SM_CYCAPTION);
  ASSERT_TRUE(Person::Get().Tap(OnScreen(panel, 20, bar / 2)).ok());
  Drain();
  EXPECT_TRUE(Recorder::Get().Only({WM_LBUTTONDOWN, WM_CLOSE, WM_SYSCOMMAND}).empty());
  EXPECT_TRUE(IsWindow(panel));
  // Without WS_SYSMENU the right end is caption too.
  HWND plain = Panel(0);
  ASSERT_TRUE(Person::Get().Tap(OnScreen(plain, 200 - bar / 2, bar / 2)).ok());
  Drain();
  EXPECT_TRUE(IsWindow(plain));
  // A tap below the caption reaches the window in client coordinates.
  Recorder::Get().Clear();
  ASSERT_TRUE(Person::Get().Tap(OnScreen(plain, 30, bar + 20)).ok());
  Drain();
  auto down = Recorder::Get().Only({WM_LBUTTONDOWN});
  ASSERT_EQ(down.size(), 1u);
  const int border = GetSystemMetrics(SM_CXBORDER);
  EXPECT_EQ(down[0].lparam, MAKELPARAM(30 - border, 20 - border));
}

TEST_F(CaptionTest, TheCaptionIsDrawnWithTheTitleAndTheCloseBox) {
  HWND panel = Panel(WS_SYSMENU);
  const int bar = GetSystemMetrics(SM_CYCAPTION);
  const COLORREF caption = GetSysColor(COLOR_ACTIVECAPTION), text = GetSysColor(COLOR_CAPTIONTEXT);
  EXPECT_EQ(ScreenAt(OnScreen(panel, 100, 2)), caption);  // an empty stretch of the bar
  // The "x" crosses the middle of the close box.
  EXPECT_EQ(ScreenAt(OnScreen(panel, 200 - 1 - bar / 2, 1 + bar / 2)), text);
  // The title's letters stand out of the bar.
  int lit = 0;
  for (int x = 2; x < 60; ++x)
    for (int y = 2; y < bar; ++y) lit += ScreenAt(OnScreen(panel, x, y)) != caption ? 1 : 0;
  EXPECT_GT(lit, 40);
  // The client area is the window's own.
  EXPECT_NE(ScreenAt(OnScreen(panel, 100, bar + 30)), caption);
}

}  // namespace
}  // namespace pellix::testing

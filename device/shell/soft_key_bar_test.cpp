// Which menu bar the soft keys, the screen and taps reach when several windows have one: the
// bar of the top-most visible window that owns one, whichever bar was shown last.
#include <algorithm>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "kernel/device.h"
#include "shell/app_thread.h"
#include "shell/menu_bar.h"
#include "testing/temp_image.h"
#include "windows/soft_keys.h"
#include "windows/window_tree.h"

#include <windows.h>

namespace {

using pellix::device::shell::CreateMenuBarWindow;
using pellix::device::shell::PressSoftKey;
using pellix::device::shell::SoftKeyBar;

// Commands the owners received, as (owner, id); owners may live on the application thread.
std::mutex g_mutex;
std::vector<std::pair<HWND, UINT>> g_commands;

std::vector<std::pair<HWND, UINT>> Commands() {
  std::lock_guard lock(g_mutex);
  return g_commands;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_COMMAND) {
    std::lock_guard lock(g_mutex);
    g_commands.push_back({hwnd, LOWORD(wParam)});
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool Shows(const std::vector<pellix::device::windows::WindowSnapshot>& windows, HWND hwnd) {
  return std::any_of(windows.begin(), windows.end(), [&](const auto& w) { return w.hwnd == hwnd; });
}

class SoftKeyBarTest : public pellix::testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    {
      std::lock_guard lock(g_mutex);
      g_commands.clear();
    }
    WNDCLASSW wc{};
    wc.style = CS_GLOBALCLASS;
    wc.lpfnWndProc = OwnerProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"BAROWNER";
    ASSERT_NE(RegisterClassW(&wc), 0);
  }

  // An application window filling the space between the title bar and the soft keys.
  static HWND MakeOwner(DWORD visible = WS_VISIBLE) {
    return CreateWindowExW(0, u"BAROWNER", u"app", WS_POPUP | visible, 0, 26, 240, 268, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
  }
  // A bar whose left soft key sends `command` to `owner`.
  static HWND MakeBar(HWND owner, UINT command, bool visible = true) {
    HMENU menu = CreateMenu();
    AppendMenuW(menu, MF_STRING, command, u"Left");
    return CreateMenuBarWindow(owner, menu, true, visible);
  }
  static void TypeKey(BYTE vk) {
    keybd_event(vk, 0, 0, 0);
    keybd_event(vk, 0, KEYEVENTF_KEYUP, 0);
  }
  // Lets this thread's windows answer until `done` holds or two real seconds pass.
  static bool PumpUntil(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!done() && std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
  }
  // Pumps for a while, for checks that nothing arrives.
  static void Pump() {
    PumpUntil([] { return false; });
  }
  // Presses the left soft key as the person does and waits for one command to arrive.
  static std::vector<std::pair<HWND, UINT>> PressLeft() {
    const size_t before = Commands().size();
    TypeKey(VK_F1);
    PumpUntil([&] { return Commands().size() > before; });
    auto all = Commands();
    return {all.begin() + static_cast<long>(before), all.end()};
  }
  // Presses the left soft key and expects exactly one command: `command` at `owner`.
  static void ExpectLeftKeyGoesTo(HWND owner, UINT command) {
    const auto got = PressLeft();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], std::make_pair(owner, command));
  }
};

TEST_F(SoftKeyBarTest, TheFrontWindowKeepsItsSoftKeysWhenABarBehindIsShownLater) {
  HWND back = MakeOwner();
  HWND front = MakeOwner();
  ASSERT_TRUE(back && front);
  HWND front_bar = MakeBar(front, 2);
  HWND back_bar = MakeBar(back, 1, false);
  ASSERT_TRUE(front_bar && back_bar);
  // The window behind fills in late and shows its bar after the front one's.
  ShowWindow(back_bar, SW_SHOW);
  EXPECT_TRUE(IsWindowVisible(back_bar));
  EXPECT_EQ(SoftKeyBar(), front_bar);
  ExpectLeftKeyGoesTo(front, 2);
}

TEST_F(SoftKeyBarTest, ABarShownLaterOnAnotherThreadDoesNotTakeTheFrontWindowsKeys) {
  HWND front = MakeOwner();
  HWND front_bar = MakeBar(front, 2);
  ASSERT_NE(front_bar, nullptr);
  // Another program's window behind the front one, on a thread of its own, shows its bar last.
  auto& app = pellix::device::shell::AppThread::Get();
  HWND back = nullptr, back_bar = nullptr;
  ASSERT_TRUE(app.Run([&] {
    back = MakeOwner(0);
    SetWindowPos(back, front, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    back_bar = MakeBar(back, 1);
  }));
  ASSERT_TRUE(back && back_bar);
  EXPECT_TRUE(IsWindowVisible(back));
  EXPECT_TRUE(IsWindowVisible(back_bar));
  EXPECT_EQ(SoftKeyBar(), front_bar);
  ExpectLeftKeyGoesTo(front, 2);
  Pump();
  EXPECT_EQ(Commands().size(), 1u);  // the window behind heard nothing
  ASSERT_TRUE(app.Run([&] { DestroyWindow(back); }));
}

TEST_F(SoftKeyBarTest, HidingTheFrontWindowHandsTheSoftKeysToTheBarBehindAndShowingItTakesThemBack) {
  HWND back = MakeOwner();
  HWND back_bar = MakeBar(back, 1);
  HWND front = MakeOwner();
  HWND front_bar = MakeBar(front, 2);
  ASSERT_TRUE(back_bar && front_bar);
  ASSERT_EQ(SoftKeyBar(), front_bar);

  ShowWindow(front, SW_HIDE);
  // The front window's bar stays shown as far as its own flag goes, yet its owner is gone.
  EXPECT_TRUE(IsWindowVisible(front_bar));
  EXPECT_EQ(SoftKeyBar(), back_bar);
  ExpectLeftKeyGoesTo(back, 1);

  ShowWindow(front, SW_SHOW);
  EXPECT_EQ(SoftKeyBar(), front_bar);
  ExpectLeftKeyGoesTo(front, 2);
}

TEST_F(SoftKeyBarTest, DestroyingTheFrontWindowHandsTheSoftKeysToTheBarBehind) {
  HWND back = MakeOwner();
  HWND front = MakeOwner();
  HWND front_bar = MakeBar(front, 2);
  HWND back_bar = MakeBar(back, 1);  // shown last
  ASSERT_TRUE(back_bar && front_bar);
  ASSERT_EQ(SoftKeyBar(), front_bar);
  // A press on its way to the front bar when its window goes is lost with the bar.
  ASSERT_TRUE(PressSoftKey(0));
  DestroyWindow(front);
  EXPECT_FALSE(IsWindow(front_bar));  // owned, so destroyed with its window
  EXPECT_EQ(SoftKeyBar(), back_bar);
  ExpectLeftKeyGoesTo(back, 1);
}

TEST_F(SoftKeyBarTest, BringingTheWindowBehindToTheFrontBringsItsBar) {
  HWND back = MakeOwner();
  HWND back_bar = MakeBar(back, 1);
  HWND front = MakeOwner();
  HWND front_bar = MakeBar(front, 2);
  ASSERT_TRUE(back_bar && front_bar);
  ASSERT_EQ(SoftKeyBar(), front_bar);
  SetWindowPos(back, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(SoftKeyBar(), back_bar);
  ExpectLeftKeyGoesTo(back, 1);
}

TEST_F(SoftKeyBarTest, AWindowWithoutABarInFrontLeavesTheSoftKeysToTheOneBehindIt) {
  HWND app = MakeOwner();
  HWND bar = MakeBar(app, 1);
  ASSERT_NE(bar, nullptr);
  HWND box = CreateWindowExW(WS_EX_TOPMOST, u"BAROWNER", u"box", WS_POPUP | WS_VISIBLE, 20, 100, 200, 80, nullptr,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(SoftKeyBar(), bar);
  // A hidden bar is no bar: the window in front whose bar is hidden leaves the keys too.
  HWND front = MakeOwner();
  ASSERT_NE(MakeBar(front, 2, false), nullptr);
  EXPECT_EQ(SoftKeyBar(), bar);
  ExpectLeftKeyGoesTo(app, 1);
}

TEST_F(SoftKeyBarTest, OnlyTheFrontWindowsBarIsOnScreenAndTakesTaps) {
  HWND back = MakeOwner();
  HWND front = MakeOwner();
  HWND front_bar = MakeBar(front, 2);
  HWND back_bar = MakeBar(back, 1);  // shown last, and so highest of the bars in z-order
  ASSERT_TRUE(front_bar && back_bar);
  RECT strip{};
  GetWindowRect(front_bar, &strip);
  const POINT left{strip.left + 10, (strip.top + strip.bottom) / 2};

  auto windows = pellix::device::windows::VisibleWindows();
  EXPECT_TRUE(Shows(windows, front_bar));
  EXPECT_FALSE(Shows(windows, back_bar));
  EXPECT_EQ(pellix::device::windows::WindowFromScreenPoint(left), front_bar);

  ShowWindow(front, SW_HIDE);
  windows = pellix::device::windows::VisibleWindows();
  EXPECT_FALSE(Shows(windows, front_bar));
  EXPECT_TRUE(Shows(windows, back_bar));
  EXPECT_EQ(pellix::device::windows::WindowFromScreenPoint(left), back_bar);
}

TEST_F(SoftKeyBarTest, ABarWhoseWindowIsHiddenNeverTakesAPress) {
  HWND app = MakeOwner();
  HWND bar = MakeBar(app, 1);
  ASSERT_NE(bar, nullptr);
  // A press already on its way when the window hides is dropped.
  ASSERT_TRUE(PressSoftKey(0));
  ShowWindow(app, SW_HIDE);
  Pump();
  EXPECT_TRUE(Commands().empty());
  // With no bar in front the soft keys are ordinary keys again.
  EXPECT_EQ(SoftKeyBar(), nullptr);
  EXPECT_FALSE(PressSoftKey(0));
  TypeKey(VK_F1);
  Pump();
  EXPECT_TRUE(Commands().empty());
}

TEST_F(SoftKeyBarTest, ABarBelongsToAWindow) {
  HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, 1, u"Left");
  EXPECT_EQ(CreateMenuBarWindow(nullptr, menu, false, true), nullptr);
  DestroyMenu(menu);
  // Only an owned top-level window can be one: a child or a window of its own would vanish
  // from the screen behind another window's bar.
  HWND app = MakeOwner();
  HWND child = CreateWindowExW(0, u"BAROWNER", u"", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10, app, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_TRUE(app && child);
  EXPECT_FALSE(pellix::device::windows::MarkSoftKeyBar(child));
  EXPECT_FALSE(pellix::device::windows::MarkSoftKeyBar(app));
  const auto windows = pellix::device::windows::VisibleWindows();
  EXPECT_TRUE(Shows(windows, app));
  EXPECT_TRUE(Shows(windows, child));
}

}  // namespace

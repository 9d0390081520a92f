// The shell's chrome at the dots per inch of a QVGA and a VGA handheld: the platform bubble,
// its caption and close box, the menu bar and the HTML view's text all follow the system
// metrics, as they do on a real VGA device.
#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <thread>

#include "gdi/screen.h"
#include "gdi/screenshot.h"
#include "shell/menu_bar.h"
#include "shell/platform_bubble.h"
#include "testing/temp_image.h"
#include "windows/window_system.h"

#include <aygshell.h>
#include <htmlctrl.h>

namespace {

using pellix::testing::DeviceTest;

struct ScreenCase {
  int width, height, dpi;
};

void PrintTo(const ScreenCase& s, std::ostream* out) { *out << s.width << "x" << s.height << "@" << s.dpi; }

constexpr CLSID kChromeClass = {0x5d3c1e0a, 0x7b21, 0x4c55, {0x8e, 0x10, 0x42, 0x6a, 0x0b, 0x93, 0x11, 0xd7}};

class NotificationChromeTest : public DeviceTest, public ::testing::WithParamInterface<ScreenCase> {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.screen_width = GetParam().width;
    p.screen_height = GetParam().height;
    p.dpi = GetParam().dpi;
    p.clock_speed = 10.0;
    return p;
  }

  // Shows a notification with no sink, so the shell draws its own bubble, and waits until the
  // bubble and its children have painted.
  HWND ShowBubble(const char16_t* title, const char16_t* html) {
    SHNOTIFICATIONDATA data{};
    data.cbStruct = SHNOTIFICATIONDATA_CBSTRUCT;
    data.dwID = 7;
    data.npPriority = SHNP_INFORM;
    data.csDuration = 60;
    data.clsid = kChromeClass;
    data.pszTitle = title;
    data.pszHTML = html;
    data.rgskn[0] = SOFTKEYNOTIFY{u"Dismiss", SOFTKEYCMD{1, NOTIF_SOFTKEY_FLAGS_DISMISS}};
    data.rgskn[1] = SOFTKEYNOTIFY{u"Hide", SOFTKEYCMD{2, NOTIF_SOFTKEY_FLAGS_HIDE}};
    if (SHNotificationAdd(&data) != ERROR_SUCCESS) return nullptr;
    auto& windows = pellix::device::windows::WindowSystem::Get();
    for (int i = 0; i < 1000; ++i) {
      HWND bubble = pellix::device::shell::PlatformBubble();
      if (bubble && IsWindowVisible(bubble) && !windows.HasUpdate(bubble)) {
        HWND view = GetWindow(bubble, GW_CHILD);
        bool painted = view != nullptr;
        for (HWND w = view; w; w = GetWindow(w, GW_CHILD)) painted = painted && !windows.HasUpdate(w);
        if (painted) return bubble;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return nullptr;
  }
};

TEST_P(NotificationChromeTest, BarsCaptionAndTextFollowTheDpi) {
  const int dpi = GetParam().dpi;
  EXPECT_EQ(GetSystemMetrics(SM_CYCAPTION), 26 * dpi / 96);
  EXPECT_EQ(GetSystemMetrics(SM_CYMENU), 26 * dpi / 96);
  HWND bubble = ShowBubble(u"Notification", u"Hello <b>there</b>");
  ASSERT_NE(bubble, nullptr);

  // The bubble hangs below the title bar, whatever its height.
  RECT box{};
  GetWindowRect(bubble, &box);
  EXPECT_EQ(box.top, GetSystemMetrics(SM_CYCAPTION));
  EXPECT_EQ(box.right - box.left, GetParam().width);

  // Its caption holds a line of the system font, which grows with the dpi.
  HWND view = GetWindow(bubble, GW_CHILD);
  ASSERT_NE(view, nullptr);
  RECT body{};
  GetWindowRect(view, &body);
  HDC dc = GetDC(bubble);
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  ReleaseDC(bubble, dc);
  EXPECT_GE(body.top - box.top, tm.tmHeight);

  // The HTML view's normal text is as large to the eye: a line is at least 12 points' worth of
  // pixels at 96 dpi, twice that at 192.
  EXPECT_GE(SendMessageW(view, DTM_LAYOUTHEIGHT, 0, 0), 12 * dpi / 96);

  // The soft keys cover the desktop's soft-key bar exactly, and the bubble stays above them.
  HWND bar = pellix::device::shell::SoftKeyBar();
  ASSERT_NE(bar, nullptr);
  RECT keys{};
  GetWindowRect(bar, &keys);
  EXPECT_EQ(keys.bottom, GetParam().height);
  EXPECT_EQ(keys.bottom - keys.top, GetSystemMetrics(SM_CYMENU));
  EXPECT_EQ(keys.bottom - keys.top, pellix::device::gdi::TheScreen().soft_key_bar_height());
  EXPECT_LE(box.bottom, keys.top);
}

TEST_P(NotificationChromeTest, ALongTitleStopsBeforeTheCloseBox) {
  HWND bubble = ShowBubble(u"A title much too long to fit beside the close box of any bubble at all", u"x");
  ASSERT_NE(bubble, nullptr);
  auto shot = pellix::device::gdi::Capture(bubble);
  ASSERT_TRUE(shot.ok());
  HWND view = GetWindow(bubble, GW_CHILD);
  RECT box{}, body{};
  GetWindowRect(bubble, &box);
  GetWindowRect(view, &body);
  const int caption = body.top - box.top, width = box.right - box.left;
  // The close box is the square at the caption's right end; the strip before it is the gap
  // that keeps the title off it, and only the caption's colour shows there.
  const int close_left = width - caption, gap = 2 * GetSystemMetrics(SM_CXEDGE);
  const pellix::device::gdi::Pixel background = shot->At(close_left - 1, 0);
  int inked = 0;
  for (int y = 0; y < caption; ++y)
    for (int x = close_left - gap; x < close_left; ++x) inked += shot->At(x, y) != background;
  EXPECT_EQ(inked, 0);
  // The title is drawn up to the gap (it ends in an ellipsis), and the close box shows its cross.
  int title_ink = 0, cross_ink = 0;
  for (int y = 0; y < caption; ++y) {
    for (int x = close_left - gap - caption; x < close_left - gap; ++x) title_ink += shot->At(x, y) != background;
    for (int x = close_left; x < width; ++x) cross_ink += shot->At(x, y) != background;
  }
  EXPECT_GT(title_ink, 0);
  EXPECT_GT(cross_ink, 0);
}

INSTANTIATE_TEST_SUITE_P(QvgaAndVga, NotificationChromeTest,
                         ::testing::Values(ScreenCase{240, 320, 96}, ScreenCase{480, 640, 192}),
                         [](const ::testing::TestParamInfo<ScreenCase>& info) {
                           return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace

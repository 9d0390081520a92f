// The "DISPLAYCLASS" window through the SDK, the way the bubble and the read window use it.
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "gdi/screen.h"
#include "gdi/screenshot.h"
#include "gdi/gdi_objects.h"
#include "testing/temp_image.h"
#include "windows/window_system.h"

#include <htmlctrl.h>
#include <libloader.h>
#include <objidl.h>

namespace {

constexpr int kViewId = 40;

// A page shaped like the bubble's: the sender's picture, smileys by index, links, <br>.
constexpr char16_t kPage[] =
    u"<html><body style=\"margin:0\"><table border=\"0\" cellpadding=\"0\" cellspacing=\"0\"><tr>"
    u"<td valign=\"top\"><img src=\"PictureID\"></td><td><a href=\"+4912345\">+4912345</a> <img src=\"12\"><br>"
    u"second line <img src=\"12\"> <img src=\"3\"></td></tr></table></body></html>";

struct Request {
  std::u16string name;
  DWORD cookie;
  UINT_PTR id;
  HWND from;
};

// The parent: records notifications and answers picture requests during the notification.
struct Parent {
  std::vector<Request> requests;
  std::vector<std::u16string> hotspots;
  std::vector<POINT> context_points;
  HBITMAP picture = nullptr;  // 20 x 30, red
};
Parent* g_parent = nullptr;

LRESULT CALLBACK ParentProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NOTIFY && g_parent) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (header->code == NM_INLINE_IMAGE) {
      const auto* nm = reinterpret_cast<const NM_HTMLVIEW*>(lParam);
      g_parent->requests.push_back({nm->szTarget, nm->dwCookie, header->idFrom, header->hwndFrom});
      if (std::u16string(nm->szTarget) == u"3") {
        SendMessageW(header->hwndFrom, DTM_IMAGEFAIL, 0, static_cast<LPARAM>(nm->dwCookie));
        return 0;
      }
      if (std::u16string(nm->szTarget) == u"wide") {
        INLINEIMAGEINFO info{nm->dwCookie, 300, 400, g_parent->picture, FALSE};
        SendMessageW(header->hwndFrom, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
        return 1;
      }
      INLINEIMAGEINFO info{nm->dwCookie, 30, 20, g_parent->picture, FALSE};
      SendMessageW(header->hwndFrom, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info));
      return 1;
    }
    if (header->code == NM_HOTSPOT) {
      g_parent->hotspots.push_back(reinterpret_cast<const NM_HTMLVIEW*>(lParam)->szTarget);
      return 0;
    }
    if (header->code == NM_CONTEXTMENU) {
      g_parent->context_points.push_back(reinterpret_cast<const NM_HTMLCONTEXT*>(lParam)->pt);
      return 1;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

WNDPROC g_previous_canvas_proc = nullptr;
std::vector<UINT> g_subclass_seen;
LRESULT CALLBACK TapRecorder(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_LBUTTONDOWN) g_subclass_seen.push_back(msg);
  return CallWindowProcW(g_previous_canvas_proc, hwnd, msg, wParam, lParam);
}

class DisplayWindowTest : public pellix::testing::DeviceTest {
 protected:
  pellix::device::Profile MakeProfile() const override {
    pellix::device::Profile p;
    p.clock_speed = 10.0;
    return p;
  }
  void SetUp() override {
    DeviceTest::SetUp();
    g_parent = &parent_;
    library_ = LoadLibraryW(u"htmlview.dll");
    ASSERT_NE(library_, nullptr);
    auto init = reinterpret_cast<BOOL (*)(HINSTANCE)>(GetProcAddressW(library_, reinterpret_cast<LPCWSTR>(1)));
    ASSERT_NE(init, nullptr);
    ASSERT_TRUE(init(GetModuleHandleW(nullptr)));

    WNDCLASSW wc{};
    wc.lpfnWndProc = ParentProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"TESTPARENT";
    ASSERT_NE(RegisterClassW(&wc), 0);
    parent_window_ = CreateWindowExW(0, u"TESTPARENT", u"", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr,
                                     nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_window_, nullptr);
    view_ = CreateWindowExW(0, DISPLAYCLASS, u"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 150, parent_window_, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(view_, nullptr);
    SetWindowLongW(view_, GWL_ID, kViewId);

    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = 20;
    bmi.bmiHeader.biHeight = -30;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    parent_.picture = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(parent_.picture, nullptr);
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 20 * 30; ++i) pixels[i] = 0xFF0000;
    pixels_ = pixels;
  }
  void TearDown() override {
    if (IsWindow(parent_window_)) DestroyWindow(parent_window_);
    if (parent_.picture) DeleteObject(parent_.picture);
    if (library_) FreeLibrary(library_);
    g_parent = nullptr;
    DeviceTest::TearDown();
  }

  void Load(const char16_t* html) {
    SendMessageW(view_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u""));
    SendMessageW(view_, DTM_CLEAR, 0, 0);
    SendMessageW(view_, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(html));
    SendMessageW(view_, DTM_ADDSTYLE, 0, reinterpret_cast<LPARAM>(u"BODY { font-size: 8pt; }"));
    SendMessageW(view_, DTM_ZOOMLEVEL, 0, 2);
    SendMessageW(view_, DTM_ENDOFSOURCE, 0, 0);
  }
  HWND canvas() const { return GetWindow(view_, GW_CHILD); }
  void Tap(int x, int y) {
    SendMessageW(canvas(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(canvas(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }

  // Lets this thread's windows answer for `ms` real milliseconds.
  void Pump(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  uint32_t PixelOfView(int x, int y) {
    pellix::device::gdi::GdiTable& table = pellix::device::gdi::Gdi();
    std::lock_guard lock(table.mutex());
    auto shot = pellix::device::gdi::Capture(view_);
    if (!shot.ok()) return 0xDEADBEEF;
    return shot.value().At(x, y);
  }

  Parent parent_;
  uint32_t* pixels_ = nullptr;  // of parent_.picture
  HMODULE library_ = nullptr;
  HWND parent_window_ = nullptr;
  HWND view_ = nullptr;
};

TEST_F(DisplayWindowTest, EndOfSourceAsksForEachPictureOnceByName) {
  Load(kPage);
  ASSERT_EQ(parent_.requests.size(), 3u);
  const char16_t* names[] = {u"PictureID", u"12", u"3"};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(parent_.requests[i].name, names[i]);
    EXPECT_EQ(parent_.requests[i].id, static_cast<UINT_PTR>(kViewId));
    EXPECT_EQ(parent_.requests[i].from, view_);
  }
  EXPECT_NE(parent_.requests[0].cookie, parent_.requests[1].cookie);
  // The answered 30-pixel picture sets the height of the first row.
  EXPECT_GE(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 30);
}

TEST_F(DisplayWindowTest, AnswersOfAnOlderDocumentAreIgnored) {
  Load(kPage);
  const DWORD stale = parent_.requests[0].cookie;
  SendMessageW(view_, DTM_CLEAR, 0, 0);
  SendMessageW(view_, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(u"<img src=\"x\">"));
  g_parent = nullptr;  // nobody answers this time
  SendMessageW(view_, DTM_ENDOFSOURCE, 0, 0);
  INLINEIMAGEINFO info{stale, 300, 300, parent_.picture, FALSE};
  EXPECT_FALSE(SendMessageW(view_, DTM_SETIMAGE, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_LT(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 300);
}

TEST_F(DisplayWindowTest, TapOnALinkNotifiesItsHrefAndReachesTheSubclass) {
  g_previous_canvas_proc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(canvas(), GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&TapRecorder)));
  ASSERT_NE(g_previous_canvas_proc, nullptr);
  Load(kPage);
  // The link starts right of the 20-pixel picture, on a line as tall as the smiley after it.
  Tap(24, 14);
  ASSERT_EQ(parent_.hotspots.size(), 1u);
  EXPECT_EQ(parent_.hotspots[0], u"+4912345");
  EXPECT_EQ(g_subclass_seen.size(), 1u);
  // Plain text is no link.
  Tap(195, 140);
  EXPECT_EQ(parent_.hotspots.size(), 1u);
}

TEST_F(DisplayWindowTest, SelectAllThenCopyGivesTheTextAsUtf16) {
  Load(u"first<br>second line");
  IStream* stream = nullptr;
  DWORD zero = 0;
  // Nothing selected: no stream.
  SendMessageW(view_, DTM_COPYSELECTIONTONEWISTREAM, reinterpret_cast<WPARAM>(&zero), reinterpret_cast<LPARAM>(&stream));
  EXPECT_EQ(stream, nullptr);
  SendMessageW(view_, DTM_SELECTALL, 0, 0);
  SendMessageW(view_, DTM_COPYSELECTIONTONEWISTREAM, reinterpret_cast<WPARAM>(&zero), reinterpret_cast<LPARAM>(&stream));
  ASSERT_NE(stream, nullptr);
  STATSTG stat{};
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  const std::u16string expected = u"first\r\nsecond line";
  ASSERT_EQ(stat.cbSize.QuadPart, expected.size() * 2);
  std::u16string got(expected.size(), u'\0');
  ULONG read = 0;
  ASSERT_EQ(stream->Read(got.data(), static_cast<ULONG>(expected.size() * 2), &read), S_OK);
  EXPECT_EQ(got, expected);
  stream->Release();
}

TEST_F(DisplayWindowTest, ContextKeyNotifiesTheTapPointOnScreen) {
  Load(kPage);
  SendMessageW(canvas(), WM_KEYDOWN, VK_APPS, 0);
  ASSERT_EQ(parent_.context_points.size(), 1u);
  POINT centre{100, 75};
  ClientToScreen(canvas(), &centre);
  EXPECT_EQ(parent_.context_points[0].x, centre.x);
  EXPECT_EQ(parent_.context_points[0].y, centre.y);
}

TEST_F(DisplayWindowTest, PaintsTheCallersBitmapAndItsChanges) {
  Load(kPage);
  UpdateWindow(canvas());
  EXPECT_EQ(PixelOfView(5, 5), 0xFF0000u);  // inside the 20 x 30 picture
  // The next frame of an animation: the owner draws into its bitmap and hides and shows the
  // view, which then paints the new pixels.
  for (int i = 0; i < 20 * 30; ++i) pixels_[i] = 0x0000FF;
  ShowWindow(view_, SW_HIDE);
  ShowWindow(view_, SW_SHOWNORMAL);
  UpdateWindow(view_);
  UpdateWindow(canvas());
  EXPECT_EQ(PixelOfView(5, 5), 0x0000FFu);
  // The view never deletes a bitmap it does not own.
  SendMessageW(view_, DTM_CLEAR, 0, 0);
  DestroyWindow(view_);
  BITMAP bm{};
  EXPECT_NE(GetObjectW(parent_.picture, sizeof(bm), &bm), 0);
}

TEST_F(DisplayWindowTest, ZoomAfterTheEndLaysTheDocumentOutAgain) {
  Load(u"one<br>two<br>three");
  const LRESULT normal = SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0);
  SendMessageW(view_, DTM_ZOOMLEVEL, 0, 4);
  const LRESULT largest = SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0);
  SendMessageW(view_, DTM_ZOOMLEVEL, 0, 0);
  const LRESULT smallest = SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0);
  EXPECT_GT(largest, normal);
  EXPECT_LT(smallest, normal);
}

TEST_F(DisplayWindowTest, ShrinkFitsAWidePictureToTheView) {
  const char16_t page[] = u"<body style=\"margin:0\"><img src=\"wide\"></body>";
  Load(page);
  EXPECT_GE(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 300);
  SendMessageW(view_, DTM_CLEAR, 0, 0);
  SendMessageW(view_, DTM_ADDTEXTW, 0, reinterpret_cast<LPARAM>(page));
  SendMessageW(view_, DTM_ENABLESHRINK, 0, static_cast<LPARAM>(-1));
  SendMessageW(view_, DTM_ENDOFSOURCE, 0, 0);
  // 400 x 300 into 200 pixels: 150 high.
  const LRESULT height = SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0);
  EXPECT_GE(height, 150);
  EXPECT_LT(height, 170);
}

TEST_F(DisplayWindowTest, LongPressOnALinkIsAContextMenuNotATap) {
  Load(kPage);
  SendMessageW(canvas(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 14));
  Pump(150);  // more than the long press at ten times the speed
  SendMessageW(canvas(), WM_LBUTTONUP, 0, MAKELPARAM(24, 14));
  ASSERT_EQ(parent_.context_points.size(), 1u);
  POINT expected{24, 14};
  ClientToScreen(canvas(), &expected);
  EXPECT_EQ(parent_.context_points[0].x, expected.x);
  EXPECT_EQ(parent_.context_points[0].y, expected.y);
  EXPECT_TRUE(parent_.hotspots.empty());
  // A short tap on the same spot is the link again.
  Tap(24, 14);
  Pump(150);
  EXPECT_EQ(parent_.hotspots.size(), 1u);
  EXPECT_EQ(parent_.context_points.size(), 1u);
}

// A thread that was busy while the stylus was held finds the press and the release both
// waiting, before its long-press timer could run: their times still make it a long press.
TEST_F(DisplayWindowTest, PressHeldLongIsALongPressEvenWhenReadLate) {
  Load(kPage);
  POINT screen{24, 14};
  ClientToScreen(canvas(), &screen);
  const uint32_t down = static_cast<uint32_t>(GetTickCount());
  pellix::device::windows::WindowSystem& system = pellix::device::windows::WindowSystem::Get();
  ASSERT_TRUE(system.PostInput(canvas(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 14), down, screen).ok());
  ASSERT_TRUE(system.PostInput(canvas(), WM_LBUTTONUP, 0, MAKELPARAM(24, 14), down + 800, screen).ok());
  Pump(5);
  EXPECT_EQ(parent_.context_points.size(), 1u);
  EXPECT_TRUE(parent_.hotspots.empty());
  // Held for less than the long press, it is a tap on the link.
  ASSERT_TRUE(system.PostInput(canvas(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(24, 14), down + 900, screen).ok());
  ASSERT_TRUE(system.PostInput(canvas(), WM_LBUTTONUP, 0, MAKELPARAM(24, 14), down + 1100, screen).ok());
  Pump(5);
  EXPECT_EQ(parent_.context_points.size(), 1u);
  EXPECT_EQ(parent_.hotspots.size(), 1u);
}

TEST_F(DisplayWindowTest, TallDocumentsScrollWithTheKeys) {
  std::u16string tall;
  for (int i = 0; i < 60; ++i) tall += u"line<br>";
  Load(tall.c_str());
  EXPECT_GT(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 150);
  SendMessageW(canvas(), WM_KEYDOWN, VK_DOWN, 0);
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_POS;
  ASSERT_TRUE(GetScrollInfo(view_, SB_VERT, &si));
  EXPECT_GT(si.nPos, 0);
  SendMessageW(canvas(), WM_KEYDOWN, VK_UP, 0);
  GetScrollInfo(view_, SB_VERT, &si);
  EXPECT_EQ(si.nPos, 0);
}

TEST_F(DisplayWindowTest, SetTextEmptyEmptiesTheView) {
  Load(kPage);
  EXPECT_GT(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 0);
  SendMessageW(view_, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u""));
  EXPECT_EQ(SendMessageW(view_, DTM_LAYOUTHEIGHT, 0, 0), 0);
}

}  // namespace

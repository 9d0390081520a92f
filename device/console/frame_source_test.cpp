// Frames from the screen's damage: a frame holds exactly the pixels that changed, an unchanged
// screen gives no frame even when it was drawn on, and the wire format survives a round trip
// and refuses what is cut short.
#include "console/frame_source.h"

#include <gtest/gtest.h>

#include "gdi/screen.h"
#include "testing/temp_image.h"
#include "windows/test_window.h"

#include <windows.h>

namespace pellix::device::console {
namespace {

using gdi::Rect;

class FrameSourceTest : public testing::DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    testing::RegisterRecorderClass(static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    window_ = testing::MakeWindow(WS_POPUP | WS_VISIBLE, 20, 40, 100, 80);
    ASSERT_NE(window_, nullptr);
    testing::Drain();
    // Start from what the screen shows now, window painted.
    ASSERT_TRUE(source_.Poll().has_value());
    while (source_.Poll()) testing::Drain();
  }

  void Fill(const RECT& r, COLORREF color) {
    HDC dc = GetDC(window_);
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    ReleaseDC(window_, dc);
  }

  FrameSource source_;
  HWND window_ = nullptr;
};

TEST_F(FrameSourceTest, NothingDrawnGivesNoFrame) {
  EXPECT_FALSE(source_.Poll().has_value());
  EXPECT_FALSE(source_.Poll().has_value());
}

TEST_F(FrameSourceTest, AFrameHoldsOnlyWhatChanged) {
  Fill(RECT{10, 5, 30, 12}, RGB(255, 0, 0));
  auto frame = source_.Poll();
  ASSERT_TRUE(frame.has_value());
  EXPECT_FALSE(frame->key);
  ASSERT_EQ(frame->rects.size(), 1u);
  // Client (10,5)-(30,12) of a window at (20,40) on the screen.
  EXPECT_EQ(frame->rects[0].rect, (Rect{30, 45, 50, 52}));
  EXPECT_FALSE(frame->rects[0].png.empty());
  EXPECT_FALSE(source_.Poll().has_value());
}

TEST_F(FrameSourceTest, DrawingThePixelsThereAlreadyGivesNoFrame) {
  Fill(RECT{0, 0, 100, 80}, RGB(255, 255, 255));
  EXPECT_FALSE(source_.Poll().has_value());
}

TEST_F(FrameSourceTest, AWindowThatGoesAwayUncoversTheDesktop) {
  ShowWindow(window_, SW_HIDE);
  testing::Drain();
  auto frame = source_.Poll();
  ASSERT_TRUE(frame.has_value());
  Rect covered{};
  for (const FrameRect& r : frame->rects)
    covered = covered.IsEmpty() ? r.rect
                                : Rect{std::min(covered.left, r.rect.left), std::min(covered.top, r.rect.top),
                                       std::max(covered.right, r.rect.right), std::max(covered.bottom, r.rect.bottom)};
  EXPECT_EQ(covered, (Rect{20, 40, 120, 120}));
}

TEST_F(FrameSourceTest, AKeyFrameIsTheWholeScreenAndLeavesDamageForOthers) {
  Fill(RECT{0, 0, 4, 4}, RGB(0, 0, 255));
  Frame key = source_.KeyFrame();
  EXPECT_TRUE(key.key);
  ASSERT_EQ(key.rects.size(), 1u);
  EXPECT_EQ(key.rects[0].rect, (Rect{0, 0, 240, 320}));
  auto frame = source_.Poll();
  ASSERT_TRUE(frame.has_value());
  EXPECT_EQ(frame->rects[0].rect, (Rect{20, 40, 24, 44}));
}

TEST(FrameMessageTest, RoundTripsAndRefusesCutMessages) {
  Frame f{240, 320, false, {{Rect{1, 2, 11, 22}, {1, 2, 3}}, {Rect{0, 0, 1, 1}, {9}}}};
  const std::string m = EncodeFrameMessage(f);
  auto back = DecodeFrameMessage(m);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->width, 240);
  EXPECT_EQ(back->height, 320);
  ASSERT_EQ(back->rects.size(), 2u);
  EXPECT_EQ(back->rects[0].rect, (Rect{1, 2, 11, 22}));
  EXPECT_EQ(back->rects[0].png, (std::vector<uint8_t>{1, 2, 3}));
  for (size_t cut = 0; cut < m.size(); ++cut)
    EXPECT_FALSE(DecodeFrameMessage(m.substr(0, cut)).has_value()) << "cut at " << cut;
  EXPECT_FALSE(DecodeFrameMessage(m + "x").has_value());
}

}  // namespace
}  // namespace pellix::device::console

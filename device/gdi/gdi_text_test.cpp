// Text through the SDK: metrics, extents, line layout and where pixels land.
#include <gtest/gtest.h>

#include <string>

#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

class GdiTextTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    BITMAPINFOHEADER h{40, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    bitmap_ = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&h), DIB_RGB_COLORS,
                               reinterpret_cast<void**>(&pixels_), nullptr, 0);
    dc_ = CreateCompatibleDC(nullptr);
    SelectObject(dc_, bitmap_);
    for (int i = 0; i < kWidth * kHeight; ++i) pixels_[i] = 0xFFFFFF;
  }
  int Extent(const char16_t* s) {
    SIZE size{};
    GetTextExtentPoint32W(dc_, s, static_cast<int>(std::u16string_view(s).size()), &size);
    return size.cx;
  }
  int LineHeight() {
    TEXTMETRICW tm{};
    GetTextMetricsW(dc_, &tm);
    return tm.tmHeight;
  }
  uint32_t At(int x, int y) { return pixels_[y * kWidth + x]; }
  // Pixels that are no longer white, and their bounding box.
  int Changed(RECT* box = nullptr) {
    int n = 0;
    RECT b{kWidth, kHeight, -1, -1};
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (At(x, y) != 0xFFFFFF) {
          ++n;
          b = RECT{std::min<LONG>(b.left, x), std::min<LONG>(b.top, y), std::max<LONG>(b.right, x + 1),
                   std::max<LONG>(b.bottom, y + 1)};
        }
    if (box) *box = b;
    return n;
  }

  static constexpr int kWidth = 120, kHeight = 60;
  HBITMAP bitmap_ = nullptr;
  uint32_t* pixels_ = nullptr;
  HDC dc_ = nullptr;
};

TEST_F(GdiTextTest, MetricsAreConsistent) {
  TEXTMETRICW tm{};
  ASSERT_TRUE(GetTextMetricsW(dc_, &tm));
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GE(tm.tmHeight, 12);  // the system font is 12 pixels to the em at 96 dpi
  EXPECT_LE(tm.tmHeight, 18);
  EXPECT_GT(tm.tmAveCharWidth, 0);
  EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
}

TEST_F(GdiTextTest, ExtentsAddUpAndGrowWithTheFont) {
  EXPECT_EQ(Extent(u"ab"), Extent(u"a") + Extent(u"b"));
  EXPECT_EQ(Extent(u""), 0);
  EXPECT_GT(Extent(u"WWW"), Extent(u"iii"));
  const int regular = Extent(u"Message");
  LOGFONTW lf{};
  lf.lfHeight = -24;
  lf.lfWeight = FW_BOLD;
  HFONT big = CreateFontIndirectW(&lf);
  HGDIOBJ old = SelectObject(dc_, big);
  EXPECT_GT(Extent(u"Message"), regular * 3 / 2);
  EXPECT_GT(LineHeight(), 24);
  SelectObject(dc_, old);
  EXPECT_EQ(Extent(u"Message"), regular);
  // A positive height asks for a cell no taller than that.
  lf.lfHeight = 20;
  HFONT cell = CreateFontIndirectW(&lf);
  SelectObject(dc_, cell);
  EXPECT_LE(LineHeight(), 20);
  EXPECT_GE(LineHeight(), 17);
}

TEST_F(GdiTextTest, GetTextExtentExPointCountsWhatFits) {
  const int two = Extent(u"ab");
  int fit = -1;
  int dx[3] = {};
  SIZE size{};
  ASSERT_TRUE(GetTextExtentExPointW(dc_, u"abc", 3, two, &fit, dx, &size));
  EXPECT_EQ(fit, 2);
  EXPECT_EQ(dx[0], Extent(u"a"));
  EXPECT_EQ(dx[1], two);
  EXPECT_EQ(dx[2], Extent(u"abc"));
  EXPECT_EQ(size.cx, Extent(u"abc"));
}

TEST_F(GdiTextTest, DrawTextLaysOutLines) {
  const int h = LineHeight();
  struct Case {
    const char16_t* text;
    int width;  // of the rectangle
    UINT format;
    int lines;
  };
  const int two_words = Extent(u"aaa bbb");
  const Case cases[] = {
      {u"aaa bbb ccc", 1000, DT_WORDBREAK, 1},
      {u"aaa bbb ccc", two_words, DT_WORDBREAK, 2},
      {u"aaa bbb ccc", two_words - 1, DT_WORDBREAK, 3},
      {u"aaa bbb ccc", 1, DT_WORDBREAK, 3},  // words longer than the line stay whole
      {u"aaa bbb ccc", 1, 0, 1},             // no word breaks without DT_WORDBREAK
      {u"one\ntwo", 1000, 0, 2},
      {u"one\r\ntwo\r\nthree", 1000, DT_WORDBREAK, 3},
      {u"one\ntwo", 1000, DT_SINGLELINE, 1},
  };
  for (const Case& c : cases) {
    RECT r{0, 0, c.width, 0};
    const int height = DrawTextW(dc_, c.text, -1, &r, c.format | DT_CALCRECT);
    EXPECT_EQ(height, c.lines * h) << std::string(c.text, c.text + std::u16string_view(c.text).size())
                                   << " width " << c.width;
    EXPECT_EQ(r.bottom, c.lines * h);
  }
  EXPECT_EQ(Changed(), 0) << "DT_CALCRECT draws nothing";
  RECT single{5, 5, 5, 5};
  DrawTextW(dc_, u"Hello", -1, &single, DT_CALCRECT);
  EXPECT_EQ(single.right, 5 + Extent(u"Hello"));
}

TEST_F(GdiTextTest, DrawTextReturnsTheHeightItDrew) {
  RECT r{5, 3, 100, 13};
  const int height = DrawTextW(dc_, u"Sent: today", -1, &r, DT_WORDBREAK | DT_NOCLIP);
  EXPECT_EQ(height, LineHeight());
  RECT box{};
  ASSERT_GT(Changed(&box), 0);
  EXPECT_GE(box.left, 5);
  EXPECT_GE(box.top, 3);
  // DT_NOCLIP lets the line run below a rectangle shorter than the font.
  EXPECT_GT(box.bottom, 13);
}

TEST_F(GdiTextTest, DrawTextClipsToItsRectangle) {
  RECT r{5, 3, 100, 10};
  SetBkMode(dc_, TRANSPARENT);
  DrawTextW(dc_, u"Clipped text", -1, &r, DT_WORDBREAK);
  RECT box{};
  ASSERT_GT(Changed(&box), 0);
  EXPECT_LE(box.bottom, 10);
}

TEST_F(GdiTextTest, EndEllipsisKeepsALongLineInsideItsRectangle) {
  // Without clipping, only the ellipsis keeps the line from running past the rectangle.
  RECT r{0, 0, 60, 30};
  const std::u16string line = u"A title far too long for its place";
  ASSERT_GT(Extent(line.c_str()), 60);
  DrawTextW(dc_, line.c_str(), -1, &r, DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS);
  RECT ink{};
  ASSERT_GT(Changed(&ink), 0);
  EXPECT_LE(ink.right, 60);
  // The dots are drawn: the last third of the rectangle has ink, unlike a cut word's gap.
  EXPECT_GT(ink.right, 40);
  // A line that fits is drawn as it is.
  for (int i = 0; i < kWidth * kHeight; ++i) pixels_[i] = 0xFFFFFF;
  RECT wide{0, 0, kWidth, 30};
  DrawTextW(dc_, u"Short", -1, &wide, DT_SINGLELINE | DT_END_ELLIPSIS);
  Changed(&ink);
  EXPECT_LE(ink.right, Extent(u"Short") + 1);
}

TEST_F(GdiTextTest, ExtTextOutOpaqueFillsTheRectangleWithTheBackgroundColour) {
  SetBkColor(dc_, RGB(0x10, 0x20, 0x30));
  RECT r{10, 5, 20, 8};
  ASSERT_TRUE(ExtTextOutW(dc_, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr));
  RECT box{};
  EXPECT_EQ(Changed(&box), 30);
  EXPECT_EQ(box.left, 10);
  EXPECT_EQ(box.bottom, 8);
  EXPECT_EQ(At(10, 5), 0x102030u);
}

TEST_F(GdiTextTest, ExtTextOutDrawsInTheTextColourInsideTheCell) {
  SetTextColor(dc_, RGB(0, 0, 0));
  SetBkMode(dc_, TRANSPARENT);
  ASSERT_TRUE(ExtTextOutW(dc_, 10, 10, 0, nullptr, u"HHH", 3, nullptr));
  RECT box{};
  ASSERT_GT(Changed(&box), 10);
  EXPECT_GE(box.left, 10);
  EXPECT_LE(box.right, 10 + Extent(u"HHH") + 1);
  EXPECT_GE(box.top, 10);
  EXPECT_LE(box.bottom, 10 + LineHeight());
  // The strokes of an H are solid: some pixel is fully the text colour.
  bool solid = false;
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) solid |= At(x, y) == 0;
  EXPECT_TRUE(solid);
}

TEST_F(GdiTextTest, OpaqueBackgroundModeFillsTheTextCell) {
  SetBkColor(dc_, RGB(255, 0, 0));
  ASSERT_EQ(GetBkMode(dc_), OPAQUE);
  ExtTextOutW(dc_, 4, 4, 0, nullptr, u"  ", 2, nullptr);
  EXPECT_EQ(At(4, 4), 0xFF0000u);
  EXPECT_EQ(At(4 + Extent(u"  ") - 1, 4 + LineHeight() - 1), 0xFF0000u);
  EXPECT_EQ(At(4 + Extent(u"  "), 4), 0xFFFFFFu);
  EXPECT_EQ(At(4, 4 + LineHeight()), 0xFFFFFFu);
}

TEST_F(GdiTextTest, ClippedExtTextOutStaysInItsRectangle) {
  SetBkMode(dc_, TRANSPARENT);
  RECT clip{10, 10, 16, 30};
  ExtTextOutW(dc_, 10, 10, ETO_CLIPPED, &clip, u"WWWW", 4, nullptr);
  RECT box{};
  ASSERT_GT(Changed(&box), 0);
  EXPECT_LE(box.right, 16);
}

}  // namespace

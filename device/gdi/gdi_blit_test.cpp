// Bitmaps, DIB sections and blits through the SDK, against pixel values worked out by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

// A DIB section description with room for a colour table.
struct DibInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD colors[256]{};
  BITMAPINFO* get() { return reinterpret_cast<BITMAPINFO*>(this); }
};

DibInfo Describe(int width, int height, int bpp) {
  DibInfo info;
  info.header.biSize = 40;
  info.header.biWidth = width;
  info.header.biHeight = height;
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(bpp);
  info.header.biCompression = BI_RGB;
  return info;
}

struct Dib {
  HBITMAP bitmap = nullptr;
  void* bits = nullptr;
  HDC dc = nullptr;
  HGDIOBJ old = nullptr;
  uint8_t* bytes() { return static_cast<uint8_t*>(bits); }
  uint32_t* pixels() { return static_cast<uint32_t*>(bits); }
};

// A DIB section selected into a memory context of its own.
Dib MakeDib(DibInfo info) {
  Dib d;
  d.bitmap = CreateDIBSection(nullptr, info.get(), DIB_RGB_COLORS, &d.bits, nullptr, 0);
  d.dc = CreateCompatibleDC(nullptr);
  d.old = SelectObject(d.dc, d.bitmap);
  return d;
}

Dib MakeDib32(int width, int height) { return MakeDib(Describe(width, height, 32)); }

class GdiBlitTest : public DeviceTest {};

TEST_F(GdiBlitTest, DibRowsAreBottomUpOrTopDownAndPaddedToWords) {
  struct Case {
    int bpp, width, height;
    int stride;          // bytes a row, padded to 32 bits
    size_t first_pixel;  // byte offset of pixel (0, 0)
  };
  const Case cases[] = {
      {32, 3, 2, 12, 12},  {32, 3, -2, 12, 0}, {24, 3, 2, 12, 12},
      {24, 5, 1, 16, 0},   {16, 3, 2, 8, 8},   {1, 33, 2, 8, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.bpp << " bpp " << c.width << "x" << c.height);
    DibInfo info = Describe(c.width, c.height, c.bpp);
    info.colors[1] = RGBQUAD{255, 255, 255, 0};
    Dib d = MakeDib(info);
    ASSERT_NE(d.bitmap, nullptr);
    DIBSECTION ds{};
    ASSERT_EQ(GetObjectW(d.bitmap, sizeof(ds), &ds), static_cast<int>(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmWidthBytes, c.stride);
    EXPECT_EQ(ds.dsBm.bmBits, d.bits);
    EXPECT_EQ(ds.dsBm.bmHeight, std::abs(c.height));
    SetPixel(d.dc, 0, 0, RGB(255, 255, 255));
    EXPECT_NE(d.bytes()[c.first_pixel], 0) << "pixel (0,0) not where the layout puts it";
  }
}

TEST_F(GdiBlitTest, DepthsEncodeColoursAsThePlatformStoresThem) {
  // 24 bits: blue, green, red bytes.
  Dib d24 = MakeDib(Describe(1, 1, 24));
  SetPixel(d24.dc, 0, 0, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(d24.bytes()[0], 0x56);
  EXPECT_EQ(d24.bytes()[1], 0x34);
  EXPECT_EQ(d24.bytes()[2], 0x12);
  // 16 bits without masks: 5-5-5, red highest.
  Dib d16 = MakeDib(Describe(1, 1, 16));
  SetPixel(d16.dc, 0, 0, RGB(255, 0, 0));
  EXPECT_EQ(d16.bytes()[0] | (d16.bytes()[1] << 8), 0x7C00);
  SetPixel(d16.dc, 0, 0, RGB(0, 0, 255));
  EXPECT_EQ(d16.bytes()[0] | (d16.bytes()[1] << 8), 0x001F);
  // Full scale survives the round trip through five bits.
  SetPixel(d16.dc, 0, 0, RGB(255, 255, 255));
  EXPECT_EQ(GetPixel(d16.dc, 0, 0), RGB(255, 255, 255));
  // 32 bits: 0x00RRGGBB words.
  Dib d32 = MakeDib32(1, 1);
  SetPixel(d32.dc, 0, 0, RGB(0x12, 0x34, 0x56));
  EXPECT_EQ(d32.pixels()[0], 0x123456u);
}

TEST_F(GdiBlitTest, BitBltCopiesAndClipsToTheTarget) {
  Dib src = MakeDib32(3, 3), dst = MakeDib32(3, 3);
  for (int i = 0; i < 9; ++i) src.pixels()[i] = 0x010101u * (i + 1);  // bottom-up rows
  std::memset(dst.bits, 0, 36);
  ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 5, 5, src.dc, 0, 0, SRCCOPY));
  // Source (0,0) is the top row: memory row 2, first pixel = 7.
  EXPECT_EQ(GetPixel(dst.dc, 1, 1), RGB(7, 7, 7));
  EXPECT_EQ(GetPixel(dst.dc, 2, 1), RGB(8, 8, 8));
  EXPECT_EQ(GetPixel(dst.dc, 1, 2), RGB(4, 4, 4));
  EXPECT_EQ(GetPixel(dst.dc, 0, 0), RGB(0, 0, 0));
  EXPECT_EQ(GetPixel(dst.dc, 0, 2), RGB(0, 0, 0));
}

TEST_F(GdiBlitTest, ColourToMonochromeMarksTheSourceBackgroundColour) {
  // A 4x1 colour picture: white, red, white, near-white.
  Dib src = MakeDib32(4, 1);
  src.pixels()[0] = 0xFFFFFF;
  src.pixels()[1] = 0xFF0000;
  src.pixels()[2] = 0xFFFFFF;
  src.pixels()[3] = 0xFEFFFF;
  DibInfo mono = Describe(4, 1, 1);
  mono.colors[0] = RGBQUAD{0, 0, 0, 0};
  mono.colors[1] = RGBQUAD{255, 255, 255, 255};
  Dib dst = MakeDib(mono);
  // With the default white background colour, only exact white becomes 1.
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.bytes()[0] & 0xF0, 0xA0);  // bits 1 0 1 0
  // With a red background colour on the source, only red becomes 1.
  SetBkColor(src.dc, RGB(255, 0, 0));
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 1, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.bytes()[0] & 0xF0, 0x40);  // bits 0 1 0 0
}

TEST_F(GdiBlitTest, MonochromeBitmapTakesTheTargetsTextAndBackgroundColours) {
  // One row of 8 pixels: 1 0 1 1 0 0 0 1, padded to 16 bits.
  const uint8_t bits[2] = {0xB1, 0x00};
  HBITMAP mono = CreateBitmap(8, 1, 1, 1, bits);
  ASSERT_NE(mono, nullptr);
  HDC mono_dc = CreateCompatibleDC(nullptr);
  SelectObject(mono_dc, mono);
  Dib dst = MakeDib32(8, 1);
  SetTextColor(dst.dc, RGB(0, 0, 255));
  SetBkColor(dst.dc, RGB(0, 255, 0));
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 8, 1, mono_dc, 0, 0, SRCCOPY));
  const uint32_t text = 0x0000FF, back = 0x00FF00;
  const uint32_t expected[8] = {back, text, back, back, text, text, text, back};
  for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.pixels()[x], expected[x]) << x;
}

TEST_F(GdiBlitTest, OneBitDibSourceUsesItsColourTable) {
  DibInfo info = Describe(2, 1, 1);
  info.colors[0] = RGBQUAD{0x30, 0x20, 0x10, 0};  // blue, green, red
  info.colors[1] = RGBQUAD{0x00, 0x80, 0xFF, 0};
  Dib src = MakeDib(info);
  src.bytes()[0] = 0x40;  // pixel 0: colour 0, pixel 1: colour 1
  Dib dst = MakeDib32(2, 1);
  ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 2, 1, src.dc, 0, 0, SRCCOPY));
  EXPECT_EQ(dst.pixels()[0], 0x102030u);
  EXPECT_EQ(dst.pixels()[1], 0xFF8000u);
}

TEST_F(GdiBlitTest, StretchBltScalesByNearestPixel) {
  Dib src = MakeDib(Describe(2, -2, 32));  // top-down: memory order is screen order
  src.pixels()[0] = 1;
  src.pixels()[1] = 2;
  src.pixels()[2] = 3;
  src.pixels()[3] = 4;
  Dib dst = MakeDib(Describe(4, -4, 32));
  ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 4, 4, src.dc, 0, 0, 2, 2, SRCCOPY));
  const uint32_t expected[16] = {1, 1, 2, 2, 1, 1, 2, 2, 3, 3, 4, 4, 3, 3, 4, 4};
  for (int i = 0; i < 16; ++i) EXPECT_EQ(dst.pixels()[i], expected[i]) << i;
}

TEST_F(GdiBlitTest, AlphaBlendWithConstantAlpha) {
  struct Case {
    BYTE alpha;
    uint32_t expected;
  };
  // Source 0x00FF8040 over 0x00204080: round((s * a + d * (255 - a)) / 255) per channel.
  const Case cases[] = {
      {0, 0x204080},
      {255, 0xFF8040},
      {128, 0x906060},  // red 32640 + 4064 = 36704 -> 143.9; green 128*128 + 64*127 = 24512 -> 96.1
                        // blue 64*128 + 128*127 = 24448 -> 95.9
      {51, 0x4D4D73},   // red 13005 + 6528 = 19533 -> 76.6; green 6528 + 13056 = 19584 -> 76.8
                        // blue 3264 + 26112 = 29376 -> 115.2
  };
  for (const Case& c : cases) {
    Dib src = MakeDib32(2, 2), dst = MakeDib32(2, 2);
    for (int i = 0; i < 4; ++i) {
      src.pixels()[i] = 0xFF8040;
      dst.pixels()[i] = 0x204080;
    }
    BLENDFUNCTION blend{AC_SRC_OVER, 0, c.alpha, 0};
    ASSERT_TRUE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 2, 2, blend));
    EXPECT_EQ(dst.pixels()[0] & 0xFFFFFF, c.expected) << "alpha " << int(c.alpha);
  }
}

TEST_F(GdiBlitTest, AlphaBlendRefusesBadArguments) {
  Dib src = MakeDib32(2, 2), dst = MakeDib32(2, 2);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 128, 0};
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 1, 1, 2, 2, blend));  // beyond the source
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, -2, 2, src.dc, 0, 0, 2, 2, blend));
  BLENDFUNCTION bad_op{1, 0, 128, 0};
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 2, 2, bad_op));
  EXPECT_FALSE(AlphaBlend(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, 2, 2, blend));
}

TEST_F(GdiBlitTest, RasterCodesCombineSourceAndDestination) {
  struct Case {
    DWORD rop;
    uint32_t expected;
  };
  // Destination 0x0F0F0F, source 0x3C3C3C.
  const Case cases[] = {
      {SRCCOPY, 0x3C3C3C},   {SRCPAINT, 0x3F3F3F},   {SRCAND, 0x0C0C0C},
      {SRCINVERT, 0x333333}, {NOTSRCCOPY, 0xC3C3C3}, {DSTINVERT, 0xF0F0F0},
      {BLACKNESS, 0x000000}, {WHITENESS, 0xFFFFFF},
  };
  for (const Case& c : cases) {
    Dib src = MakeDib32(1, 1), dst = MakeDib32(1, 1);
    src.pixels()[0] = 0x3C3C3C;
    dst.pixels()[0] = 0x0F0F0F;
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, c.rop));
    EXPECT_EQ(dst.pixels()[0], c.expected) << std::hex << c.rop;
  }
}

TEST_F(GdiBlitTest, CompatibleBitmapsFollowTheContextsDepth) {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  // A fresh memory context holds a 1x1 monochrome bitmap, so its compatible bitmaps are
  // monochrome; the screen's are colour.
  HBITMAP mono = CreateCompatibleBitmap(memory, 4, 4);
  HBITMAP colour = CreateCompatibleBitmap(screen, 4, 4);
  BITMAP bm{};
  ASSERT_EQ(GetObjectW(mono, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
  EXPECT_EQ(bm.bmBitsPixel, 1);
  ASSERT_EQ(GetObjectW(colour, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
  EXPECT_EQ(bm.bmBitsPixel, GetDeviceCaps(screen, BITSPIXEL));
  EXPECT_EQ(bm.bmWidth, 4);
  EXPECT_EQ(bm.bmBits, nullptr);
  // SelectObject hands back what was selected before.
  HGDIOBJ first = SelectObject(memory, colour);
  EXPECT_NE(first, nullptr);
  EXPECT_EQ(SelectObject(memory, first), colour);
  EXPECT_TRUE(DeleteObject(mono));
  EXPECT_FALSE(DeleteObject(mono));
  DeleteObject(colour);
  DeleteDC(memory);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
}

TEST_F(GdiBlitTest, BadDescriptionsAndHandlesAreRefused) {
  DibInfo zero_width = Describe(0, 4, 32);
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, zero_width.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
  DibInfo odd_depth = Describe(4, 4, 7);
  EXPECT_EQ(CreateDIBSection(nullptr, odd_depth.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  DibInfo huge = Describe(100000, 100000, 32);
  EXPECT_EQ(CreateDIBSection(nullptr, huge.get(), DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  DibInfo short_header = Describe(4, 4, 32);
  short_header.header.biSize = 12;
  EXPECT_EQ(CreateDIBSection(nullptr, short_header.get(), DIB_RGB_COLORS, &bits, nullptr, 0),
            nullptr);
  EXPECT_FALSE(BitBlt(reinterpret_cast<HDC>(0x1234), 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
  EXPECT_EQ(SelectObject(nullptr, GetStockObject(WHITE_BRUSH)), nullptr);
  EXPECT_EQ(GetPixel(nullptr, 0, 0), CLR_INVALID);
}

}  // namespace

namespace {

TEST_F(GdiBlitTest, SaveAndRestoreTheDrawingState) {
  Dib d = MakeDib32(1, 1);
  SetTextColor(d.dc, RGB(1, 1, 1));
  EXPECT_EQ(SaveDC(d.dc), 1);
  SetTextColor(d.dc, RGB(2, 2, 2));
  EXPECT_EQ(SaveDC(d.dc), 2);
  SetTextColor(d.dc, RGB(3, 3, 3));
  EXPECT_TRUE(RestoreDC(d.dc, -1));
  EXPECT_EQ(GetTextColor(d.dc), RGB(2, 2, 2));
  EXPECT_TRUE(RestoreDC(d.dc, 1));
  EXPECT_EQ(GetTextColor(d.dc), RGB(1, 1, 1));
  EXPECT_FALSE(RestoreDC(d.dc, 1));  // nothing saved any more
  EXPECT_FALSE(RestoreDC(d.dc, 0));
}

}  // namespace

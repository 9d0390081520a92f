// Colour-to-monochrome copies into one-bit bitmaps on awkward geometry: widths that end
// inside a byte or a word, single rows, clipped targets, source offsets, both row orders,
// sources of several depths. Expectations come from the rule itself, pixel by pixel: a
// target bit is 1 where the source pixel has the source context's background colour.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

struct MonoInfo {
  BITMAPINFOHEADER header{};
  RGBQUAD colors[2]{};
};

// Deterministic noise, so that failures reproduce.
struct Noise {
  uint32_t state;
  uint32_t Next() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  }
};

class MonoCopyTest : public DeviceTest {};

TEST_F(MonoCopyTest, CopiesMatchThePixelRuleOnOddGeometry) {
  enum class Source { kDib32, kDib24, kCompatible };
  struct Case {
    int width, height;           // of the one-bit target
    bool top_down;
    bool inverted_palette;       // white first, black second
    int x, y, cx, cy, sx, sy;    // BitBlt arguments
    RECT clip;                   // empty: no clip region
    Source source;
  };
  const Case cases[] = {
      {100, 64, false, false, 0, 0, 100, 64, 0, 0, {}, Source::kCompatible},
      {1, 1, false, false, 0, 0, 1, 1, 0, 0, {}, Source::kDib32},
      {7, 1, false, false, 0, 0, 7, 1, 3, 2, {}, Source::kDib32},
      {9, 3, true, false, 0, 0, 9, 3, 1, 0, {}, Source::kDib32},
      {31, 2, false, false, 0, 0, 31, 2, 0, 1, {}, Source::kDib24},
      {33, 5, true, false, 0, 0, 33, 5, 2, 2, {}, Source::kDib32},
      {45, 4, false, true, 0, 0, 45, 4, 0, 0, {}, Source::kDib32},
      // Parts of the target: starting and ending inside bytes.
      {40, 6, false, false, 3, 1, 30, 4, 5, 0, {}, Source::kDib32},
      {70, 3, true, false, 13, 0, 50, 3, 0, 0, {}, Source::kCompatible},
      // Off the target's edges: clipped to it.
      {20, 5, false, false, -4, -2, 30, 10, 0, 0, {}, Source::kDib32},
      {20, 5, false, false, 15, 3, 10, 10, 1, 1, {}, Source::kDib24},
      // With a clip region.
      {64, 8, false, false, 0, 0, 64, 8, 0, 0, {5, 2, 41, 7}, Source::kDib32},
      {37, 9, true, true, 2, 1, 33, 7, 4, 3, {0, 0, 11, 9}, Source::kDib32},
  };
  const COLORREF background = RGB(255, 255, 255);
  const COLORREF others[] = {RGB(0, 0, 0), RGB(254, 255, 255), RGB(255, 255, 254), RGB(0, 0, 255)};
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "case " << index++ << ": " << c.width << "x" << c.height);
    Noise noise{static_cast<uint32_t>(index * 7919)};
    // The source: big enough for the copy, every pixel background or a near miss.
    const int sw = c.sx + c.cx + 3, sh = c.sy + c.cy + 2;
    HDC src = CreateCompatibleDC(nullptr);
    HBITMAP src_bitmap = nullptr;
    if (c.source == Source::kCompatible) {
      HDC screen = GetDC(nullptr);
      src_bitmap = CreateCompatibleBitmap(screen, sw, sh);
      ReleaseDC(nullptr, screen);
    } else {
      BITMAPINFO bi{};
      bi.bmiHeader.biSize = 40;
      bi.bmiHeader.biWidth = sw;
      bi.bmiHeader.biHeight = sh;
      bi.bmiHeader.biPlanes = 1;
      bi.bmiHeader.biBitCount = c.source == Source::kDib32 ? 32 : 24;
      void* bits = nullptr;
      src_bitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    }
    ASSERT_NE(src_bitmap, nullptr);
    HGDIOBJ old_src = SelectObject(src, src_bitmap);
    std::vector<COLORREF> source(static_cast<size_t>(sw) * sh);
    for (int y = 0; y < sh; ++y)
      for (int x = 0; x < sw; ++x) {
        const uint32_t r = noise.Next();
        const COLORREF colour = (r & 1) ? background : others[(r >> 1) % 4];
        source[static_cast<size_t>(y) * sw + x] = colour;
        SetPixel(src, x, y, colour);
      }
    SetBkColor(src, background);

    // The target, filled with noise that must survive outside the copy.
    MonoInfo info;
    info.header.biSize = 40;
    info.header.biWidth = c.width;
    info.header.biHeight = c.top_down ? -c.height : c.height;
    info.header.biPlanes = 1;
    info.header.biBitCount = 1;
    info.colors[c.inverted_palette ? 0 : 1] = RGBQUAD{255, 255, 255, 0};
    void* bits = nullptr;
    HBITMAP mono =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_NE(mono, nullptr);
    const int stride = (c.width + 31) / 32 * 4;
    auto* bytes = static_cast<uint8_t*>(bits);
    for (int i = 0; i < stride * c.height; ++i) bytes[i] = static_cast<uint8_t>(noise.Next());
    const std::vector<uint8_t> before(bytes, bytes + stride * c.height);
    HDC dst = CreateCompatibleDC(nullptr);
    HGDIOBJ old_dst = SelectObject(dst, mono);
    const bool clipped = c.clip.right > c.clip.left;
    if (clipped) {
      HRGN rgn = CreateRectRgnIndirect(&c.clip);
      SelectClipRgn(dst, rgn);
      DeleteObject(rgn);
    }
    ASSERT_TRUE(BitBlt(dst, c.x, c.y, c.cx, c.cy, src, c.sx, c.sy, SRCCOPY));

    auto bit = [&](const std::vector<uint8_t>& image, int x, int y) {
      const int row = c.top_down ? y : c.height - 1 - y;
      return (image[static_cast<size_t>(row) * stride + x / 8] >> (7 - x % 8)) & 1;
    };
    const std::vector<uint8_t> after(bytes, bytes + stride * c.height);
    int wrong = 0;
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const bool copied = x >= c.x && x < c.x + c.cx && y >= c.y && y < c.y + c.cy &&
                            (!clipped || (x >= c.clip.left && x < c.clip.right &&
                                          y >= c.clip.top && y < c.clip.bottom));
        int expected = bit(before, x, y);
        if (copied) {
          const int px = x - c.x + c.sx, py = y - c.y + c.sy;
          expected = source[static_cast<size_t>(py) * sw + px] == background ? 1 : 0;
        }
        if (bit(after, x, y) != expected && ++wrong <= 5)
          ADD_FAILURE() << "pixel " << x << "," << y << (copied ? " (copied)" : " (outside)");
      }
    EXPECT_EQ(wrong, 0);
    // The padding after the last column is not the picture's: it stays as it was.
    if (c.width % 8 != 0)
      for (int y = 0; y < c.height; ++y) {
        const int last = (c.width - 1) / 8;
        const uint8_t pad = static_cast<uint8_t>(0xFF >> (c.width % 8));
        const size_t at = static_cast<size_t>(y) * stride + last;
        EXPECT_EQ(after[at] & pad, before[at] & pad) << "row " << y;
      }
    // Later drawing sees the copied bits: reading a pixel gives its palette colour, and
    // setting one leaves every other bit as the copy made it.
    const int gx = c.width - 1, gy = c.height - 1;
    const bool one_is_white = !c.inverted_palette;
    EXPECT_EQ(GetPixel(dst, gx, gy),
              (bit(after, gx, gy) == 1) == one_is_white ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const int px = clipped ? c.clip.left : 0, py = clipped ? c.clip.top : 0;  // drawable
    SetPixel(dst, px, py, RGB(255, 255, 255));
    const std::vector<uint8_t> later(bytes, bytes + stride * c.height);
    EXPECT_EQ(bit(later, px, py), one_is_white ? 1 : 0);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x)
        if (x != px || y != py) {
          ASSERT_EQ(bit(later, x, y), bit(after, x, y)) << x << "," << y;
        }

    SelectObject(dst, old_dst);
    DeleteDC(dst);
    DeleteObject(mono);
    SelectObject(src, old_src);
    DeleteDC(src);
    DeleteObject(src_bitmap);
  }
}

}  // namespace

#include "gdi/surface.h"

#include <gtest/gtest.h>

namespace pellix::device::gdi {
namespace {

TEST(SurfaceTest, ColorRefAndPixelSwapRedAndBlue) {
  EXPECT_EQ(PixelFromColorRef(0x00332211), 0x00112233u);
  EXPECT_EQ(ColorRefFromPixel(0x00112233), 0x00332211u);
}

TEST(SurfaceTest, FillAndCopyStayInsideTheSurface) {
  Surface s(4, 3, 0x111111);
  s.Fill(Rect{-5, -5, 2, 2}, 0xABCDEF);
  EXPECT_EQ(s.At(0, 0), 0xABCDEFu);
  EXPECT_EQ(s.At(1, 1), 0xABCDEFu);
  EXPECT_EQ(s.At(2, 1), 0x111111u);
  EXPECT_EQ(s.At(0, 2), 0x111111u);
  // A source partly outside copies only what exists.
  Surface src(2, 2, 0x00FF00);
  s.Copy(src, 1, 1, Rect{0, 0, 3, 3});
  EXPECT_EQ(s.At(0, 0), 0x00FF00u);
  EXPECT_EQ(s.At(1, 0), 0xABCDEFu);  // its source pixel does not exist: left as it was
  EXPECT_EQ(s.At(0, 1), 0xABCDEFu);
}

TEST(SurfaceTest, OverlappingCopyWithinOneSurface) {
  Surface s(1, 4);
  for (int y = 0; y < 4; ++y) s.Set(0, y, static_cast<Pixel>(y + 1));
  s.Copy(s, 0, 0, Rect{0, 1, 1, 4});  // scroll down by one
  EXPECT_EQ(s.At(0, 0), 1u);
  EXPECT_EQ(s.At(0, 1), 1u);
  EXPECT_EQ(s.At(0, 2), 2u);
  EXPECT_EQ(s.At(0, 3), 3u);
}

TEST(SurfaceTest, BlendRoundsEachChannelToNearest) {
  struct Case {
    Pixel src, dst;
    uint8_t alpha;
    Pixel expected;
  };
  // expected = round((src * a + dst * (255 - a)) / 255) per channel, worked out by hand.
  const Case cases[] = {
      {0xFF0000, 0x0000FF, 0, 0x0000FF},
      {0xFF0000, 0x0000FF, 255, 0xFF0000},
      {0xFF0000, 0x0000FF, 128, 0x80007F},  // 128, 0, 127
      {0xFF0000, 0x0000FF, 64, 0x4000BF},   // 64, 0, 191
      {0x808080, 0x404040, 100, 0x595959},  // (12800 + 9920) / 255 = 89.1
      {0xFFFFFF, 0x000000, 1, 0x010101},
      // red 16*200 + 240*55 = 16400 -> 64.3; green 18720 -> 73.4; blue 21040 -> 82.5
      {0x102030, 0xF0E0D0, 200, 0x404953},
  };
  for (const Case& c : cases) {
    Surface src(1, 1, c.src), dst(1, 1, c.dst);
    dst.Blend(src, 0, 0, Rect{0, 0, 1, 1}, c.alpha);
    EXPECT_EQ(dst.At(0, 0), c.expected)
        << std::hex << c.src << " over " << c.dst << std::dec << " alpha " << int(c.alpha);
  }
}

TEST(SurfaceTest, StretchDoublesAndHalvesByNearestPixel) {
  Surface src(2, 2);
  src.Set(0, 0, 1);
  src.Set(1, 0, 2);
  src.Set(0, 1, 3);
  src.Set(1, 1, 4);
  Surface big(4, 4);
  big.Stretch(src, Rect{0, 0, 2, 2}, Rect{0, 0, 4, 4}, big.bounds());
  const Pixel expected[4][4] = {{1, 1, 2, 2}, {1, 1, 2, 2}, {3, 3, 4, 4}, {3, 3, 4, 4}};
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(big.At(x, y), expected[y][x]) << x << "," << y;
  // Halving samples the centre of each 2x2 block: columns and rows 1 and 3.
  Surface wide(4, 1);
  for (int x = 0; x < 4; ++x) wide.Set(x, 0, static_cast<Pixel>(10 + x));
  Surface half(2, 1);
  half.Stretch(wide, Rect{0, 0, 4, 1}, Rect{0, 0, 2, 1}, half.bounds());
  EXPECT_EQ(half.At(0, 0), 11u);
  EXPECT_EQ(half.At(1, 0), 13u);
  // A negative destination width mirrors.
  Surface mirrored(4, 1);
  mirrored.Stretch(wide, Rect{0, 0, 4, 1}, Rect{4, 0, 0, 1}, mirrored.bounds());
  EXPECT_EQ(mirrored.At(0, 0), 13u);
  EXPECT_EQ(mirrored.At(3, 0), 10u);
}

TEST(SurfaceTest, StretchHonoursTheClip) {
  Surface src(1, 1, 7);
  Surface dst(4, 4, 0);
  dst.Stretch(src, Rect{0, 0, 1, 1}, Rect{0, 0, 4, 4}, Rect{1, 1, 3, 3});
  EXPECT_EQ(dst.At(0, 0), 0u);
  EXPECT_EQ(dst.At(1, 1), 7u);
  EXPECT_EQ(dst.At(2, 2), 7u);
  EXPECT_EQ(dst.At(3, 3), 0u);
}

TEST(SurfaceTest, WrappedBottomUpRowsRunBackwards) {
  Pixel memory[6] = {0, 0, 0, 0, 0, 0};
  // Two rows of three, the first row last in memory.
  Surface s = Surface::Wrap(memory + 3, 3, 2, -3);
  s.Set(0, 0, 5);
  s.Set(2, 1, 9);
  EXPECT_EQ(memory[3], 5u);
  EXPECT_EQ(memory[2], 9u);
}

}  // namespace
}  // namespace pellix::device::gdi

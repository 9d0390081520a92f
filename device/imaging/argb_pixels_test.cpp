#include "imaging/argb_pixels.h"

#include <imaging.h>

#include <gtest/gtest.h>

namespace pellix::device::imaging {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(PixelConversion, ToAndFromEachFormat) {
  struct Case {
    const char* name;
    int format;
    uint32_t argb;
    Bytes bytes;        // what the format stores
    uint32_t back;      // what reading those bytes gives
  };
  const std::vector<Case> cases = {
      {"ARGB", PixelFormat32bppARGB, 0x80123456, {0x56, 0x34, 0x12, 0x80}, 0x80123456},
      {"PARGB", PixelFormat32bppPARGB, 0x80FF0000, {0x00, 0x00, 0x80, 0x80}, 0x80FF0000},
      {"PARGB transparent", PixelFormat32bppPARGB, 0x00123456, {0, 0, 0, 0}, 0x00000000},
      {"RGB drops alpha", PixelFormat32bppRGB, 0x00123456, {0x56, 0x34, 0x12, 0xFF}, 0xFF123456},
      {"24 bits", PixelFormat24bppRGB, 0xFF102030, {0x30, 0x20, 0x10}, 0xFF102030},
      // r 31, g 32, b 8; widened back by repeating the top bits.
      {"5-6-5", PixelFormat16bppRGB565, 0xFFFF8040, {0x08, 0xFC}, 0xFFFF8242},
      {"5-5-5", PixelFormat16bppRGB555, 0xFFFF8040, {0x08, 0x7E}, 0xFFFF8442},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(CanConvert(c.format));
    Bytes out(c.bytes.size() + 1, 0xEE);  // one guard byte
    ConvertFromArgb(c.format, &c.argb, out.data(), 1);
    EXPECT_EQ(Bytes(out.begin(), out.end() - 1), c.bytes);
    EXPECT_EQ(out.back(), 0xEE);
    uint32_t back = 0;
    ConvertToArgb(c.format, c.bytes.data(), &back, 1);
    EXPECT_EQ(back, c.back);
  }
  EXPECT_FALSE(CanConvert(PixelFormat8bppIndexed));
  EXPECT_FALSE(CanConvert(PixelFormat64bppARGB));
}

TEST(Resize, AveragesByAlphaAndRepeatsWhenEnlarging) {
  // One opaque red pixel among three transparent ones: a quarter of the cover, all of it red.
  std::vector<uint32_t> square = {0xFFFF0000, 0, 0, 0};
  EXPECT_EQ(Resize(ArgbView{square.data(), 2, 2}, 1, 1), (std::vector<uint32_t>{0x40FF0000}));
  std::vector<uint32_t> two = {0xFF000000, 0xFFFFFFFF};
  EXPECT_EQ(Resize(ArgbView{two.data(), 2, 1}, 1, 1), (std::vector<uint32_t>{0xFF808080}));
  EXPECT_EQ(Resize(ArgbView{two.data(), 2, 1}, 4, 1),
            (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0xFFFFFFFF, 0xFFFFFFFF}));
  EXPECT_TRUE(Resize(ArgbView{two.data(), 2, 1}, 0, 5).empty());
  EXPECT_EQ(Resize(ArgbView{nullptr, 0, 0}, 2, 1), (std::vector<uint32_t>{0, 0}));
}

TEST(BlendInto, BottomUpTwentyFourBitSurfaceWithOriginAndClip) {
  // 3 x 2 pixels, rows of 9 bytes padded to 12, the top row last in memory.
  Bytes memory(24, 0xFF);
  PixelSurface surface;
  surface.bits = memory.data() + 12;
  surface.stride = -12;
  surface.width = 3, surface.height = 2, surface.bits_per_pixel = 24;
  surface.clip = PixelRect{0, 0, 2, 2};
  surface.origin_x = 1;
  const uint32_t red = 0xFFFF0000;
  BlendInto(surface, PixelRect{0, 0, 2, 2}, ArgbView{&red, 1, 1}, PixelRect{0, 0, 1, 1});
  // The 2 x 2 red lands at x 1..2; the clip keeps only x 1, on both rows.
  Bytes top(memory.begin() + 12, memory.begin() + 21), bottom(memory.begin(), memory.begin() + 9);
  const Bytes expected = {0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(top, expected);
  EXPECT_EQ(bottom, expected);
  EXPECT_EQ(Bytes(memory.begin() + 9, memory.begin() + 12), Bytes(3, 0xFF));  // padding untouched
}

TEST(BlendInto, SixteenBitSurfaceAndDegenerateRectangles) {
  uint16_t pixels[2] = {0xFFFF, 0xFFFF};
  PixelSurface surface;
  surface.bits = reinterpret_cast<uint8_t*>(pixels);
  surface.stride = 4, surface.width = 2, surface.height = 1, surface.bits_per_pixel = 16;
  surface.clip = PixelRect{0, 0, 2, 1};
  const uint32_t source[2] = {0xFF00FF00, 0x00FF0000};
  // Empty, inverted and off-surface targets change nothing.
  for (PixelRect target : {PixelRect{0, 0, 0, 1}, PixelRect{2, 0, 0, 1}, PixelRect{5, 0, 7, 1}, PixelRect{0, -3, 2, -1}})
    BlendInto(surface, target, ArgbView{source, 2, 1}, PixelRect{0, 0, 2, 1});
  EXPECT_EQ(pixels[0], 0xFFFF);
  // The part of a source rectangle beyond the source draws nothing; the rest keeps its scale
  // (one source pixel to one target pixel here) and the surface cuts the target.
  BlendInto(surface, PixelRect{0, 0, 4, 1}, ArgbView{source, 2, 1}, PixelRect{0, 0, 4, 1});
  EXPECT_EQ(pixels[0], 0x07E0);  // green; the transparent pixel leaves the white
  EXPECT_EQ(pixels[1], 0xFFFF);
}

TEST(PixelRectTest, IntersectIsEmptyOrInsideBoth) {
  const PixelRect a{0, 0, 10, 10};
  for (PixelRect b : {PixelRect{5, 5, 15, 15}, PixelRect{10, 0, 20, 10}, PixelRect{-5, 2, 3, 4}, PixelRect{3, 3, 3, 9}}) {
    PixelRect r = Intersect(a, b);
    if (r.empty()) continue;
    EXPECT_GE(r.left, std::max(a.left, b.left));
    EXPECT_LE(r.right, std::min(a.right, b.right));
    EXPECT_GE(r.top, std::max(a.top, b.top));
    EXPECT_LE(r.bottom, std::min(a.bottom, b.bottom));
  }
  EXPECT_TRUE(Intersect(a, PixelRect{10, 0, 20, 10}).empty());
  EXPECT_EQ(Intersect(a, PixelRect{5, 5, 15, 15}).width(), 5);
}

}  // namespace
}  // namespace pellix::device::imaging

// Regions through the SDK, including a window shape cut from a picture the way skins do it.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

class GdiRegionTest : public DeviceTest {};

// Region data: a header and rectangles, as a program builds it.
std::vector<uint8_t> RegionData(const std::vector<RECT>& rects, DWORD header_size = 32) {
  std::vector<uint8_t> data(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  RGNDATAHEADER h{header_size, RDH_RECTANGLES, static_cast<DWORD>(rects.size()),
                  static_cast<DWORD>(rects.size() * sizeof(RECT)), RECT{0, 0, 0, 0}};
  std::memcpy(data.data(), &h, sizeof(h));
  if (!rects.empty()) std::memcpy(data.data() + sizeof(h), rects.data(), rects.size() * sizeof(RECT));
  return data;
}

TEST_F(GdiRegionTest, ExtCreateRegionReadsRectangles) {
  auto data = RegionData({{0, 0, 4, 1}, {1, 1, 3, 2}, {10, 10, 12, 12}});
  HRGN rgn = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                             reinterpret_cast<const RGNDATA*>(data.data()));
  ASSERT_NE(rgn, nullptr);
  EXPECT_TRUE(PtInRegion(rgn, 0, 0));
  EXPECT_TRUE(PtInRegion(rgn, 3, 0));
  EXPECT_FALSE(PtInRegion(rgn, 4, 0));
  EXPECT_FALSE(PtInRegion(rgn, 0, 1));
  EXPECT_TRUE(PtInRegion(rgn, 11, 11));
  RECT box{};
  EXPECT_EQ(GetRgnBox(rgn, &box), COMPLEXREGION);
  EXPECT_EQ(box.left, 0);
  EXPECT_EQ(box.top, 0);
  EXPECT_EQ(box.right, 12);
  EXPECT_EQ(box.bottom, 12);
  DeleteObject(rgn);
}

TEST_F(GdiRegionTest, ExtCreateRegionRefusesInconsistentData) {
  auto good = RegionData({{0, 0, 4, 4}});
  auto* rgn_data = reinterpret_cast<const RGNDATA*>(good.data());
  EXPECT_EQ(ExtCreateRegion(nullptr, 0, rgn_data), nullptr);
  EXPECT_EQ(ExtCreateRegion(nullptr, 40, rgn_data), nullptr);  // count says more than given
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(good.size()), nullptr), nullptr);
  auto bad_size = RegionData({{0, 0, 4, 4}}, 20);
  EXPECT_EQ(ExtCreateRegion(nullptr, static_cast<DWORD>(bad_size.size()),
                            reinterpret_cast<const RGNDATA*>(bad_size.data())),
            nullptr);
  // No rectangles at all is a valid, empty region.
  auto none = RegionData({});
  HRGN empty = ExtCreateRegion(nullptr, static_cast<DWORD>(none.size()),
                               reinterpret_cast<const RGNDATA*>(none.data()));
  ASSERT_NE(empty, nullptr);
  RECT box{};
  EXPECT_EQ(GetRgnBox(empty, &box), NULLREGION);
}

TEST_F(GdiRegionTest, CombineRgnModesAndResultTypes) {
  struct Case {
    int mode;
    int type;
    POINT inside, outside;
  };
  // a = (0,0)-(10,10), b = (5,0)-(15,10)
  const Case cases[] = {
      {RGN_AND, SIMPLEREGION, {7, 5}, {2, 5}},
      {RGN_OR, SIMPLEREGION, {12, 5}, {16, 5}},
      {RGN_DIFF, SIMPLEREGION, {2, 5}, {7, 5}},
      {RGN_XOR, COMPLEXREGION, {12, 5}, {7, 5}},
      {RGN_COPY, SIMPLEREGION, {7, 5}, {12, 5}},
  };
  for (const Case& c : cases) {
    HRGN a = CreateRectRgn(0, 0, 10, 10), b = CreateRectRgn(5, 0, 15, 10);
    HRGN out = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(out, a, b, c.mode), c.type) << c.mode;
    EXPECT_TRUE(PtInRegion(out, c.inside.x, c.inside.y)) << c.mode;
    EXPECT_FALSE(PtInRegion(out, c.outside.x, c.outside.y)) << c.mode;
    DeleteObject(a);
    DeleteObject(b);
    DeleteObject(out);
  }
  HRGN a = CreateRectRgn(0, 0, 10, 10), out = CreateRectRgn(0, 0, 0, 0);
  EXPECT_EQ(CombineRgn(out, a, a, RGN_DIFF), NULLREGION);
  EXPECT_EQ(CombineRgn(out, a, nullptr, RGN_AND), ERROR);
  EXPECT_EQ(CombineRgn(out, a, a, 99), ERROR);
  // Reversed corners describe the same rectangle.
  HRGN reversed = CreateRectRgn(10, 10, 0, 0);
  EXPECT_TRUE(EqualRgn(a, reversed));
}

// The shape rule of a skin: white pixels of a picture belong to the window, black ones are cut
// away. Copy the picture into a two-colour DIB, scan runs of 1 bits per row, make a region.
HRGN ShapeFromPicture(HBITMAP picture, int w, int h) {
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } info{};
  info.header = BITMAPINFOHEADER{40, w, h, 1, 1, BI_RGB, static_cast<DWORD>((w + 7) / 8 * 8 * h / 8),
                                 1000000, 1000000, 2, 2};
  info.colors[0] = RGBQUAD{0, 0, 0, 0};
  info.colors[1] = RGBQUAD{255, 255, 255, 255};
  void* bits = nullptr;
  HBITMAP mono = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                  &bits, nullptr, 0);
  HDC src = CreateCompatibleDC(nullptr), dst = CreateCompatibleDC(nullptr);
  HGDIOBJ old_src = SelectObject(src, picture), old_dst = SelectObject(dst, mono);
  BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
  SelectObject(src, old_src);
  SelectObject(dst, old_dst);
  const int stride = (w + 31) / 32 * 4;
  std::vector<RECT> rects;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = static_cast<uint8_t*>(bits) + (h - 1 - y) * stride;
    int x = 0;
    while (x < w) {
      while (x < w && !(row[x / 8] & (0x80 >> (x % 8)))) ++x;
      const int x0 = x;
      while (x < w && (row[x / 8] & (0x80 >> (x % 8)))) ++x;
      if (x > x0) rects.push_back(RECT{x0, y, x, y + 1});
    }
  }
  auto data = RegionData(rects);
  HRGN rgn = ExtCreateRegion(nullptr, static_cast<DWORD>(data.size()),
                             reinterpret_cast<const RGNDATA*>(data.data()));
  DeleteDC(src);
  DeleteDC(dst);
  DeleteObject(mono);
  return rgn;
}

TEST_F(GdiRegionTest, RegionFromAPicture) {
  // A 6x4 picture: a white diamond-ish shape on black, with a run reaching the right edge.
  const char* rows[4] = {
      "..##..",
      ".####.",
      "######",
      "...###",
  };
  struct {
    BITMAPINFOHEADER header;
  } info{};
  info.header = BITMAPINFOHEADER{40, 6, -4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP picture = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info),
                                     DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(picture, nullptr);
  auto* px = static_cast<uint32_t*>(bits);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) px[y * 6 + x] = rows[y][x] == '#' ? 0xFFFFFF : 0x000000;
  HRGN shape = ShapeFromPicture(picture, 6, 4);
  ASSERT_NE(shape, nullptr);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x)
      EXPECT_EQ(PtInRegion(shape, x, y) != 0, rows[y][x] == '#') << x << "," << y;
  RECT box{};
  GetRgnBox(shape, &box);
  EXPECT_EQ(box.right, 6);  // the rightmost column is inside
  EXPECT_EQ(box.bottom, 4);
  // An all-black picture gives an empty region.
  std::memset(bits, 0, 6 * 4 * 4);
  HRGN none = ShapeFromPicture(picture, 6, 4);
  ASSERT_NE(none, nullptr);
  EXPECT_EQ(GetRgnBox(none, &box), NULLREGION);
}

TEST_F(GdiRegionTest, GetRegionDataRoundTrips) {
  HRGN a = CreateRectRgn(0, 0, 4, 4), b = CreateRectRgn(2, 2, 8, 8);
  CombineRgn(a, a, b, RGN_OR);
  const DWORD size = GetRegionData(a, 0, nullptr);
  ASSERT_GT(size, sizeof(RGNDATAHEADER));
  std::vector<uint8_t> data(size);
  EXPECT_EQ(GetRegionData(a, size - 1, reinterpret_cast<RGNDATA*>(data.data())), 0u);
  EXPECT_EQ(GetRegionData(a, size, reinterpret_cast<RGNDATA*>(data.data())), size);
  HRGN copy = ExtCreateRegion(nullptr, size, reinterpret_cast<RGNDATA*>(data.data()));
  EXPECT_TRUE(EqualRgn(a, copy));
}

TEST_F(GdiRegionTest, ClipRegionLimitsDrawing) {
  struct {
    BITMAPINFOHEADER header;
  } info{};
  info.header = BITMAPINFOHEADER{40, 4, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                 &bits, nullptr, 0);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bmp);
  HRGN clip = CreateRectRgn(1, 0, 3, 1);
  EXPECT_EQ(SelectClipRgn(dc, clip), SIMPLEREGION);
  RECT all{0, 0, 4, 1};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  auto* px = static_cast<uint32_t*>(bits);
  EXPECT_EQ(px[0], 0u);
  EXPECT_EQ(px[1], 0xFFFFFFu);
  EXPECT_EQ(px[2], 0xFFFFFFu);
  EXPECT_EQ(px[3], 0u);
  RECT box{};
  EXPECT_EQ(GetClipBox(dc, &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 1);
  EXPECT_EQ(box.right, 3);
}

}  // namespace

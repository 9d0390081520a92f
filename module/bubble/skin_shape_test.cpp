#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bubble/skin_shape.h"
#include "testing/temp_image.h"

namespace {

// A one-bit bottom-up DIB drawn from rows of '#' (white, kept) and '.' (black, cut), top row
// first, with its padding bits set to garbage that must never count.
std::vector<BYTE> Picture(const std::vector<std::string>& rows) {
  const int h = static_cast<int>(rows.size());
  const int w = static_cast<int>(rows[0].size());
  const size_t stride = ((w + 31) / 32) * 4;
  std::vector<BYTE> bits(stride * h, 0xFF);  // padding starts white
  for (int y = 0; y < h; ++y) {
    BYTE* row = bits.data() + (h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      BYTE mask = static_cast<BYTE>(0x80 >> (x % 8));
      if (rows[y][x] == '#')
        row[x / 8] |= mask;
      else
        row[x / 8] &= static_cast<BYTE>(~mask);
    }
  }
  return bits;
}

std::vector<RECT> Runs(const std::vector<BYTE>& bits, int w, int h) {
  DWORD n = ScanSkinRuns(bits.data(), w, h, nullptr, 0);
  std::vector<RECT> rects(n);
  EXPECT_EQ(ScanSkinRuns(bits.data(), w, h, rects.data(), n), n);
  return rects;
}

std::string Describe(const std::vector<RECT>& rects) {
  std::string s;
  for (const RECT& r : rects)
    s += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom) + ")";
  return s;
}

struct ShapeCase {
  const char* name;
  std::vector<std::string> rows;
  const char* runs;
};

TEST(SkinShapeTest, RunsOfWhitePixels) {
  const ShapeCase cases[] = {
      {"all black", {"........", "........"}, ""},
      {"all white", {"########", "########"}, "(0,0,8,1)(0,1,8,2)"},
      {"run reaches the right edge", {"....####"}, "(4,0,8,1)"},
      {"single pixels", {"#.#.#"}, "(0,0,1,1)(2,0,3,1)(4,0,5,1)"},
      {"top row comes first", {"#....", "....#"}, "(0,0,1,1)(4,1,5,2)"},
      {"run across a word boundary",
       {std::string(30, '.') + "####" + std::string(30, '.')}, "(30,0,34,1)"},
      {"run ends on a word boundary", {std::string(32, '#') + std::string(8, '.')}, "(0,0,32,1)"},
      {"full words, right edge", {std::string(64, '#')}, "(0,0,64,1)"},
      {"width 33", {std::string(32, '.') + "#"}, "(32,0,33,1)"},
      {"width 1", {"#", ".", "#"}, "(0,0,1,1)(0,2,1,3)"},
  };
  for (const ShapeCase& c : cases) {
    SCOPED_TRACE(c.name);
    int w = static_cast<int>(c.rows[0].size());
    int h = static_cast<int>(c.rows.size());
    EXPECT_EQ(Describe(Runs(Picture(c.rows), w, h)), c.runs);
  }
}

// Property check against a pixel-by-pixel reading: every rectangle is one row high, inside
// the picture, all white, maximal, none overlapping, and together they cover every white
// pixel.
TEST(SkinShapeTest, RunsCoverExactlyTheWhitePixels) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 200; ++trial) {
    int w = 1 + static_cast<int>(random() % 100);
    int h = 1 + static_cast<int>(random() % 6);
    int density = static_cast<int>(random() % 5);  // long runs and speckle alike
    std::vector<std::string> rows(h, std::string(w, '.'));
    for (auto& row : rows) {
      bool white = random() % 2;
      for (char& c : row) {
        if (static_cast<int>(random() % 8) <= density) white = !white;
        c = white ? '#' : '.';
      }
    }
    std::vector<RECT> rects = Runs(Picture(rows), w, h);
    std::vector<std::string> covered(h, std::string(w, '.'));
    for (const RECT& r : rects) {
      ASSERT_EQ(r.bottom, r.top + 1);
      ASSERT_TRUE(r.top >= 0 && r.top < h && r.left >= 0 && r.left < r.right && r.right <= w);
      ASSERT_TRUE(r.left == 0 || rows[r.top][r.left - 1] == '.') << "not maximal on the left";
      ASSERT_TRUE(r.right == w || rows[r.top][r.right] == '.') << "not maximal on the right";
      for (int x = r.left; x < r.right; ++x) {
        ASSERT_EQ(rows[r.top][x], '#');
        ASSERT_EQ(covered[r.top][x], '.') << "overlap";
        covered[r.top][x] = '#';
      }
    }
    ASSERT_EQ(covered, rows);
  }
}

TEST(SkinShapeTest, FillStopsAtCapacity) {
  std::vector<BYTE> bits = Picture({"#.#.#.#"});
  RECT rects[2] = {};
  EXPECT_EQ(ScanSkinRuns(bits.data(), 7, 1, rects, 2), 4u);
  EXPECT_EQ(rects[1].left, 2);
  EXPECT_EQ(ScanSkinRuns(nullptr, 7, 1, nullptr, 0), 0u);
  EXPECT_EQ(ScanSkinRuns(bits.data(), 0, 1, nullptr, 0), 0u);
}

// A 32-bit top-down DIB section drawn from rows of characters: '#' white, '.' black,
// '~' almost white (254, 255, 255), 'r' red.
HBITMAP ColourPicture(const std::vector<std::string>& rows) {
  const int h = static_cast<int>(rows.size());
  const int w = static_cast<int>(rows[0].size());
  BITMAPINFO bmi = {};
  bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bmi.bmiHeader.biWidth = w;
  bmi.bmiHeader.biHeight = -h;
  bmi.bmiHeader.biPlanes = 1;
  bmi.bmiHeader.biBitCount = 32;
  bmi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  DWORD* pixels = static_cast<DWORD*>(bits);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      DWORD& p = pixels[y * w + x];  // 0x00RRGGBB
      switch (rows[y][x]) {
        case '#': p = 0xFFFFFF; break;
        case '~': p = 0xFEFFFF; break;
        case 'r': p = 0xFF0000; break;
        default: p = 0; break;
      }
    }
  return bitmap;
}

// The region as rows of '#' (inside) and '.' (outside), read point by point.
std::vector<std::string> RegionRows(HRGN region, int w, int h) {
  std::vector<std::string> rows(h, std::string(w, '.'));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      if (PtInRegion(region, x, y)) rows[y][x] = '#';
  return rows;
}

class SkinShapeGdiTest : public pellix::testing::DeviceTest {};

TEST_F(SkinShapeGdiTest, RegionKeepsExactlyTheWhitePixels) {
  struct Case {
    const char* name;
    std::vector<std::string> picture;
    std::vector<std::string> shape;
  };
  const Case cases[] = {
      {"rounded corners",
       {".######.", "########", "########", ".######."},
       {".######.", "########", "########", ".######."}},
      {"right edge kept", {"....####", "#......#"}, {"....####", "#......#"}},
      {"only pure white counts", {"#~r#", "~~##"}, {"#..#", "..##"}},
      {"wider than a word", {std::string(40, '#') + "...." + std::string(26, '#')},
       {std::string(40, '#') + "...." + std::string(26, '#')}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const int w = static_cast<int>(c.picture[0].size());
    const int h = static_cast<int>(c.picture.size());
    HBITMAP picture = ColourPicture(c.picture);
    ASSERT_NE(picture, nullptr);
    HRGN region = reinterpret_cast<HRGN>(1);
    ASSERT_EQ(BuildSkinRegion(picture, &region), 0);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(RegionRows(region, w, h), c.shape);
    RECT box;
    GetRgnBox(region, &box);
    EXPECT_TRUE(box.left >= 0 && box.top >= 0 && box.right <= w && box.bottom <= h);
    DeleteObject(region);
    DeleteObject(picture);
  }
}

TEST_F(SkinShapeGdiTest, AllBlackPictureGivesAnEmptyRegion) {
  HBITMAP picture = ColourPicture({"....", "...."});
  HRGN region = nullptr;
  ASSERT_EQ(BuildSkinRegion(picture, &region), 0);
  ASSERT_NE(region, nullptr);
  RECT box;
  EXPECT_EQ(GetRgnBox(region, &box), NULLREGION);
  EXPECT_EQ(GetRegionData(region, 0, nullptr), sizeof(RGNDATAHEADER));
  DeleteObject(region);
  DeleteObject(picture);
}

TEST_F(SkinShapeGdiTest, FailuresLeaveNoRegion) {
  HRGN region = reinterpret_cast<HRGN>(1);
  EXPECT_EQ(BuildSkinRegion(nullptr, &region), 2);
  EXPECT_EQ(region, nullptr);
  HBRUSH notABitmap = CreateSolidBrush(RGB(1, 2, 3));
  region = reinterpret_cast<HRGN>(1);
  EXPECT_EQ(BuildSkinRegion(reinterpret_cast<HBITMAP>(notABitmap), &region), 2);
  EXPECT_EQ(region, nullptr);
  DeleteObject(notABitmap);
}

TEST_F(SkinShapeGdiTest, StretchBitmapScalesTheWholePicture) {
  HBITMAP picture = ColourPicture({"#.", ".#"});
  EXPECT_EQ(StretchBitmap(nullptr, 4, 4), nullptr);
  EXPECT_EQ(StretchBitmap(picture, 0, 4), nullptr);
  EXPECT_EQ(StretchBitmap(picture, 4, -1), nullptr);
  HBITMAP stretched = StretchBitmap(picture, 6, 4);
  ASSERT_NE(stretched, nullptr);
  BITMAP info;
  ASSERT_NE(GetObjectW(stretched, sizeof(info), &info), 0);
  EXPECT_EQ(info.bmWidth, 6);
  EXPECT_EQ(info.bmHeight, 4);
  // Each source pixel becomes a 3 x 2 block, so the shape is the same checkerboard, larger.
  HRGN region = nullptr;
  ASSERT_EQ(BuildSkinRegion(stretched, &region), 0);
  EXPECT_EQ(RegionRows(region, 6, 4),
            (std::vector<std::string>{"###...", "###...", "...###", "...###"}));
  DeleteObject(region);
  DeleteObject(stretched);
  DeleteObject(picture);
}

TEST_F(SkinShapeGdiTest, CaptureBackgroundFadesTheScreenOverTheWindowColour) {
  // What the screen shows (the desktop), read through the screen's own context.
  HDC screen = CreateDCW(TEXT("DISPLAY"), nullptr, nullptr, nullptr);
  ASSERT_NE(screen, nullptr);
  const POINT probes[] = {{10, 10}, {120, 160}, {239, 319}};
  COLORREF shown[3];
  for (int i = 0; i < 3; ++i) shown[i] = GetPixel(screen, probes[i].x, probes[i].y);
  DeleteDC(screen);
  const COLORREF window = GetSysColor(COLOR_WINDOW);

  // Full strength copies the screen, zero strength leaves the window colour.
  for (BYTE alpha : {BYTE{255}, BYTE{0}}) {
    SCOPED_TRACE(static_cast<int>(alpha));
    HBITMAP picture = CaptureBackground(0, 0, 0, 0, nullptr, alpha);  // the whole screen
    ASSERT_NE(picture, nullptr);
    BITMAP info;
    ASSERT_NE(GetObjectW(picture, sizeof(info), &info), 0);
    EXPECT_EQ(info.bmWidth, 240);
    EXPECT_EQ(info.bmHeight, 320);
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, picture);
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(GetPixel(dc, probes[i].x, probes[i].y), alpha == 255 ? shown[i] : window);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(picture);
  }

  // A given bitmap is reused, and the rectangle at (x, y) lands at its origin, each channel
  // between the screen's and the window colour's.
  HDC dc = CreateDCW(TEXT("DISPLAY"), nullptr, nullptr, nullptr);
  HBITMAP mine = CreateCompatibleBitmap(dc, 20, 10);
  DeleteDC(dc);
  EXPECT_EQ(CaptureBackground(110, 150, 20, 10, mine, 128), mine);
  dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, mine);
  COLORREF half = GetPixel(dc, 10, 9);  // screen point (120, 159)
  auto between = [](int v, int a, int b) { return v >= std::min(a, b) && v <= std::max(a, b); };
  HDC check = CreateDCW(TEXT("DISPLAY"), nullptr, nullptr, nullptr);
  COLORREF under = GetPixel(check, 120, 159);
  DeleteDC(check);
  EXPECT_TRUE(between(GetRValue(half), GetRValue(under), GetRValue(window)));
  EXPECT_TRUE(between(GetGValue(half), GetGValue(under), GetGValue(window)));
  EXPECT_TRUE(between(GetBValue(half), GetBValue(under), GetBValue(window)));
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(mine);
}

}  // namespace

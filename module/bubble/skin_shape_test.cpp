#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bubble/skin_shape.h"

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

}  // namespace

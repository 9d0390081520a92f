#include "gdi/region.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace pellix::device::gdi {
namespace {

// A reference pixel set: a small grid of booleans, filled straight from rectangles.
constexpr int kGrid = 40;
using Grid = std::vector<bool>;

Grid Paint(const std::vector<Rect>& rects) {
  Grid g(kGrid * kGrid, false);
  for (const Rect& r : rects)
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, kGrid); ++y)
      for (int x = std::max(r.left, 0); x < std::min(r.right, kGrid); ++x) g[y * kGrid + x] = true;
  return g;
}

// Every rectangle inside the bounds, none empty, none overlapping another, and the areas add
// up to the number of pixels the region contains.
void ExpectWellFormed(const Region& region) {
  const auto& rects = region.Rects();
  const Rect b = region.Bounds();
  long long area = 0;
  for (size_t i = 0; i < rects.size(); ++i) {
    EXPECT_FALSE(rects[i].IsEmpty());
    EXPECT_EQ(rects[i].Intersect(b), rects[i]) << "rect " << i << " outside the bounds";
    for (size_t j = i + 1; j < rects.size(); ++j)
      EXPECT_TRUE(rects[i].Intersect(rects[j]).IsEmpty()) << "rects " << i << " and " << j;
    area += rects[i].Area();
  }
  EXPECT_EQ(region.Area(), area);
  long long pixels = 0;
  for (int y = b.top; y < b.bottom; ++y)
    for (int x = b.left; x < b.right; ++x) pixels += region.Contains(x, y);
  EXPECT_EQ(pixels, area);
}

void ExpectMatches(const Region& region, const Grid& expected) {
  for (int y = 0; y < kGrid; ++y)
    for (int x = 0; x < kGrid; ++x)
      ASSERT_EQ(region.Contains(x, y), expected[y * kGrid + x]) << "at " << x << "," << y;
}

TEST(RegionTest, EmptyRegionHasNothing) {
  Region empty;
  EXPECT_TRUE(empty.IsEmpty());
  EXPECT_EQ(empty.Bounds(), Rect{});
  EXPECT_FALSE(empty.Contains(0, 0));
  EXPECT_TRUE(Region(Rect{5, 5, 5, 10}).IsEmpty());
  EXPECT_TRUE(Region(Rect{5, 5, 2, 10}).IsEmpty());
}

TEST(RegionTest, RectangleEdgesAreHalfOpen) {
  Region r(Rect{2, 3, 6, 8});
  EXPECT_TRUE(r.Contains(2, 3));
  EXPECT_TRUE(r.Contains(5, 7));
  EXPECT_FALSE(r.Contains(6, 7));
  EXPECT_FALSE(r.Contains(5, 8));
  EXPECT_FALSE(r.Contains(1, 3));
  EXPECT_EQ(r.Area(), 20);
}

TEST(RegionTest, OverlappingRectanglesMergeIntoCanonicalBands) {
  // An L shape given as two overlapping rectangles and as two disjoint ones.
  const Region a = Region::FromRects(std::vector<Rect>{{0, 0, 10, 10}, {0, 5, 20, 10}});
  const Region b = Region::FromRects(std::vector<Rect>{{0, 0, 10, 5}, {0, 5, 20, 10}});
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.Rects().size(), 2u);
  EXPECT_EQ(a.Area(), 150);
  EXPECT_EQ(a.Bounds(), (Rect{0, 0, 20, 10}));
  // Touching rectangles in one row join into one.
  const Region row = Region::FromRects(std::vector<Rect>{{0, 0, 5, 1}, {5, 0, 9, 1}});
  ASSERT_EQ(row.Rects().size(), 1u);
  EXPECT_EQ(row.Rects()[0], (Rect{0, 0, 9, 1}));
  // Rows with the same runs stack into one rectangle.
  const Region column = Region::FromRects(std::vector<Rect>{{2, 0, 4, 1}, {2, 1, 4, 2}, {2, 2, 4, 3}});
  ASSERT_EQ(column.Rects().size(), 1u);
  EXPECT_EQ(column.Rects()[0], (Rect{2, 0, 4, 3}));
}

TEST(RegionTest, OffsetMovesEveryPixel) {
  Region r = Region::FromRects(std::vector<Rect>{{0, 0, 2, 2}, {4, 4, 6, 6}});
  r.Offset(10, -3);
  EXPECT_TRUE(r.Contains(10, -3));
  EXPECT_TRUE(r.Contains(15, 2));
  EXPECT_FALSE(r.Contains(0, 0));
  EXPECT_EQ(r.Bounds(), (Rect{10, -3, 16, 3}));
}

enum class Op { kUnion, kIntersect, kSubtract, kXor };

bool Reference(Op op, bool a, bool b) {
  switch (op) {
    case Op::kUnion: return a || b;
    case Op::kIntersect: return a && b;
    case Op::kSubtract: return a && !b;
    case Op::kXor: return a != b;
  }
  return false;
}

Region Apply(Op op, const Region& a, const Region& b) {
  switch (op) {
    case Op::kUnion: return a.Union(b);
    case Op::kIntersect: return a.Intersect(b);
    case Op::kSubtract: return a.Subtract(b);
    case Op::kXor: return a.Xor(b);
  }
  return {};
}

std::vector<Rect> RandomRects(std::mt19937& rng, int count) {
  std::uniform_int_distribution<int> coord(0, kGrid - 1);
  std::vector<Rect> rects;
  for (int i = 0; i < count; ++i) {
    int x0 = coord(rng), x1 = coord(rng), y0 = coord(rng), y1 = coord(rng);
    rects.push_back(Rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1) + 1,
                         std::max(y0, y1) + 1});
  }
  return rects;
}

TEST(RegionTest, BooleanOperationsMatchAPixelReference) {
  std::mt19937 rng(1234);
  for (Op op : {Op::kUnion, Op::kIntersect, Op::kSubtract, Op::kXor}) {
    for (int round = 0; round < 40; ++round) {
      const auto ra = RandomRects(rng, 1 + round % 6), rb = RandomRects(rng, 1 + round % 5);
      const Grid ga = Paint(ra), gb = Paint(rb);
      Grid expected(ga.size());
      for (size_t i = 0; i < ga.size(); ++i) expected[i] = Reference(op, ga[i], gb[i]);
      const Region result = Apply(op, Region::FromRects(ra), Region::FromRects(rb));
      SCOPED_TRACE(::testing::Message() << "op " << static_cast<int>(op) << " round " << round);
      ExpectWellFormed(result);
      ExpectMatches(result, expected);
      // The same pixels always come out as the same rectangles.
      std::vector<Rect> pixels;
      for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x)
          if (expected[y * kGrid + x]) pixels.push_back(Rect{x, y, x + 1, y + 1});
      EXPECT_EQ(result, Region::FromRects(pixels));
    }
  }
}

// Single rectangles (and empty regions) on a coarse grid, so that shared edges, touching sides
// and one inside the other are common: the combinations answered without the sweep give the
// same pixels, as the same rectangles, as a region built from those pixels.
TEST(RegionTest, SingleRectangleCombinationsMatchAPixelReference) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> coord(0, 4);
  auto random_rect = [&] {
    const int x0 = coord(rng) * 8, x1 = coord(rng) * 8, y0 = coord(rng) * 8, y1 = coord(rng) * 8;
    return Rect{std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)};
  };
  for (Op op : {Op::kUnion, Op::kIntersect, Op::kSubtract, Op::kXor}) {
    for (int round = 0; round < 400; ++round) {
      const Rect a = random_rect(), b = random_rect();
      const Grid ga = Paint({a}), gb = Paint({b});
      std::vector<Rect> pixels;
      for (int y = 0; y < kGrid; ++y)
        for (int x = 0; x < kGrid; ++x)
          if (Reference(op, ga[y * kGrid + x], gb[y * kGrid + x])) pixels.push_back(Rect{x, y, x + 1, y + 1});
      const Region result = Apply(op, Region(a), Region(b));
      SCOPED_TRACE(::testing::Message() << "op " << static_cast<int>(op) << " round " << round);
      ExpectWellFormed(result);
      ASSERT_EQ(result, Region::FromRects(pixels));
      ASSERT_EQ(result.Bounds(), Region::FromRects(pixels).Bounds());
    }
  }
}

// Runs of a picture scanned row by row, as a window shape is made: already in band order,
// often the same row many times over. Whatever order they come in, the region is the same.
TEST(RegionTest, RowRunsGiveTheSameRegionInAnyOrder) {
  std::mt19937 rng(7);
  for (int round = 0; round < 60; ++round) {
    std::vector<Rect> runs;
    std::vector<Rect> row;
    for (int y = 0; y < kGrid; y += 1 + (round % 3 == 0 ? 0 : static_cast<int>(rng() % 2))) {
      // Keep the previous row's runs now and then, so that rows repeat.
      if (rng() % 3 != 0) {
        row.clear();
        for (int x = static_cast<int>(rng() % 4); x < kGrid - 1;) {
          const int w = 1 + static_cast<int>(rng() % 6);
          row.push_back(Rect{x, 0, std::min(x + w, kGrid), 1});
          x += w + (round % 5 == 0 ? 0 : 1 + static_cast<int>(rng() % 5));  // touching in some rounds
        }
      }
      for (const Rect& r : row) runs.push_back(Rect{r.left, y, r.right, y + 1});
    }
    SCOPED_TRACE(::testing::Message() << "round " << round);
    const Region in_order = Region::FromRects(runs);
    ExpectWellFormed(in_order);
    ExpectMatches(in_order, Paint(runs));
    std::vector<Rect> shuffled = runs;
    std::shuffle(shuffled.begin(), shuffled.end(), rng);
    EXPECT_EQ(in_order, Region::FromRects(shuffled));
    std::reverse(shuffled.begin(), shuffled.end());
    EXPECT_EQ(in_order, Region::FromRects(shuffled));
  }
}

TEST(RegionTest, IdentitiesHold) {
  std::mt19937 rng(99);
  for (int round = 0; round < 20; ++round) {
    const Region a = Region::FromRects(RandomRects(rng, 4));
    const Region b = Region::FromRects(RandomRects(rng, 4));
    EXPECT_EQ(a.Union(b), b.Union(a));
    EXPECT_EQ(a.Intersect(b), b.Intersect(a));
    EXPECT_EQ(a.Xor(b), a.Subtract(b).Union(b.Subtract(a)));
    EXPECT_EQ(a.Union(b).Area() + a.Intersect(b).Area(), a.Area() + b.Area());
    EXPECT_TRUE(a.Subtract(a).IsEmpty());
    EXPECT_EQ(a.Union(Region()), a);
  }
}

}  // namespace
}  // namespace pellix::device::gdi

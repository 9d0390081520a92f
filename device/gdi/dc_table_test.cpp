// Device context handles: reused slots never let a stale handle reach the context that took its
// place, and a reused context starts from a fresh state.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "gdi/rect_list.h"
#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

class DcTableTest : public DeviceTest {};

TEST_F(DcTableTest, StaleHandlesAreRefusedAfterReuse) {
  HDC first = CreateCompatibleDC(nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_TRUE(DeleteDC(first));
  EXPECT_FALSE(DeleteDC(first));

  HDC second = CreateCompatibleDC(nullptr);  // takes the freed slot
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(SetBkColor(first, RGB(1, 2, 3)), CLR_INVALID);
  EXPECT_EQ(GetDeviceCaps(first, BITSPIXEL), 0);
  EXPECT_FALSE(DeleteDC(first));
  EXPECT_NE(GetDeviceCaps(second, BITSPIXEL), 0);
  EXPECT_TRUE(DeleteDC(second));
}

TEST_F(DcTableTest, ReusedContextStartsFresh) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, 4, 4);
  SelectObject(dc, bitmap);
  SetBkColor(dc, RGB(10, 20, 30));
  SetTextColor(dc, RGB(40, 50, 60));
  SaveDC(dc);
  DeleteDC(dc);
  DeleteObject(bitmap);

  HDC reused = CreateCompatibleDC(nullptr);
  EXPECT_EQ(GetBkColor(reused), RGB(255, 255, 255));
  EXPECT_EQ(GetTextColor(reused), RGB(0, 0, 0));
  EXPECT_FALSE(RestoreDC(reused, -1));  // nothing saved
  BITMAP selected = {};
  ASSERT_NE(GetObjectW(GetCurrentObject(reused, OBJ_BITMAP), sizeof selected, &selected), 0);
  EXPECT_EQ(selected.bmWidth, 1);  // the 1x1 bitmap of a new memory context
  DeleteDC(reused);
}

TEST_F(DcTableTest, ManyLiveContextsAreDistinct) {
  std::vector<HDC> dcs;
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 300; ++i) dcs.push_back(CreateCompatibleDC(nullptr));
    std::set<HDC> unique(dcs.begin(), dcs.end());
    EXPECT_EQ(unique.size(), dcs.size());
    EXPECT_EQ(unique.count(nullptr), 0u);
    // Free every other one; the next round reuses them among new ones.
    for (size_t i = 0; i < dcs.size(); i += 2) EXPECT_TRUE(DeleteDC(dcs[i]));
    std::vector<HDC> kept;
    for (size_t i = 1; i < dcs.size(); i += 2) kept.push_back(dcs[i]);
    dcs = kept;
  }
  for (HDC dc : dcs) EXPECT_TRUE(DeleteDC(dc));
}

}  // namespace

namespace pellix::device::gdi {
namespace {

// A list grown one rectangle at a time, through the switch from inline to heap storage, copied
// and moved at each size, holds what a vector holds.
TEST(RectList, MatchesAVectorAcrossInlineAndHeapSizes) {
  RectList list;
  std::vector<Rect> expected;
  for (int n = 0; n < 6; ++n) {
    ASSERT_EQ(list.size(), expected.size());
    EXPECT_TRUE(std::equal(list.begin(), list.end(), expected.begin(), expected.end())) << n;
    RectList copy = list;
    EXPECT_TRUE(copy == list);
    RectList moved = std::move(copy);
    EXPECT_TRUE(moved == list);
    const Rect r{n, n, n + 2, n + 3};
    list.push_back(r);
    expected.push_back(r);
  }
  list.clear();
  EXPECT_TRUE(list.empty());
  list.push_back(Rect{1, 1, 2, 2});
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], (Rect{1, 1, 2, 2}));

  RectList from;
  from = std::vector<Rect>{{0, 0, 1, 1}, {2, 0, 3, 1}};
  EXPECT_EQ(from.size(), 2u);
  EXPECT_EQ(from.back(), (Rect{2, 0, 3, 1}));
  from = std::vector<Rect>{{5, 5, 6, 6}};
  EXPECT_EQ(from.size(), 1u);
  EXPECT_EQ(from.front(), (Rect{5, 5, 6, 6}));
  EXPECT_FALSE(from == list);
}

}  // namespace
}  // namespace pellix::device::gdi

#include <gtest/gtest.h>

#include "rule/contact_lookup.h"

namespace {

TEST(FitPictureInBox, KeepsProportions) {
  struct {
    LONG boxW, boxH, w, h, wantW, wantH;
  } cases[] = {
      {50, 50, 100, 50, 50, 25},
      {50, 50, 50, 100, 25, 50},
      {50, 50, 50, 50, 50, 50},
      {50, 50, 10, 10, 50, 50},    // small pictures grow to the box
      {50, 50, 3, 1000, 0, 50},    // 3 * 50 / 1000 rounds down to 0 and still fits
      {80, 40, 300, 100, 80, 26},  // 300 * 40 / 100 = 120 is too wide: 100 * 80 / 300
      {2000000000, 2000000000, 1999999999, 2000000000, 1999999999, 2000000000},
  };
  for (const auto& c : cases) {
    LONG w = -1, h = -1;
    FitPictureInBox(c.boxW, c.boxH, c.w, c.h, &w, &h);
    EXPECT_EQ(w, c.wantW) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH;
    EXPECT_EQ(h, c.wantH) << c.w << "x" << c.h << " in " << c.boxW << "x" << c.boxH;
  }
}

}  // namespace

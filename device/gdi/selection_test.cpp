// Conformance: a bitmap is drawn on through one memory context at a time, and an object that a
// context has selected cannot be deleted, as on the platform.
#include <gtest/gtest.h>

#include "testing/temp_image.h"

#include <windows.h>

namespace {

using pellix::testing::DeviceTest;

class SelectionTest : public DeviceTest {
 protected:
  // A colour bitmap (one made compatible with a new memory context would be monochrome).
  static HBITMAP ColourBitmap(int width, int height) {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    return bitmap;
  }

  // The colour of the bitmap's top-left pixel, read through a context of its own.
  static COLORREF FirstPixel(HBITMAP bitmap) {
    HDC reader = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(reader, bitmap);
    EXPECT_NE(old, nullptr) << "the bitmap is still selected elsewhere";
    const COLORREF pixel = GetPixel(reader, 0, 0);
    SelectObject(reader, old);
    DeleteDC(reader);
    return pixel;
  }
};

TEST_F(SelectionTest, ABitmapIsSelectedIntoOneContextAtATime) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HBITMAP shared = ColourBitmap(8, 8);
  HBITMAP other = ColourBitmap(8, 8);
  ASSERT_TRUE(a && b && shared && other);
  const HGDIOBJ a_default = SelectObject(a, shared);
  ASSERT_NE(a_default, nullptr);
  const HGDIOBJ b_default = SelectObject(b, other);
  ASSERT_NE(b_default, nullptr);

  // Refused in b, which keeps what it had: drawing there does not reach the shared bitmap.
  EXPECT_EQ(SelectObject(b, shared), nullptr);
  EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), other);
  RECT all{0, 0, 8, 8};
  FillRect(b, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
  FillRect(a, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  EXPECT_EQ(GetPixel(a, 0, 0), RGB(255, 255, 255));

  // Selecting it again where it already is succeeds and hands it back.
  EXPECT_EQ(SelectObject(a, shared), shared);
  EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), shared);

  // Once a lets it go, b may take it.
  EXPECT_EQ(SelectObject(a, a_default), shared);
  EXPECT_EQ(SelectObject(b, shared), other);
  EXPECT_EQ(GetPixel(b, 0, 0), RGB(255, 255, 255));
  // Deleting the context that holds it frees it too.
  ASSERT_TRUE(DeleteDC(b));
  EXPECT_EQ(SelectObject(a, shared), a_default);

  SelectObject(a, a_default);
  DeleteDC(a);
  DeleteObject(shared);
  DeleteObject(other);
}

TEST_F(SelectionTest, NewContextsShareTheirFirstBitmap) {
  // Every new memory context holds the same 1x1 bitmap, and handing it from one to another
  // is no second selection of a bitmap of the program's.
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HGDIOBJ first = GetCurrentObject(a, OBJ_BITMAP);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetCurrentObject(b, OBJ_BITMAP), first);
  HBITMAP mine = ColourBitmap(2, 2);
  EXPECT_EQ(SelectObject(b, mine), first);
  EXPECT_EQ(SelectObject(b, first), mine);
  DeleteObject(first);  // a stock object: it stays whatever DeleteObject says
  EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_BITMAP));
  DeleteDC(a);
  DeleteDC(b);
  DeleteObject(mine);
}

TEST_F(SelectionTest, ASelectedObjectCannotBeDeleted) {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = ColourBitmap(4, 4);
  LOGFONTW lf{};
  lf.lfHeight = -14;
  HFONT font = CreateFontIndirectW(&lf);
  HBRUSH brush = CreateSolidBrush(RGB(0, 128, 0));
  ASSERT_TRUE(dc && bitmap && font && brush);
  HGDIOBJ old_bitmap = SelectObject(dc, bitmap);
  HGDIOBJ old_font = SelectObject(dc, font);
  HGDIOBJ old_brush = SelectObject(dc, brush);

  for (HGDIOBJ object : {HGDIOBJ(bitmap), HGDIOBJ(font), HGDIOBJ(brush)}) {
    EXPECT_FALSE(DeleteObject(object));
    EXPECT_NE(GetObjectType(object), 0u);  // still there, still usable
  }
  EXPECT_TRUE(PatBlt(dc, 0, 0, 4, 4, PATCOPY));
  EXPECT_EQ(GetPixel(dc, 1, 1), RGB(0, 128, 0));

  SelectObject(dc, old_bitmap);
  SelectObject(dc, old_font);
  SelectObject(dc, old_brush);
  EXPECT_EQ(FirstPixel(bitmap), RGB(0, 128, 0));  // the drawing stayed in the bitmap
  for (HGDIOBJ object : {HGDIOBJ(bitmap), HGDIOBJ(font), HGDIOBJ(brush)}) {
    EXPECT_TRUE(DeleteObject(object));
    EXPECT_EQ(GetObjectType(object), 0u);
  }
  DeleteDC(dc);
}

TEST_F(SelectionTest, BrushesPensAndFontsMayBeSelectedIntoManyContexts) {
  HDC a = CreateCompatibleDC(nullptr), b = CreateCompatibleDC(nullptr);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(4, 5, 6));
  for (HDC dc : {a, b}) {
    EXPECT_NE(SelectObject(dc, brush), nullptr);
    EXPECT_NE(SelectObject(dc, pen), nullptr);
  }
  EXPECT_EQ(GetCurrentObject(a, OBJ_BRUSH), brush);
  EXPECT_EQ(GetCurrentObject(b, OBJ_BRUSH), brush);
  // Still selected in b after a has let it go: not deletable yet.
  SelectObject(a, GetStockObject(WHITE_BRUSH));
  EXPECT_FALSE(DeleteObject(brush));
  DeleteDC(b);
  EXPECT_TRUE(DeleteObject(brush));
  SelectObject(a, GetStockObject(BLACK_PEN));
  EXPECT_TRUE(DeleteObject(pen));
  DeleteDC(a);
}

}  // namespace

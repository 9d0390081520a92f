// coredll graphics: brushes, pens, rectangles and lines.
#include <algorithm>
#include <cstdlib>

#include "gdi/gdi_api.h"
#include "gdi/raster.h"

using namespace pellix::device;
using namespace pellix::device::gdi;

namespace {

DeviceContext* FindDC(ApiLock& api, HDC hdc) { return api.table().FindDC(hdc); }

// A one-pixel line from (x0, y0) to (x1, y1), the last point excluded, as the platform draws.
void DrawLine(DeviceContext& dc, int x0, int y0, int x1, int y1) {
  if (dc.pen && !dc.pen->color) return;  // the null pen draws nothing
  const Pixel color = dc.pen ? *dc.pen->color : 0x000000;
  auto target = dc.BeginDraw();
  if (!target) return;
  const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  int err = dx + dy;
  int x = x0, y = y0;
  // A line longer than any surface is cut short: nothing past it could be seen.
  for (int steps = 0; (x != x1 || y != y1) && steps < (1 << 16); ++steps) {
    const int px = x + target->origin_x, py = y + target->origin_y;
    if (target->clip.Contains(px, py)) target->surface->Set(px, py, color);
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
  dc.EndDraw(*target);
}

}  // namespace

HBRUSH CreateSolidBrush(COLORREF color) {
  ApiLock api;
  return static_cast<HBRUSH>(
      api.table().Add(std::make_shared<BrushObject>(PixelFromColorRef(color))));
}

HPEN CreatePen(int iStyle, int cWidth, COLORREF color) {
  ApiLock api;
  std::optional<Pixel> c;
  if (iStyle != PS_NULL) c = PixelFromColorRef(color);
  return static_cast<HPEN>(api.table().Add(std::make_shared<PenObject>(c, std::max(1, cWidth))));
}

int FillRect(HDC hDC, const RECT* lprc, HBRUSH hbr) {
  if (!lprc) return 0;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hDC);
  const std::optional<Pixel> color = BrushColor(hbr);
  if (!dc) return 0;
  if (!color) return 1;  // the null brush paints nothing
  // FillRect does not mirror: an inverted rectangle is empty.
  const Rect r = ToRect(*lprc);
  if (r.IsEmpty()) return 1;
  return FillArea(*dc, r, *color) ? 1 : 0;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  const Rect r{std::min(left, right), std::min(top, bottom), std::max(left, right),
               std::max(top, bottom)};
  if (r.IsEmpty()) return TRUE;
  const std::optional<Pixel> fill = dc->brush ? dc->brush->color : std::optional<Pixel>(0xFFFFFF);
  const bool outline = !dc->pen || dc->pen->color;
  const Rect inside = outline ? Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1} : r;
  if (fill && !inside.IsEmpty()) FillArea(*dc, inside, *fill);
  if (outline) {
    DrawLine(*dc, r.left, r.top, r.right - 1, r.top);
    DrawLine(*dc, r.right - 1, r.top, r.right - 1, r.bottom - 1);
    DrawLine(*dc, r.right - 1, r.bottom - 1, r.left, r.bottom - 1);
    DrawLine(*dc, r.left, r.bottom - 1, r.left, r.top);
  }
  return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, LPPOINT lppt) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  if (lppt) *lppt = dc->position;
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y) {
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  DrawLine(*dc, dc->position.x, dc->position.y, x, y);
  dc->position = POINT{x, y};
  return TRUE;
}

BOOL Polyline(HDC hdc, const POINT* apt, int cpt) {
  if (!apt || cpt < 2) return FALSE;
  ApiLock api;
  DeviceContext* dc = FindDC(api, hdc);
  if (!dc) return FALSE;
  for (int i = 1; i < cpt; ++i) DrawLine(*dc, apt[i - 1].x, apt[i - 1].y, apt[i].x, apt[i].y);
  return TRUE;
}

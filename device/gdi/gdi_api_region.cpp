// coredll graphics: regions and clipping.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "gdi/gdi_api.h"

using namespace pellix::device;
using namespace pellix::device::gdi;

namespace {

std::shared_ptr<RegionObject> FindRegion(ApiLock& api, HRGN h) {
  return api.table().FindAs<RegionObject>(h, ObjectKind::kRegion);
}

HRGN AddRegion(ApiLock& api, Region region) {
  return static_cast<HRGN>(api.table().Add(std::make_shared<RegionObject>(std::move(region))));
}

Rect Ordered(int x1, int y1, int x2, int y2) {
  return Rect{std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)};
}

// The part of a context that can be drawn, in context coordinates.
Region DrawableArea(DeviceContext& dc) {
  Region area(dc.Extent());
  if (dc.clip_region) area = area.Intersect(*dc.clip_region);
  if (dc.paint_region) area = area.Intersect(*dc.paint_region);
  return area;
}

}  // namespace

HRGN CreateRectRgn(int x1, int y1, int x2, int y2) {
  ApiLock api;
  return AddRegion(api, Region(Ordered(x1, y1, x2, y2)));
}

HRGN CreateRectRgnIndirect(const RECT* lprect) {
  if (!lprect) return nullptr;
  return CreateRectRgn(lprect->left, lprect->top, lprect->right, lprect->bottom);
}

HRGN ExtCreateRegion(const XFORM* lpx, DWORD nCount, const RGNDATA* lpData) {
  if (!lpData || nCount < sizeof(RGNDATAHEADER)) return nullptr;
  RGNDATAHEADER header;
  std::memcpy(&header, lpData, sizeof(header));
  if (header.dwSize != sizeof(RGNDATAHEADER) || header.iType != RDH_RECTANGLES) return nullptr;
  // The rectangles must fit in the bytes the caller says it passed.
  if (header.nCount > (nCount - sizeof(RGNDATAHEADER)) / sizeof(RECT)) return nullptr;
  if (lpx && (lpx->eM12 != 0 || lpx->eM21 != 0)) return nullptr;  // no rotation or shear
  std::vector<Rect> rects;
  rects.reserve(header.nCount);
  const auto* bytes = reinterpret_cast<const uint8_t*>(lpData) + sizeof(RGNDATAHEADER);
  for (DWORD i = 0; i < header.nCount; ++i) {
    RECT r;
    std::memcpy(&r, bytes + i * sizeof(RECT), sizeof(r));
    if (lpx) {
      auto map = [](double v, double scale, double offset) {
        return static_cast<int>(std::lround(std::clamp(v * scale + offset, -1e9, 1e9)));
      };
      const int l = map(r.left, lpx->eM11, lpx->eDx), rr = map(r.right, lpx->eM11, lpx->eDx);
      const int t = map(r.top, lpx->eM22, lpx->eDy), b = map(r.bottom, lpx->eM22, lpx->eDy);
      rects.push_back(Ordered(l, t, rr, b));
    } else {
      rects.push_back(Ordered(r.left, r.top, r.right, r.bottom));
    }
  }
  ApiLock api;
  return AddRegion(api, Region::FromRects(rects));
}

int CombineRgn(HRGN hrgnDst, HRGN hrgnSrc1, HRGN hrgnSrc2, int iMode) {
  ApiLock api;
  auto dst = FindRegion(api, hrgnDst);
  auto a = FindRegion(api, hrgnSrc1);
  if (!dst || !a || iMode < RGN_AND || iMode > RGN_COPY) return ERROR;
  if (iMode == RGN_COPY) {
    dst->region = a->region;
    return RegionType(dst->region);
  }
  auto b = FindRegion(api, hrgnSrc2);
  if (!b) return ERROR;
  switch (iMode) {
    case RGN_AND: dst->region = a->region.Intersect(b->region); break;
    case RGN_OR: dst->region = a->region.Union(b->region); break;
    case RGN_XOR: dst->region = a->region.Xor(b->region); break;
    case RGN_DIFF: dst->region = a->region.Subtract(b->region); break;
  }
  return RegionType(dst->region);
}

BOOL EqualRgn(HRGN hrgn1, HRGN hrgn2) {
  ApiLock api;
  auto a = FindRegion(api, hrgn1), b = FindRegion(api, hrgn2);
  if (!a || !b) return FALSE;
  return a->region == b->region;
}

int OffsetRgn(HRGN hrgn, int x, int y) {
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  if (!r) return ERROR;
  r->region.Offset(x, y);
  return RegionType(r->region);
}

BOOL PtInRegion(HRGN hrgn, int x, int y) {
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  return r && r->region.Contains(x, y);
}

BOOL RectInRegion(HRGN hrgn, const RECT* lprect) {
  if (!lprect) return FALSE;
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  if (!r) return FALSE;
  const Rect rect = Ordered(lprect->left, lprect->top, lprect->right, lprect->bottom);
  return !r->region.Intersect(rect).IsEmpty();
}

int GetRgnBox(HRGN hrgn, LPRECT lprc) {
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  if (!r || !lprc) return ERROR;
  *lprc = ToRECT(r->region.Bounds());
  return RegionType(r->region);
}

DWORD GetRegionData(HRGN hrgn, DWORD nCount, LPRGNDATA lpRgnData) {
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  if (!r) return 0;
  const auto& rects = r->region.Rects();
  const DWORD needed = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
  if (!lpRgnData) return needed;
  if (nCount < needed) return 0;
  RGNDATAHEADER header{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()),
                       static_cast<DWORD>(rects.size() * sizeof(RECT)),
                       ToRECT(r->region.Bounds())};
  std::memcpy(lpRgnData, &header, sizeof(header));
  auto* out = reinterpret_cast<uint8_t*>(lpRgnData) + sizeof(RGNDATAHEADER);
  for (size_t i = 0; i < rects.size(); ++i) {
    const RECT rc = ToRECT(rects[i]);
    std::memcpy(out + i * sizeof(RECT), &rc, sizeof(rc));
  }
  return needed;
}

BOOL SetRectRgn(HRGN hrgn, int left, int top, int right, int bottom) {
  ApiLock api;
  auto r = FindRegion(api, hrgn);
  if (!r) return FALSE;
  r->region = Region(Ordered(left, top, right, bottom));
  return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN hrgn) {
  ApiLock api;
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) return ERROR;
  if (!hrgn) {
    dc->clip_region.reset();
  } else {
    auto r = FindRegion(api, hrgn);
    if (!r) return ERROR;
    dc->clip_region = r->region;
  }
  return RegionType(DrawableArea(*dc));
}

int GetClipBox(HDC hdc, LPRECT lprect) {
  ApiLock api;
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc || !lprect) return ERROR;
  const Region area = DrawableArea(*dc);
  *lprect = ToRECT(area.Bounds());
  return RegionType(area);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
  ApiLock api;
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) return ERROR;
  const Region current = dc->clip_region ? *dc->clip_region : Region(dc->Extent());
  dc->clip_region = current.Intersect(Ordered(left, top, right, bottom));
  return RegionType(DrawableArea(*dc));
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
  ApiLock api;
  DeviceContext* dc = api.table().FindDC(hdc);
  if (!dc) return ERROR;
  const Region current = dc->clip_region ? *dc->clip_region : Region(dc->Extent());
  dc->clip_region = current.Subtract(Region(Ordered(left, top, right, bottom)));
  return RegionType(DrawableArea(*dc));
}
